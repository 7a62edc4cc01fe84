#include "reports/rep_rest_off_bdk.h"

#include "core/convert.h"
#include "frame/catalogue.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/services/doc_spec_service.h"
#include "host/services/enterprise_info.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kRestRegistrar("CRepGoodRestBDK", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepGoodRestBDK>());
});
const frame::ClassRegistrar kWriteOffRegistrar("CRepWriteOffBDK", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepWriteOffBDK>());
});

host::QueryPtr NoColumns(const host::AppContextPtr& book, std::string_view table) {
  host::QueryPtr query = book->CreateQuery(table);
  query->Fields().KeepOnly({});
  return query;
}

// MyPlant, Client, ClientN, FixCat and FixCatN: the header values both reports start with.
void AddChoiceValues(const host::AppContextPtr& book, const CategoryChoice& choice,
                     host::NamedValueList& values) {
  host::EnterpriseInfo enterprise;
  enterprise.Init(book);
  values.Add("MyPlant", Kind::kText, Variant(enterprise.UnitName()));
  values.Add("Client", Kind::kCode, Variant(choice.client));
  values.Add("ClientN", Kind::kName, Variant(choice.client_name));
  values.Add("FixCat", Kind::kLongId, Variant(choice.category));
  values.Add("FixCatN", Kind::kText, Variant(choice.category_name));
}

void AddDataList(const host::QueryPtr& query, host::NamedValueList& values) {
  host::RecordsetPtr rows = query->OpenRecordset();
  values.Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rows)));
}

}  // namespace

// --- CategoryForm ---

void CategoryForm::AddCombos(host::Form& form, std::string caption_key_category,
                             std::string caption_key_client) {
  form.Add("cbFixCat", host::ControlType::kCombo,
           "Nurašymo kategorija : ", std::move(caption_key_category))
      .SetProperty("TableName", Variant("FixCategory"));
  form.Add("cbClient", host::ControlType::kCombo, "Tiekėjas : ", std::move(caption_key_client))
      .SetProperty("TableName", Variant("REFClient"));
}

void CategoryForm::BindControls(host::Form& /*form*/, const host::AppContextPtr& book) {
  book_ = book;
}

void CategoryForm::ReadCombos(CategoryChoice& choice) const {
  const host::Control& client = CurrentForm().Item("cbClient");
  const host::Control& category = CurrentForm().Item("cbFixCat");
  choice.client = CStr(client.Value());
  choice.client_name = ComboText(book_, client, Variant(choice.client));
  const std::string category_code = CStr(category.Value());
  // A code that is not a number stops the run with error 13.
  choice.category = category_code.empty() ? kAllCategories : CInt(Variant(category_code));
  choice.category_name = ComboText(book_, category, Variant(choice.category));
}

// --- frmRepRestOffBDK ---

frmRepRestOffBDK::frmRepRestOffBDK() : CategoryForm("frmRepRestOffBDK", "#22630") {}

void frmRepRestOffBDK::BuildControls(host::Form& form) {
  form.Add("lblTitle", host::ControlType::kLabel, "PREKIŲ LIKUČIAI PAGAL BDK", "#22631");
  form.Add("edRepDate", host::ControlType::kDatePicker, "Data : ", "#22632")
      .SetValue(Variant(Date::Today()));
  AddCombos(form, "#22633", "#22634");
}

void frmRepRestOffBDK::WriteValues(host::NamedValueList& /*values*/) {
  CategoryChoice choice;
  choice.end = PickedDate(CurrentForm(), "edRepDate");
  ReadCombos(choice);
  choice_ = choice;
}

bool frmRepRestOffBDK::Run(host::AppContextPtr& book, Date& rep_date, std::string& client,
                           int32_t& category, std::string& client_name,
                           std::string& category_name) {
  auto scratch = std::make_shared<host::NamedValueList>();
  if (!ParamForm::Run(book, scratch)) return false;
  rep_date = choice_.end;
  client = choice_.client;
  category = choice_.category;
  client_name = choice_.client_name;
  category_name = choice_.category_name;
  return true;
}

// --- frmRepWriteOffBDK ---

frmRepWriteOffBDK::frmRepWriteOffBDK() : CategoryForm("frmRepWriteOffBDK", "#22621") {}

void frmRepWriteOffBDK::BuildControls(host::Form& form) {
  form.Add("lblTitle", host::ControlType::kLabel, "NURAŠYMAS PAGAL BDK", "#22622");
  const Variant today(Date::Today());
  form.Add("edBegDate", host::ControlType::kDatePicker, "Laikotarpis nuo : ", "#22623")
      .SetValue(today);
  form.Add("edEndDate", host::ControlType::kDatePicker, "iki : ", "#22624").SetValue(today);
  AddCombos(form, "#22625", "#22626");
  form.Add("chOnlyOnFix", host::ControlType::kCheckBox, "Parodyti prekės turinčias nurašymą",
           "#22627");
}

void frmRepWriteOffBDK::m_oForm_BeforeShow(bool& /*cancel*/) {
  // The end first: a begin date past today would otherwise drag the end along and back.
  if (incoming_end_.Serial() != 0) {
    CurrentForm().Item("edEndDate").SetValue(Variant(incoming_end_));
  }
  if (incoming_beg_.Serial() != 0) {
    CurrentForm().Item("edBegDate").SetValue(Variant(incoming_beg_));
  }
}

void frmRepWriteOffBDK::WriteValues(host::NamedValueList& /*values*/) {
  CategoryChoice choice;
  choice.beg = PickedDate(CurrentForm(), "edBegDate");
  choice.end = PickedDate(CurrentForm(), "edEndDate");
  ReadCombos(choice);
  choice.only_fixed = CLng(CurrentForm().Item("chOnlyOnFix").Value()) == 1;
  choice_ = choice;
}

bool frmRepWriteOffBDK::Run(host::AppContextPtr& book, Date& beg, Date& end, std::string& client,
                            int32_t& category, bool& only_fixed, std::string& client_name,
                            std::string& category_name) {
  incoming_beg_ = beg;
  incoming_end_ = end;
  auto scratch = std::make_shared<host::NamedValueList>();
  if (!ParamForm::Run(book, scratch)) return false;
  beg = choice_.beg;
  end = choice_.end;
  client = choice_.client;
  category = choice_.category;
  only_fixed = choice_.only_fixed;
  client_name = choice_.client_name;
  category_name = choice_.category_name;
  return true;
}

// --- The query ---

host::QueryPtr CategoryQuery(const host::AppContextPtr& book, const CategoryChoice& choice,
                             CategoryReport report) {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  const bool write_off = report == CategoryReport::kWriteOff;

  host::QueryPtr d = NoColumns(book, "THDocument");
  host::QueryPtr gs = NoColumns(book, "THGoodSpec");
  host::QueryPtr gs_again = NoColumns(book, "THGoodSpec");
  host::QueryPtr g = NoColumns(book, "REFGood");
  host::QueryPtr gu = NoColumns(book, "REFGoodUnit");
  host::QueryPtr p = NoColumns(book, "THPartyAttribute");
  d->SetAlias("d");

  gs->InnerJoin(g, "g", "gs.GoodCode = g.Code", host::kJoinInner, 0);
  gs->InnerJoin(gu, "gu", "gs.GoodCode = gu.GoodCode AND gu.IsAccount = 1", host::kJoinInner, 0);
  // The same row again, for its VAT sum.
  gs->InnerJoin(gs_again, "gsA", "gs.DocID = gsA.DocID AND gs.PosNumb = gsA.PosNumb",
                host::kJoinInner, 0);
  if (write_off) {
    // The consuming document and row are joined inside the outer join of the log: a receipt
    // row without a write-off stays, once, with empty write-off columns.
    gs->InnerJoin(NoColumns(book, "THDocument"), "FixD", "FixSpec.DocID = FixD.IDC",
                  host::kJoinInner, 0);
    gs->InnerJoin(NoColumns(book, "THGoodSpec"), "FixSpec", "FixSpecL.OutcomeSpecID = FixSpec.IDC",
                  host::kJoinInner, 0);
    gs->LeftJoin(NoColumns(book, "THGoodSpecFixLog"), "fixSpecL", "gs.IDC = FixSpecL.IncomeSpecID",
                 host::kJoinLeftOuter, 0);
  }
  std::string free_amount;
  if (!write_off) {
    host::DocSpecService service;
    service.Init(book);
    // Quantities carry four decimals. On a backend that keeps them as binary floating point
    // a fully written-off row can come out as a residue such as 1E-14 instead of 0, which the
    // "only rows with a free quantity" condition would keep; rounding gives the exact
    // decimal quantity a NUMERIC(19,4) column would hold.
    free_amount = "ROUND(" + service.FreeAmountExpr(choice.end, "gs") + ", 4)";
  }

  d->InnerJoin(gs, "gs", "d.IDC = gs.DocID", host::kJoinInner, 0);
  d->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.ColumnCondition("d.DocTypeCode", Kind::kCode, host::kOpEqual, Variant("PISF")),
       sql.ColumnCondition("d.IsPosted", Kind::kFlag, host::kOpEqual, Variant(int32_t{1})),
       write_off ? sql.ColumnCondition("d.DocumentDate", Kind::kDate, host::kOpBetween,
                                       Variant(choice.beg), Variant(choice.end))
                 : sql.ColumnCondition("d.DocumentDate", Kind::kDate, host::kOpLessOrEqual,
                                       Variant(choice.end)),
       sql.ColumnCondition("g.Category", Kind::kCategory, host::kOpEqual, Variant(int32_t{0}))}));
  if (!choice.client.empty()) {
    d->InnerJoin(
        p, "p",
        "d.IDC = p.DocID AND p.RolePartyCode = " + sql.SqlValue(Variant("PAR"), Kind::kCode),
        host::kJoinInner, 0);
    d->AddWhere(sql.JoinConditions(
        host::kJoinAnd,
        {d->WhereText(),
         sql.ColumnCondition("p.PartyCode", Kind::kCode, host::kOpEqual, Variant(choice.client))}));
  }
  if (write_off && choice.only_fixed) {
    d->AddWhere(sql.JoinConditions(
        host::kJoinAnd, {d->WhereText(), sql.ColumnCondition("FixSpecL.IDC", Kind::kRowId,
                                                             host::kOpNotEqual, Variant::Null())}));
  }
  if (choice.category >= 0) {
    d->AddWhere(sql.JoinConditions(
        host::kJoinAnd,
        {d->WhereText(), sql.ColumnCondition("gs.FixCategory", Kind::kCategory, host::kOpEqual,
                                             Variant(choice.category))}));
  }

  host::NamedValueList& f = d->Fields();
  f.AddColumn("IDC", Kind::kRowId, "D.IDC");
  f.AddColumn("SpecID", Kind::kRowId, "gs.IDC");
  f.AddColumn("DocumentDate", Kind::kDate, "D.DocumentDate");
  f.AddColumn("Number", Kind::kCode, "D.Number");
  f.AddColumn("DocCode", Kind::kText, "CONVERT(CHAR(10),D.DocumentDate,102)+':'+D.Number");
  f.AddColumn("GoodCode", Kind::kCode, "gs.GoodCode");
  f.AddColumn("GoodName", Kind::kName, "g.Name");
  f.AddColumn("AmountAccount", Kind::kQuantity, "gs.AmountAccount");
  f.AddColumn("AccUnitCode", Kind::kCode, "gu.UnitCode");
  f.AddColumn("Price", Kind::kPrice,
              "ROUND(COALESCE((gs.Summa - gsA.SummVAT)/ NullIF(gs.Amount,0),0),4)");
  f.AddColumn("CurrencyCode", Kind::kCode, "d.CurrencyCode");
  if (write_off) {
    f.AddColumn("FixAmount", Kind::kQuantity, "FixSpecL.Amount");
    f.AddColumn("FixDocCode", Kind::kText,
                "FixD.DocTypeCode+':'+CONVERT(CHAR(10),FixD.DocumentDate,102)+':'+FixD.Number");
    f.AddColumn("FixDocDate", Kind::kFixDocDate, "FixD.DocumentDate");
  } else {
    f.AddColumn("FreeAmount", Kind::kQuantity, free_amount);
  }

  // Rows equal in every other column are summed.
  host::AppContextPtr wrap_book = book;
  host::QueryPtr wrapped = frame::WrapQuery(d, d->Alias(), Variant(), wrap_book, false);
  wrapped->Fields().Exclude({"SpecID"});
  wrapped->Fields().Item(write_off ? "FixAmount" : "FreeAmount").SetAggregate(host::kAggregateSum);
  if (!write_off) {
    wrapped->AddWhere(
        sql.ColumnCondition("FreeAmount", Kind::kQuantity, host::kOpNotEqual, Variant(int32_t{0})));
  }
  wrapped->OrderBy(write_off ? "D.DocumentDate, D.Number, FixDocDate" : "D.DocumentDate, D.Number");
  int32_t hwnd = kMainWindow;
  frame::OpenWithWait(wrapped, hwnd);
  return wrapped;
}

// --- CRepGoodRestBDK ---

CRepGoodRestBDK::CRepGoodRestBDK()
    : ReportBase(PropertyKeeping::kVisualText, ErrorNumbering::kAsRaised) {}

bool CRepGoodRestBDK::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  host::AppContextPtr book = ResolveBook(Params);
  CategoryChoice choice;
  frmRepRestOffBDK form;
  if (!form.Run(book, choice.end, choice.client, choice.category, choice.client_name,
                choice.category_name)) {
    return false;
  }
  AddChoiceValues(book, choice, *Values);
  Values->Add("RepDate", Kind::kDate, Variant(choice.end));
  AddDataList(CategoryQuery(book, choice, CategoryReport::kRest), *Values);
  return true;
}

// --- CRepWriteOffBDK ---

CRepWriteOffBDK::CRepWriteOffBDK()
    : ReportBase(PropertyKeeping::kVisualText, ErrorNumbering::kAsRaised) {}

bool CRepWriteOffBDK::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  host::AppContextPtr book = ResolveBook(Params);
  CategoryChoice choice;
  if (Params && Params->ExistsField("_StartDate") && Params->ExistsField("_EndDate")) {
    choice.beg = CDate(Params->Item("_StartDate").Value());
    choice.end = CDate(Params->Item("_EndDate").Value());
  }
  frmRepWriteOffBDK form;
  if (!form.Run(book, choice.beg, choice.end, choice.client, choice.category, choice.only_fixed,
                choice.client_name, choice.category_name)) {
    return false;
  }
  AddChoiceValues(book, choice, *Values);
  Values->Add("BegDate", Kind::kDate, Variant(choice.beg));
  Values->Add("EndDate", Kind::kDate, Variant(choice.end));
  AddDataList(CategoryQuery(book, choice, CategoryReport::kWriteOff), *Values);
  return true;
}

}  // namespace qts::reports
