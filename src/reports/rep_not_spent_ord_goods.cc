#include "reports/rep_not_spent_ord_goods.h"

#include "core/convert.h"
#include "core/date.h"
#include "frame/catalogue.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/services/store_rest_source.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kRegistrar("CRepNotSpentOrdGoods", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepNotSpentOrdGoods>());
});

constexpr const char* kRequirementType = "PRS";
constexpr const char* kSpentType = "PRSF";
constexpr const char* kOrderTypes[] = {"PIS", "POD"};

// The value of a quantity at the cost of the good's fixed rest.
std::string FixRestValue(std::string_view quantity) {
  return "ROUND(" + std::string(quantity) +
         " * COALESCE(FixRest.CostSumm, 0) / COALESCE(FixRest.AmountAccount, 1), 2)";
}

host::QueryPtr NoColumns(const host::AppContextPtr& book, std::string_view table) {
  host::QueryPtr query = book->CreateQuery(table);
  query->Fields().KeepOnly({});
  return query;
}

host::QueryPtr Wrapped(const host::AppContextPtr& book, const host::QueryPtr& inner,
                       std::string_view alias) {
  host::QueryPtr query = book->CreateQuery("");
  query->FromQuery(inner, alias);
  return query;
}

}  // namespace

// --- frmRepNotSpentGoods ---

frmRepNotSpentGoods::frmRepNotSpentGoods() : StoreGoodForm("frmRepNotSpentGoods", "") {}

void frmRepNotSpentGoods::BuildControls(host::Form& form) {
  AddSelectors(form);
  const Variant today(Date::Today());
  form.Add("edBegDate", host::ControlType::kDatePicker, "Laikotarpis nuo : ", "#13304")
      .SetValue(today);
  form.Add("edEndDate", host::ControlType::kDatePicker, "iki : ", "#13073").SetValue(today);
}

void frmRepNotSpentGoods::WriteValues(host::NamedValueList& values) {
  values.Item("BegDate").SetValue(Variant(PickedDate(CurrentForm(), "edBegDate")));
  values.Item("EndDate").SetValue(Variant(PickedDate(CurrentForm(), "edEndDate")));
  values.Item("StoreCode").SetValue(Variant(StoreChoice()));
  GoodSelection goods = GoodChoice();
  if (!goods.good_code.empty()) values.Item("GoodCode").SetValue(Variant(goods.good_code));
  if (!goods.good_group.empty()) values.Item("GoodGroup").SetValue(Variant(goods.good_group));
}

std::vector<InputValue> NotSpentGoodsInputs() {
  return {{"BegDate", Kind::kDate},
          {"EndDate", Kind::kDate},
          {"StoreCode", Kind::kText},
          {"GoodCode", Kind::kCode},
          {"GoodGroup", Kind::kText}};
}

void EchoGoodGroup(host::NamedValueList& values) {
  std::string group = ValueText(values, "GoodGroup");
  if (!group.empty()) values.Item("GoodCode").SetValue(Variant(group));
}

// --- CRepNotSpentOrdGoods ---

CRepNotSpentOrdGoods::CRepNotSpentOrdGoods()
    : FormReport(PropertyKeeping::kKept, ErrorNumbering::kReportRun) {}

bool CRepNotSpentOrdGoods::RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) {
  frmRepNotSpentGoods form;
  return form.Run(book, values);
}

host::QueryPtr CRepNotSpentOrdGoods::BuildQuery(const host::AppContextPtr& book,
                                                host::NamedValueList& values) {
  book_ = book;
  values_ = &values;
  struct Release {
    CRepNotSpentOrdGoods* self;
    ~Release() {
      self->book_.reset();
      self->values_ = nullptr;
    }
  } release{this};

  host::QueryPtr query = OrderRowsQuery();
  query->Union(RestRowsQuery(), "Main", Variant(true));
  int32_t hwnd = kMainWindow;
  frame::OpenWithWait(query, hwnd);
  query->Sort("GoodCode, StoreCode, Code");
  return query;
}

host::QueryPtr CRepNotSpentOrdGoods::RequirementRowsQuery() {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  const std::string good_code = ValueText(*values_, "GoodCode");
  const std::string good_group = ValueText(*values_, "GoodGroup");

  host::QueryPtr doc = book_->CreateQuery("THDocument");
  host::QueryPtr spec = book_->CreateQuery("THGoodSpec");
  doc->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.Condition(doc->Fields().Item("DocumentDate"), host::kOpBetween,
                     values_->Item("BegDate").Value(), values_->Item("EndDate").Value()),
       sql.Condition(doc->Fields().Item("DocTypeCode"), host::kOpEqual,
                     Variant(kRequirementType))}));
  if (!good_code.empty()) {
    doc->AddWhere(sql.JoinConditions(
        host::kJoinAnd,
        {doc->WhereText(),
         sql.ColumnCondition("Spec.GoodCode", Kind::kCode, host::kOpInList, Variant(good_code))}));
  }
  host::NamedValueList& fields = doc->Fields();
  fields.KeepOnly({"Code", "Author"});
  // The order rows meet the rest rows by position: the author comes before the code.
  host::NamedValuePtr code;
  for (const host::NamedValuePtr& entry : fields.Entries()) {
    if (entry->Name() == "Code") code = entry;
  }
  fields.Exclude({"Code"});
  fields.Append(code);
  fields.Item("Author").SetKind(Kind::kRowId);
  fields.Item("Code").SetKind(Kind::kText);
  spec->Fields().KeepOnly({});
  doc->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocId", host::kJoinInner, 0);
  if (!good_group.empty()) {
    host::QueryPtr tree = book_->CreateQuery("REFGoodT");
    tree->Parameters().Item("Node").SetValue(Variant(good_group));
    tree->Fields().KeepOnly({});
    doc->InnerJoin(tree, "GoodT", "Spec.GoodCode = GoodT.Code AND GoodT.IsGroup = 0",
                   host::kJoinInner, 0);
  }
  fields.AddColumn("SpecID", Kind::kLongId, "Spec.IDC");
  fields.AddColumn("GoodCode", Kind::kCode, "Spec.GoodCode");
  return doc;
}

host::QueryPtr CRepNotSpentOrdGoods::SpentQuery() {
  host::QueryPtr spent = Wrapped(book_, RequirementRowsQuery(), "PRS");
  spent->InnerJoin(NoColumns(book_, "THGoodContent"), "ContentPRSF",
                   "PRS.SpecId = ContentPRSF.CorSpecId", host::kJoinInner, 0);
  spent->InnerJoin(NoColumns(book_, "THGoodSpec"), "SpecPRSF", "ContentPRSF.SpecId = SpecPRSF.IDC",
                   host::kJoinInner, 0);
  spent->InnerJoin(
      NoColumns(book_, "THDocument"), "DocPRSF",
      "SpecPRSF.DocId = DocPRSF.IDC AND DocPRSF.DocTypeCode = '" + std::string(kSpentType) + "'",
      host::kJoinInner, 0);
  spent->Fields()
      .AddColumn("AmountAccount", Kind::kQuantity, "ContentPRSF.AmountAccount")
      .SetAggregate(host::kAggregateSum);
  return spent;
}

host::QueryPtr CRepNotSpentOrdGoods::OrderedQuery() {
  host::QueryPtr ordered = Wrapped(book_, RequirementRowsQuery(), "PRS");
  host::QueryPtr spec = NoColumns(book_, "THGoodSpec");
  host::QueryPtr content = NoColumns(book_, "THGoodContent");
  host::QueryPtr doc = NoColumns(book_, "THDocument");
  ordered->InnerJoin(content, "ContentOrd", "PRS.SpecId = ContentOrd.CorSpecId", host::kJoinInner,
                     0);
  ordered->InnerJoin(spec, "SpecOrd", "ContentOrd.SpecId = SpecOrd.IDC", host::kJoinInner, 0);
  ordered->InnerJoin(doc, "DocOrd",
                     "SpecOrd.DocId = DocOrd.IDC AND DocOrd.DocTypeCode IN ('" +
                         std::string(kOrderTypes[0]) + "', '" + kOrderTypes[1] + "')",
                     host::kJoinInner, 0);
  ordered->Fields()
      .AddColumn("AmountAccount", Kind::kQuantity, "ContentOrd.AmountAccount")
      .SetAggregate(host::kAggregateSum);

  host::QueryPtr main = Wrapped(book_, ordered, "Main");
  main->Fields().Exclude({"SpecID", "AmountAccount"});
  main->LeftJoin(SpentQuery(), "PRSF", "Main.SpecId = PRSF.SpecID", host::kJoinLeftOuter, 0);
  main->Fields()
      .AddColumn("Amount", Kind::kQuantity, "Main.AmountAccount - COALESCE(PRSF.AmountAccount, 0)")
      .SetAggregate(host::kAggregateSum);
  return main;
}

host::QueryPtr CRepNotSpentOrdGoods::FixRestQuery() {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  host::QueryPtr fix_rest = book_->CreateQuery("THDocGoodFixRest");
  fix_rest->Parameters().Item("DateRest").SetValue(Variant(Date::Today()));
  fix_rest->AddWhere(
      sql.JoinConditions(host::kJoinAnd, {sql.Condition(fix_rest->Fields().Item("AmountAccount"),
                                                        host::kOpGreater, Variant(int32_t{0})),
                                          sql.Condition(fix_rest->Fields().Item("FixCategory"),
                                                        host::kOpEqual, Variant(int32_t{0}))}));
  // Its GoodCode, AmountAccount and CostSumm are reached as "FixRest.<column>" in the join and
  // the value expressions; kept as output columns they would join the data list, which
  // carries exactly the report's twelve columns.
  fix_rest->Fields().KeepOnly({});
  return fix_rest;
}

host::QueryPtr CRepNotSpentOrdGoods::OrderRowsQuery() {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  host::QueryPtr good = NoColumns(book_, "REFGood");
  host::QueryPtr unit = NoColumns(book_, "REFGoodUnit");
  host::QueryPtr person = NoColumns(book_, "REFPerson");

  host::QueryPtr main = Wrapped(book_, OrderedQuery(), "Main");
  main->AddWhere(
      sql.Condition(main->Fields().Item("Amount"), host::kOpGreater, Variant(int32_t{0})));
  main->LeftJoin(person, "Person", "Main.Author = Person.UserId", host::kJoinLeftOuter, 0);
  main->InnerJoin(good, "Good", "Main.GoodCode = Good.Code", host::kJoinInner, 0);
  main->InnerJoin(unit, "GUnit", "Main.GoodCode = GUnit.GoodCode AND GUnit.IsAccount = 1",
                  host::kJoinInner, 0);
  main->LeftJoin(FixRestQuery(), "FixRest", "Main.GoodCode = FixRest.GoodCode",
                 host::kJoinLeftOuter, 0);

  host::NamedValueList& columns = main->Fields();
  columns.AddColumn("Name", Kind::kName, "Good.Name");
  columns.AddColumn("UnitCode", Kind::kCode, "GUnit.UnitCode");
  columns.AddColumn("Summa", Kind::kMoney, FixRestValue("Main.Amount"));
  columns.AddColumn("Person", Kind::kText,
                    "CAST(Main.Author AS VARCHAR(5)) + COALESCE(' : ' + Person.FirstName + ' ' + "
                    "Person.LastName, '')");
  columns.AddColumn("Rest", Kind::kQuantity, "0");
  columns.AddColumn("StoreCode", Kind::kCode, "''");
  columns.AddColumn("RestSumma", Kind::kMoney, "0");
  columns.AddColumn("RestsList", Kind::kQuantity, "0");
  return main;
}

host::QueryPtr CRepNotSpentOrdGoods::RestRowsQuery() {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  const std::string store_code = ValueText(*values_, "StoreCode");

  host::QueryPtr common = Wrapped(book_, OrderedQuery(), "Common");
  common->AddWhere(
      sql.Condition(common->Fields().Item("Amount"), host::kOpGreater, Variant(int32_t{0})));
  common->SetDistinct(true);
  common->Fields().KeepOnly({"GoodCode"});
  host::QueryPtr main = Wrapped(book_, common, "Main");

  host::QueryPtr rests = host::StoreRestSource().RestOnDate(book_, Date::Today(), false);
  if (!store_code.empty()) {
    rests->AddWhere(
        sql.Condition(rests->Fields().Item("StoreCode"), host::kOpInList, Variant(store_code)));
  }
  main->Fields().KeepOnly({});
  rests->Fields().KeepOnly({});
  main->InnerJoin(rests, "StoreRest", "Main.GoodCode = StoreRest.GoodCode and StoreRest.Rest > 0",
                  host::kJoinInner, 0);
  main->LeftJoin(FixRestQuery(), "FixRest", "Main.GoodCode = FixRest.GoodCode",
                 host::kJoinLeftOuter, 0);

  host::NamedValueList& columns = main->Fields();
  columns.AddColumn("Author", Kind::kRowId, "0");
  columns.AddColumn("Code", Kind::kText, "''");
  columns.AddColumn("GoodCode", Kind::kCode, "Main.GoodCode");
  columns.AddColumn("AmountAccount", Kind::kQuantity, "0");
  columns.AddColumn("Name", Kind::kName, "''");
  columns.AddColumn("UnitCode", Kind::kCode, "''");
  columns.AddColumn("Summa", Kind::kMoney, "0");
  columns.AddColumn("Person", Kind::kText, "''");
  columns.AddColumn("Rest", Kind::kQuantity, "StoreRest.Rest");
  columns.AddColumn("StoreCode", Kind::kCode, "StoreRest.StoreCode");
  columns.AddColumn("RestSumma", Kind::kMoney, FixRestValue("StoreRest.Rest"));
  columns.AddColumn("RestsList", Kind::kQuantity, "1");
  return main;
}

}  // namespace qts::reports
