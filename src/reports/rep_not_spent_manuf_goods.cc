#include "reports/rep_not_spent_manuf_goods.h"

#include "core/date.h"
#include "frame/catalogue.h"
#include "frame/module_functions.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kRegistrar("CRepNotSpentManufGoods", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepNotSpentManufGoods>());
});

host::QueryPtr NoColumns(const host::AppContextPtr& book, std::string_view table) {
  host::QueryPtr query = book->CreateQuery(table);
  query->Fields().KeepOnly({});
  return query;
}

// The author of the manufacturing order a lot was made for, as a scalar subquery over the
// lot property "LP" of the embedding query: the order of the customer before ':' whose number
// follows '#'. Without ':' the customer is Null and no order matches.
host::QueryPtr OrderAuthorQuery(const host::AppContextPtr& book) {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  host::QueryPtr order = book->CreateQuery("THDocument");
  order->SetAlias("MO");
  order->Fields().KeepOnly({"Author"});
  order->InnerJoin(
      NoColumns(book, "THPartyAttribute"), "Party",
      sql.JoinConditions(
          host::kJoinAnd,
          {sql.ColumnCondition("Party.RolePartyCode", Kind::kCode, host::kOpEqual, Variant("CUST")),
           "MO.IDC = Party.DocId",
           "Party.PartyCode = LEFT(LP.OrderInfo,  nullif( charindex( ':', LP.OrderInfo ), 0 ) "
           "- 1 )"}),
      host::kJoinInner, 0);
  order->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.ColumnCondition("MO.DocTypecode", Kind::kCode, host::kOpEqual, Variant("MO")),
       "MO.Number = RIGHT(LP.OrderInfo, LEN(LP.OrderInfo) - charindex('#', LP.OrderInfo))"}));
  order->SetTop(1);
  return order;
}

}  // namespace

CRepNotSpentManufGoods::CRepNotSpentManufGoods()
    : FormReport(PropertyKeeping::kKept, ErrorNumbering::kAsRaised) {}

bool CRepNotSpentManufGoods::RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) {
  frmRepNotSpentGoods form;
  return form.Run(book, values);
}

host::QueryPtr CRepNotSpentManufGoods::BuildQuery(const host::AppContextPtr& book,
                                                  host::NamedValueList& values) {
  const host::SqlTools& sql = *host::SqlTools::Instance();
  const std::string store_code = ValueText(values, "StoreCode");
  const std::string good_code = ValueText(values, "GoodCode");
  const std::string good_group = ValueText(values, "GoodGroup");

  // Lots with a rest.
  host::QueryPtr lots = book->CreateQuery("STLot");
  lots->AddWhere(sql.Condition(lots->Fields().Item("Rest"), host::kOpGreater, Variant(int32_t{0})));
  if (!good_code.empty()) {
    lots->AddWhere(sql.JoinConditions(
        host::kJoinAnd, {lots->WhereText(), sql.Condition(lots->Fields().Item("GoodCode"),
                                                          host::kOpInList, Variant(good_code))}));
  }
  lots->Fields().KeepOnly({});

  // Lot properties that name an order.
  host::QueryPtr property = book->CreateQuery("STLotProperty");
  property->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.Condition(property->Fields().Item("OrderInfo"), host::kOpNotEqual, Variant::Null()),
       sql.Condition(property->Fields().Item("OrderInfo"), host::kOpNotEqual,
                     Variant(std::string()))}));
  property->Fields().KeepOnly({});

  host::QueryPtr fix_rest = book->CreateQuery("THDocGoodFixRest");
  fix_rest->AddWhere(
      sql.JoinConditions(host::kJoinAnd, {sql.Condition(fix_rest->Fields().Item("AmountAccount"),
                                                        host::kOpGreater, Variant(int32_t{0})),
                                          sql.Condition(fix_rest->Fields().Item("FixCategory"),
                                                        host::kOpEqual, Variant(int32_t{0}))}));
  fix_rest->Fields().KeepOnly({});

  host::QueryPtr store = book->CreateQuery("STStore");
  if (!store_code.empty()) {
    store->AddWhere(
        sql.Condition(store->Fields().Item("Code"), host::kOpInList, Variant(store_code)));
  }
  store->Fields().KeepOnly({});

  // The distinct goods of posted manufacturing receipts of the period whose lots name an
  // order.
  host::QueryPtr made = book->CreateQuery("THDocument");
  made->AddWhere(sql.JoinConditions(
      host::kJoinAnd,
      {sql.Condition(made->Fields().Item("DocTypeCode"), host::kOpEqual, Variant("MNFC")),
       sql.Condition(made->Fields().Item("IsPosted"), host::kOpEqual, Variant(int32_t{1})),
       sql.Condition(made->Fields().Item("DocumentDate"), host::kOpBetween,
                     values.Item("BegDate").Value(), values.Item("EndDate").Value())}));
  made->Fields().KeepOnly({});
  made->SetAlias("MDoc");
  host::QueryPtr made_spec = NoColumns(book, "THGoodSpec");
  host::QueryPtr order_spec = NoColumns(book, "STOrderSpec");
  host::QueryPtr posted_lot = NoColumns(book, "STPostLot");
  made->InnerJoin(made_spec, "Spec", "MDoc.IDC = Spec.DocId", host::kJoinInner, 0);
  made->InnerJoin(order_spec, "StSpec", "Spec.IDC = StSpec.srcDocSpecID", host::kJoinInner, 0);
  made->InnerJoin(posted_lot, "StLot", "StSpec.IDC = Stlot.SpecId", host::kJoinInner, 0);
  made->InnerJoin(property, "LP", "StLot.AnalytID = LP.IDC", host::kJoinInner, 0);
  made->Fields().AddColumn("GoodCode", Kind::kCode, "Spec.GoodCode");
  made->SetDistinct(true);

  host::QueryPtr author = OrderAuthorQuery(book);

  lots->InnerJoin(store, "Store", "oTable.StoreId = Store.IDC", host::kJoinInner, 0);
  lots->InnerJoin(property, "LP", "oTable.AnalytId = LP.IDC", host::kJoinInner, 0);
  // Inner here: goods without a fixed rest are not listed.
  lots->InnerJoin(fix_rest, "FixRest", "oTable.GoodCode = FixRest.GoodCode", host::kJoinInner, 0);
  lots->LeftJoin(made, "MDoc", "oTable.Goodcode = MDoc.Goodcode", host::kJoinInner, 0);
  if (!good_group.empty()) {
    lots->InnerJoin(NoColumns(book, "REFGoodT"), "GoodT",
                    "oTable.GoodCode = GoodT.Code AND GoodT.IsGroup = 0", host::kJoinInner, 0);
  }
  host::NamedValueList& inner = lots->Fields();
  inner.AddColumn("GoodCode", Kind::kCode, "oTable.GoodCode");
  inner.AddColumn("StoreId", Kind::kLongId, "Store.IDC");
  inner.AddColumn("StoreCode", Kind::kCode, "Store.Code");
  inner.AddColumn("OrderInfo", Kind::kText, "LP.OrderInfo");
  inner.AddColumn("Author", Kind::kUser, "( " + author->SqlText() + " )");
  inner.AddColumn("Rest", Kind::kQuantity, "oTable.RestAccount");
  inner.AddColumn("RestSumma", Kind::kMoney,
                  "ROUND(oTable.RestAccount * COALESCE(FixRest.CostSumm, 0) / "
                  "COALESCE(FixRest.AmountAccount, 1), 2)");

  host::QueryPtr outer = book->CreateQuery("");
  outer->FromQuery(lots, "rl");
  outer->LeftJoin(NoColumns(book, "REFPerson"), "Person", "rl.Author = Person.UserId",
                  host::kJoinLeftOuter, 0);
  outer->InnerJoin(NoColumns(book, "REFGood"), "Good", "rl.GoodCode = Good.Code", host::kJoinInner,
                   0);
  outer->InnerJoin(NoColumns(book, "REFGoodUnit"), "GUnit",
                   "rl.GoodCode = GUnit.GoodCode AND GUnit.IsAccount = 1", host::kJoinInner, 0);
  host::NamedValueList& columns = outer->Fields();
  columns.AddColumn("GoodCode", Kind::kCode, "rl.GoodCode");
  columns.AddColumn("Name", Kind::kName, "Good.Name");
  columns.AddColumn("UnitCode", Kind::kCode, "GUnit.UnitCode");
  columns.AddColumn("StoreId", Kind::kLongId, "rl.StoreId");
  columns.AddColumn("StoreCode", Kind::kCode, "rl.StoreCode");
  columns.AddColumn("OrderInfo", Kind::kText, "rl.OrderInfo");
  columns.AddColumn("Author", Kind::kUser, "rl.Author");
  columns.AddColumn("Rest", Kind::kQuantity, "rl.Rest").SetAggregate(host::kAggregateSum);
  columns.AddColumn("RestSumma", Kind::kMoney, "rl.RestSumma").SetAggregate(host::kAggregateSum);
  // No COALESCE: an author without a person record gives a Null name.
  columns.AddColumn(
      "Person", Kind::kText,
      "CAST(rl.Author AS VARCHAR(5)) + ' : ' + Person.FirstName + ' ' + Person.LastName");
  outer->OrderBy("GoodCode, StoreCode");

  // The fixed rests and the goods tree take their parameters from here.
  host::NamedValueList& parameters = outer->Parameters();
  parameters.KeepOnly({});
  parameters.Add("DateRest", Kind::kDate, Variant(Date::Today()));
  if (!good_group.empty()) parameters.Add("Node", Kind::kCode, Variant(good_group));

  int32_t hwnd = kMainWindow;
  frame::OpenWithWait(outer, hwnd);
  return outer;
}

}  // namespace qts::reports
