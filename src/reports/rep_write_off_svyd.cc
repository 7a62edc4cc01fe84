#include "reports/rep_write_off_svyd.h"

#include "core/convert.h"
#include "core/date.h"
#include "frame/catalogue.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/services/currency_tools.h"
#include "host/services/enterprise_info.h"
#include "host/services/person_info.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kRegistrar("CRepWriteOffSvyd", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepWriteOffSvyd>());
});

// The committee combos and the values their shown names go to.
constexpr std::pair<const char*, const char*> kCommittee[] = {{"cbMember_Head", "cName1"},
                                                              {"cbMember1", "cName2"},
                                                              {"cbMember2", "cName3"},
                                                              {"cbMember3", "cName4"}};

}  // namespace

// --- frmRepWriteOffSvyd ---

frmRepWriteOffSvyd::frmRepWriteOffSvyd() : ParamForm("frmRepWriteOffSvyd", "#22721") {}

void frmRepWriteOffSvyd::BuildControls(host::Form& form) {
  form.Add("edNumb", host::ControlType::kTextBox, "Akto numeris : ", "#22722");
  const Variant today(Date::Today());
  form.Add("edBegDate", host::ControlType::kDatePicker, "Laikotarpis nuo : ", "#22723")
      .SetValue(today);
  form.Add("edEndDate", host::ControlType::kDatePicker, "iki : ", "#22724").SetValue(today);
  form.Add("frCommittee", host::ControlType::kFrame, " Komisija : ", "#22725");
  form.Add("cbMember_Head", host::ControlType::kCombo, "Pirmininkas : ", "#22726");
  form.Add("cbMember1", host::ControlType::kCombo, "Nariai : ", "#22727");
  form.Add("cbMember2", host::ControlType::kCombo);
  form.Add("cbMember3", host::ControlType::kCombo);
  for (const auto& [combo, value] : kCommittee) {
    form.Item(combo).SetProperty("TableName", Variant("REFPerson"));
  }
}

void frmRepWriteOffSvyd::BindControls(host::Form& /*form*/, const host::AppContextPtr& book) {
  book_ = book;
}

void frmRepWriteOffSvyd::WriteValues(host::NamedValueList& values) {
  const host::Form& form = CurrentForm();
  values.Item("BegDate").SetValue(Variant(PickedDate(form, "edBegDate")));
  values.Item("EndDate").SetValue(Variant(PickedDate(form, "edEndDate")));
  values.Item("Number").SetValue(Variant(CStr(form.Item("edNumb").Value())));
  for (const auto& [combo, value] : kCommittee) {
    const host::Control& control = form.Item(combo);
    values.Item(value).SetValue(Variant(ComboText(book_, control, control.Value())));
  }
}

// --- CRepWriteOffSvyd ---

CRepWriteOffSvyd::CRepWriteOffSvyd()
    : FormReport(PropertyKeeping::kKept, ErrorNumbering::kReportRun) {}

std::vector<InputValue> CRepWriteOffSvyd::Inputs() const {
  return {{"BegDate", Kind::kDate}, {"EndDate", Kind::kDate}, {"Number", Kind::kCode},
          {"cName1", Kind::kText},  {"cName2", Kind::kText},  {"cName3", Kind::kText},
          {"cName4", Kind::kText}};
}

bool CRepWriteOffSvyd::RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) {
  for (const auto& [combo, value] : kCommittee) values->Item(value).SetValue(Variant(""));
  host::EnterpriseInfo enterprise;
  enterprise.Init(book);
  values->Add("cEnterprise", Kind::kText, Variant(enterprise.UnitName()));
  values->Add("PlantCode", Kind::kCode, Variant(enterprise.PlantCode()));
  values->Add("Director", Kind::kText, Variant(enterprise.Director()->FullName()));
  frmRepWriteOffSvyd form;
  return form.Run(book, values);
}

host::QueryPtr CRepWriteOffSvyd::BuildQuery(const host::AppContextPtr& book,
                                            host::NamedValueList& values) {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  host::QueryPtr doc = book->CreateQuery("THDocument");
  host::QueryPtr spec = book->CreateQuery("THGoodSpec");
  host::QueryPtr receipt_spec = book->CreateQuery("THGoodSpecPISF");
  host::QueryPtr good = book->CreateQuery("REFGood");

  doc->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.Condition(doc->Fields().Item("DocTypeCode"), host::kOpEqual, Variant("PISF")),
       sql.Condition(doc->Fields().Item("DocumentDate"), host::kOpBetween,
                     values.Item("BegDate").Value(), values.Item("EndDate").Value()),
       sql.Condition(doc->Fields().Item("IsPosted"), host::kOpEqual, Variant(int32_t{1})),
       sql.ColumnCondition("Good.Category", Kind::kCategory, host::kOpEqual,
                           Variant(int32_t{3}))}));
  doc->Fields().KeepOnly({"Number", "DocumentDate"});
  for (const host::QueryPtr& q : {spec, receipt_spec, good}) q->Fields().KeepOnly({});

  doc->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocId", host::kJoinInner, 0);
  doc->InnerJoin(receipt_spec, "SpecPISF",
                 "Spec.DocId = SpecPISF.DocId AND Spec.PosNumb = SpecPISF.PosNumb",
                 host::kJoinInner, 0);
  doc->InnerJoin(good, "Good", "Spec.GoodCode = Good.Code", host::kJoinInner, 0);
  host::CurrencyTools currency;
  currency.Init(book);
  currency.AddRateJoin(doc, "oTable.CurrencyCode", "oTable.DocumentDate", "", "", true, false);

  host::NamedValueList& columns = doc->Fields();
  columns.AddColumn("GoodName", Kind::kName, "Good.Name");
  columns.AddColumn("Amount", Kind::kQuantity, "Spec.Amount");
  columns.AddColumn("UnitCode", Kind::kCode, "Spec.UnitCode");
  columns.AddColumn(
      "Summa", Kind::kMoney,
      currency.ConvertExpr("oTable", "(Spec.Summa - SpecPISF.SummVAT)", "CurrencyCode"));
  columns.AddColumn("Comment", Kind::kText, "SpecPISF.Comment");
  doc->OrderBy("oTable.DocumentDate, Good.Name");
  int32_t hwnd = kMainWindow;
  frame::OpenWithWait(doc, hwnd);
  return doc;
}

}  // namespace qts::reports
