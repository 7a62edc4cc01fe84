#include "reports/rep_store_rest_by_term.h"

#include "core/convert.h"
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

const frame::ClassRegistrar kRegistrar("CRepStoreRestByTerm", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepStoreRestByTerm>());
});

}  // namespace

// --- frmRepStoreRestByTerm ---

frmRepStoreRestByTerm::frmRepStoreRestByTerm() : StoreGoodForm("frmRepStoreRestByTerm", "#13301") {}

void frmRepStoreRestByTerm::BuildControls(host::Form& form) {
  AddSelectors(form);
  form.Add("edDayAmount", host::ControlType::kNumberBox, "Dienų skaičius : ", "#13304")
      .SetValue(Variant(int32_t{0}));
}

void frmRepStoreRestByTerm::WriteValues(host::NamedValueList& values) {
  const int32_t days = PickedNumber(CurrentForm(), "edDayAmount");
  values.Item("ToDate").SetValue(Variant(Date::Today().AddDays(-days)));
  values.Item("StoreCode").SetValue(Variant(StoreChoice()));
  GoodSelection goods = GoodChoice();
  if (!goods.good_code.empty()) values.Item("GoodCode").SetValue(Variant(goods.good_code));
  if (!goods.good_group.empty()) values.Item("GoodGroup").SetValue(Variant(goods.good_group));
}

// --- CRepStoreRestByTerm ---

CRepStoreRestByTerm::CRepStoreRestByTerm()
    : FormReport(PropertyKeeping::kKept, ErrorNumbering::kReportRun) {}

std::vector<InputValue> CRepStoreRestByTerm::Inputs() const {
  return {{"ToDate", Kind::kDate},
          {"StoreCode", Kind::kText},
          {"GoodCode", Kind::kCode},
          {"GoodGroup", Kind::kText}};
}

bool CRepStoreRestByTerm::RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) {
  frmRepStoreRestByTerm form;
  return form.Run(book, values);
}

host::QueryPtr CRepStoreRestByTerm::BuildQuery(const host::AppContextPtr& book,
                                               host::NamedValueList& values) {
  return StoreRestQuery(book, values);
}

void CRepStoreRestByTerm::AdjustEcho(host::NamedValueList& values) {
  std::string group = ValueText(values, "GoodGroup");
  if (!group.empty()) values.Item("GoodCode").SetValue(Variant(group));
}

host::QueryPtr CRepStoreRestByTerm::StoreRestQuery(const host::AppContextPtr& book,
                                                   const host::NamedValueList& values) {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  const Variant& to_date = values.Item("ToDate").Value();
  const std::string store_code = ValueText(values, "StoreCode");
  const std::string good_code = ValueText(values, "GoodCode");
  const std::string good_group = ValueText(values, "GoodGroup");
  const Date today = Date::Today();

  host::QueryPtr doc = book->CreateQuery("THDocument");
  host::QueryPtr doc_type = book->CreateQuery("THDocType");
  host::QueryPtr spec = book->CreateQuery("THGoodSpecNotFixed");
  host::QueryPtr good = book->CreateQuery("REFGood");
  host::QueryPtr unit = book->CreateQuery("REFGoodUnit");
  host::QueryPtr store = book->CreateQuery("STStore");
  host::QueryPtr fix_rest = book->CreateQuery("THDocGoodFixRest");

  // Received not later than the limit date, with quantity left and no fixing category.
  doc->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.Condition(doc->Fields().Item("DocumentDate"), host::kOpLessOrEqual, to_date),
       sql.ColumnCondition("Spec.AmountAccount", Kind::kQuantity, host::kOpGreater,
                           Variant(int32_t{0})),
       sql.ColumnCondition("Spec.FixCategory", Kind::kCategory, host::kOpEqual,
                           Variant(int32_t{0}))}));
  doc_type->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.Condition(doc_type->Fields().Item("IsIncome"), host::kOpEqual, Variant(int32_t{1})),
       sql.Condition(doc_type->Fields().Item("IsOrderDirect"), host::kOpEqual, Variant(int32_t{1})),
       sql.Condition(doc_type->Fields().Item("Category"), host::kOpEqual, Variant(int32_t{0}))}));
  unit->AddWhere(
      sql.Condition(unit->Fields().Item("IsAccount"), host::kOpEqual, Variant(int32_t{1})));
  if (!store_code.empty()) {
    doc->AddWhere(sql.JoinConditions(
        host::kJoinAnd, {doc->WhereText(), sql.Condition(doc->Fields().Item("StoreCode"),
                                                         host::kOpInList, Variant(store_code))}));
  }
  if (!good_code.empty()) {
    doc->AddWhere(sql.JoinConditions(
        host::kJoinAnd,
        {doc->WhereText(),
         sql.ColumnCondition("Spec.GoodCode", Kind::kCode, host::kOpInList, Variant(good_code))}));
  }
  for (const host::QueryPtr& q : {doc, doc_type, spec, good, unit}) q->Fields().KeepOnly({});

  doc->InnerJoin(doc_type, "DocType", "oTable.DocTypeCode = DocType.Code", host::kJoinInner, 0);
  doc->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocId", host::kJoinInner, 0);
  doc->InnerJoin(good, "Good", "Spec.GoodCode = Good.Code", host::kJoinInner, 0);
  doc->InnerJoin(unit, "GUnit", "Spec.GoodCode = GUnit.GoodCode", host::kJoinInner, 0);
  if (!good_group.empty()) {
    // Only goods below the group take part.
    host::QueryPtr tree = book->CreateQuery("REFGoodT");
    tree->Parameters().Item("Node").SetValue(Variant(good_group));
    tree->Fields().KeepOnly({});
    doc->InnerJoin(tree, "GoodT", "Good.Code = GoodT.Code AND GoodT.IsGroup = 0", host::kJoinInner,
                   0);
  }
  host::NamedValueList& inner = doc->Fields();
  inner.AddColumn("GoodCode", Kind::kCode, "Good.Code");
  inner.AddColumn("Name", Kind::kName, "Good.Name");
  inner.AddColumn("UnitCode", Kind::kCode, "GUnit.UnitCode");
  inner.AddColumn("AmountAccount", Kind::kQuantity, "Spec.AmountAccount")
      .SetAggregate(host::kAggregateSum);
  inner.AddColumn("CostSumma", Kind::kMoney, "Spec.CostSumm").SetAggregate(host::kAggregateSum);

  host::QueryPtr outer = book->CreateQuery("");
  outer->FromQuery(doc, "Main");

  if (!store_code.empty()) {
    store->AddWhere(
        sql.Condition(store->Fields().Item("Code"), host::kOpInList, Variant(store_code)));
  }
  fix_rest->Parameters().Item("DateRest").SetValue(Variant(today));
  fix_rest->AddWhere(
      sql.JoinConditions(host::kJoinAnd, {sql.Condition(fix_rest->Fields().Item("AmountAccount"),
                                                        host::kOpGreater, Variant(int32_t{0})),
                                          sql.Condition(fix_rest->Fields().Item("FixCategory"),
                                                        host::kOpEqual, Variant(int32_t{0}))}));
  store->Fields().KeepOnly({});
  fix_rest->Fields().KeepOnly({});

  host::QueryPtr rests = host::StoreRestSource().RestOnDate(book, today, true);
  // Its columns are read through the expressions below; the data list has exactly its own.
  rests->Fields().KeepOnly({});
  // Inner join: only goods with a rest row take part.
  outer->LeftJoin(rests, "StoreRest", "Main.GoodCode = StoreRest.GoodCode", host::kJoinInner, 0);
  outer->InnerJoin(store, "Store", "StoreRest.StoreCode = Store.Code",
                   store_code.empty() ? host::kJoinLeftOuter : host::kJoinInner, 0);
  outer->LeftJoin(fix_rest, "FixRest", "Main.GoodCode = FixRest.GoodCode", host::kJoinLeftOuter, 0);

  host::NamedValueList& columns = outer->Fields();
  columns.AddColumn("StoreCode", Kind::kCode, "COALESCE(StoreRest.StoreCode, '')");
  columns.AddColumn("Rest", Kind::kQuantity, "StoreRest.Rest");
  columns.AddColumn("RestSumma", Kind::kMoney,
                    "ROUND(StoreRest.Rest * COALESCE(FixRest.CostSumm, 0) / "
                    "COALESCE(FixRest.AmountAccount, 1), 2)");
  outer->OrderBy("GoodCode, StoreCode");

  int32_t hwnd = kMainWindow;
  frame::OpenWithWait(outer, hwnd);
  outer->AddResultFilter(
      sql.ColumnCondition("Rest", Kind::kQuantity, host::kOpGreater, Variant(int32_t{0})));
  return outer;
}

}  // namespace qts::reports
