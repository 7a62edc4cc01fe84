// The stock reports' queries, built through the query builder with the calls, aliases and
// kinds the reports use, opened on an empty book and translated for PostgreSQL.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/data/testing/empty_book.h"
#include "host/services/currency_tools.h"
#include "host/services/doc_spec_service.h"
#include "host/services/store_rest_source.h"

namespace qts::host {
namespace {

using testing::EmptyBook;
using testing::kBeg;
using testing::kCode;
using testing::kEnd;
using testing::kToday;
using testing::L;
using testing::T;

// --- Reports -----------------------------------------------------------------------------------

class ReportQueryTest : public EmptyBook {
 protected:
  QueryPtr None(std::string_view table) {
    QueryPtr q = Q(table);
    q->Fields().KeepOnly({});
    return q;
  }
  QueryPtr FixRest() {
    QueryPtr q = Q("THDocGoodFixRest");
    q->Parameters().Item("DateRest").SetValue(Variant(kToday));
    q->AddWhere(T().JoinConditions(1, {T().Condition(q->Fields().Item("AmountAccount"), 4, L(0)),
                                       T().Condition(q->Fields().Item("FixCategory"), 1, L(0))}));
    return q;
  }
  static constexpr const char* kRestSumma =
      "ROUND(StoreRest.Rest * COALESCE(FixRest.CostSumm, 0) / COALESCE(FixRest.AmountAccount, 1), "
      "2)";
};

struct Selection {
  const char* stores;  // selStore.SelCodes, or ""
  const char* goods;   // quoted codes, or ""
  const char* group;   // a goods group, or ""
};

const Selection kSelections[] = {
    {"", "", ""}, {"'S1','S2'", "'G1'", ""}, {"'S1'", "", "GR"}, {"", "'G1', 'G2'", "GR"}};

TEST_F(ReportQueryTest, StoreRestByTerm) {
  for (const Selection& s : kSelections) {
    SCOPED_TRACE(std::string(s.stores) + "|" + s.goods + "|" + s.group);
    const std::string stores = s.stores;
    QueryPtr doc = Q("THDocument");
    QueryPtr type = Q("THDocType");
    QueryPtr spec = Q("THGoodSpecNotFixed");
    QueryPtr good = Q("REFGood");
    QueryPtr unit = Q("REFGoodUnit");
    QueryPtr store = Q("STStore");
    QueryPtr fix = Q("THDocGoodFixRest");
    doc->AddWhere(
        T().JoinConditions(1, {T().Condition(doc->Fields().Item("DocumentDate"), 3, Variant(kEnd)),
                               T().ColumnCondition("Spec.AmountAccount", 20, 4, L(0)),
                               T().ColumnCondition("Spec.FixCategory", 1, 1, L(0))}));
    type->AddWhere(
        T().JoinConditions(1, {T().Condition(type->Fields().Item("IsIncome"), 1, L(1)),
                               T().Condition(type->Fields().Item("IsOrderDirect"), 1, L(1)),
                               T().Condition(type->Fields().Item("Category"), 1, L(0))}));
    unit->AddWhere(T().Condition(unit->Fields().Item("IsAccount"), 1, L(1)));
    if (!stores.empty()) {
      doc->AddWhere(T().JoinConditions(
          1,
          {doc->WhereText(), T().Condition(doc->Fields().Item("StoreCode"), 8, Variant(stores))}));
    }
    if (*s.goods) {
      doc->AddWhere(T().JoinConditions(
          1, {doc->WhereText(), T().ColumnCondition("Spec.GoodCode", 7, 8, Variant(s.goods))}));
    }
    for (const QueryPtr& q : {doc, type, spec, good, unit}) q->Fields().KeepOnly({});
    doc->InnerJoin(type, "DocType", "oTable.DocTypeCode = DocType.Code", 0);
    doc->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocId", 0);
    doc->InnerJoin(good, "Good", "Spec.GoodCode = Good.Code", 0);
    doc->InnerJoin(unit, "GUnit", "Spec.GoodCode = GUnit.GoodCode", 0);
    if (*s.group) {
      QueryPtr tree = Q("REFGoodT");
      tree->Parameters().Item("Node").SetValue(Variant(s.group));
      tree->Fields().KeepOnly({});
      doc->InnerJoin(tree, "GoodT", "Good.Code = GoodT.Code AND GoodT.IsGroup = 0", 0);
    }
    doc->Fields().AddColumn("GoodCode", 7, "Good.Code");
    doc->Fields().AddColumn("Name", 16, "Good.Name");
    doc->Fields().AddColumn("UnitCode", 7, "GUnit.UnitCode");
    doc->Fields().AddColumn("AmountAccount", 20, "Spec.AmountAccount");
    doc->Fields().AddColumn("CostSumma", 19, "Spec.CostSumm");
    doc->Fields().Item("AmountAccount").SetAggregate(kAggregateSum);
    doc->Fields().Item("CostSumma").SetAggregate(kAggregateSum);
    QueryPtr main = Q("");
    main->FromQuery(doc, "Main");
    if (!stores.empty()) {
      store->AddWhere(T().Condition(store->Fields().Item("Code"), 8, Variant(stores)));
    }
    fix->Parameters().Item("DateRest").SetValue(Variant(kToday));
    fix->AddWhere(
        T().JoinConditions(1, {T().Condition(fix->Fields().Item("AmountAccount"), 4, L(0)),
                               T().Condition(fix->Fields().Item("FixCategory"), 1, L(0))}));
    store->Fields().KeepOnly({});
    fix->Fields().KeepOnly({});
    QueryPtr rests = StoreRestSource().RestOnDate(book_, kToday, true);
    main->LeftJoin(rests, "StoreRest", "Main.GoodCode = StoreRest.GoodCode", 0);
    main->LeftJoin(store, "Store", "StoreRest.StoreCode = Store.Code", stores.empty() ? 1 : 0);
    main->LeftJoin(fix, "FixRest", "Main.GoodCode = FixRest.GoodCode", 1);
    main->Fields().AddColumn("StoreCode", 7, "COALESCE(StoreRest.StoreCode, '')");
    main->Fields().AddColumn("Rest", 20, "StoreRest.Rest");
    main->Fields().AddColumn("RestSumma", 19, kRestSumma);
    main->OrderBy("GoodCode, StoreCode");
    ExpectRuns(*main, main->OutputNames().size());
    // The data list's columns in order; the rest query's own columns (RestOnDate keeps four)
    // follow as "StoreRest.<column>".
    std::vector<std::string> names = main->OutputNames();
    ASSERT_EQ(names.size(), 12u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 8),
              (std::vector<std::string>{"GoodCode", "Name", "UnitCode", "AmountAccount",
                                        "CostSumma", "StoreCode", "Rest", "RestSumma"}));
    main->AddResultFilter(T().ColumnCondition("Rest", 20, 4, L(0)));
    EXPECT_EQ(main->RecordCount(), 0);
  }
}

class NotSpentOrderedTest : public ReportQueryTest {
 protected:
  QueryPtr RequirementRows(const Selection& s) {
    QueryPtr d = Q("THDocument");
    QueryPtr spec = Q("THGoodSpec");
    d->AddWhere(T().JoinConditions(
        1, {T().Condition(d->Fields().Item("DocumentDate"), 105, Variant(kBeg), Variant(kEnd)),
            T().Condition(d->Fields().Item("DocTypeCode"), 1, Variant("PRS"))}));
    if (*s.goods) {
      d->AddWhere(T().JoinConditions(
          1, {d->WhereText(), T().ColumnCondition("Spec.GoodCode", 7, 8, Variant(s.goods))}));
    }
    d->Fields().KeepOnly({"Code", "Author"});
    spec->Fields().KeepOnly({});
    d->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocId", 0);
    if (*s.group) {
      QueryPtr tree = Q("REFGoodT");
      tree->Parameters().Item("Node").SetValue(Variant(s.group));
      tree->Fields().KeepOnly({});
      d->InnerJoin(tree, "GoodT", "Spec.GoodCode = GoodT.Code AND GoodT.IsGroup = 0");
    }
    d->Fields().AddColumn("SpecID", 3, "Spec.IDC");
    d->Fields().AddColumn("GoodCode", 7, "Spec.GoodCode");
    return d;
  }
  QueryPtr Spent(const Selection& s) {
    QueryPtr q = Wrap(RequirementRows(s), "PRS");
    q->InnerJoin(None("THGoodContent"), "ContentPRSF", "PRS.SpecId = ContentPRSF.CorSpecId", 0);
    q->InnerJoin(None("THGoodSpec"), "SpecPRSF", "ContentPRSF.SpecId = SpecPRSF.IDC", 0);
    q->InnerJoin(
        None("THDocument"), "DocPRSF",
        "SpecPRSF.DocId = DocPRSF.IDC AND DocPRSF.DocTypeCode = '" + std::string("PRSF") + "'", 0);
    q->Fields()
        .AddColumn("AmountAccount", 20, "ContentPRSF.AmountAccount")
        .SetAggregate(kAggregateSum);
    return q;
  }
  QueryPtr Ordered(const Selection& s) {
    QueryPtr q = Wrap(RequirementRows(s), "PRS");
    q->InnerJoin(None("THGoodContent"), "ContentOrd", "PRS.SpecId = ContentOrd.CorSpecId", 0);
    q->InnerJoin(None("THGoodSpec"), "SpecOrd", "ContentOrd.SpecId = SpecOrd.IDC", 0);
    q->InnerJoin(None("THDocument"), "DocOrd",
                 "SpecOrd.DocId = DocOrd.IDC AND DocOrd.DocTypeCode IN ('" + std::string("PIS") +
                     "', '" + "POD" + "')",
                 0);
    q->Fields()
        .AddColumn("AmountAccount", 20, "ContentOrd.AmountAccount")
        .SetAggregate(kAggregateSum);
    QueryPtr main = Wrap(q, "Main");
    main->Fields().Exclude({"SpecID", "AmountAccount"});
    main->LeftJoin(Spent(s), "PRSF", "Main.SpecId = PRSF.SpecID", 1);
    main->Fields()
        .AddColumn("Amount", 20, "Main.AmountAccount - COALESCE(PRSF.AmountAccount, 0)")
        .SetAggregate(kAggregateSum);
    return main;
  }
  QueryPtr FixRestList() {
    QueryPtr q = FixRest();
    q->Fields().KeepOnly({"GoodCode", "AmountAccount", "CostSumm"});
    return q;
  }
  QueryPtr OrderRows(const Selection& s) {
    QueryPtr main = Wrap(Ordered(s), "Main");
    main->AddWhere(T().Condition(main->Fields().Item("Amount"), 4, L(0)));
    main->LeftJoin(None("REFPerson"), "Person", "Main.Author = Person.UserId", 1);
    main->InnerJoin(None("REFGood"), "Good", "Main.GoodCode = Good.Code", 0);
    main->InnerJoin(None("REFGoodUnit"), "GUnit",
                    "Main.GoodCode = GUnit.GoodCode AND GUnit.IsAccount = 1", 0);
    QueryPtr fix = FixRestList();
    main->LeftJoin(fix, "FixRest", "Main.GoodCode = FixRest.GoodCode", 1);
    NamedValueList& f = main->Fields();
    f.AddColumn("Name", 16, "Good.Name");
    f.AddColumn("UnitCode", 7, "GUnit.UnitCode");
    f.AddColumn("Summa", 19,
                "ROUND(Main.Amount * COALESCE(FixRest.CostSumm, 0) / "
                "COALESCE(FixRest.AmountAccount, 1), 2)");
    f.AddColumn("Person", 15,
                "CAST(Main.Author AS VARCHAR(5)) + COALESCE(' : ' + Person.FirstName + ' ' + "
                "Person.LastName, '')");
    f.AddColumn("Rest", 20, "0");
    f.AddColumn("StoreCode", 7, "''");
    f.AddColumn("RestSumma", 19, "0");
    f.AddColumn("RestsList", 20, "0");
    return main;
  }
  QueryPtr RestRows(const Selection& s) {
    QueryPtr common = Wrap(Ordered(s), "Common");
    common->AddWhere(T().Condition(common->Fields().Item("Amount"), 4, L(0)));
    common->SetDistinct(true);
    common->Fields().KeepOnly({"GoodCode"});
    QueryPtr main = Wrap(common, "Main");
    QueryPtr rests = StoreRestSource().RestOnDate(book_, kToday, false);
    if (*s.stores) {
      rests->AddWhere(T().Condition(rests->Fields().Item("StoreCode"), 8, Variant(s.stores)));
    }
    main->Fields().KeepOnly({});
    rests->Fields().KeepOnly({});
    main->InnerJoin(rests, "StoreRest", "Main.GoodCode = StoreRest.GoodCode and StoreRest.Rest > 0",
                    0);
    main->LeftJoin(FixRestList(), "FixRest", "Main.GoodCode = FixRest.GoodCode", 1);
    NamedValueList& f = main->Fields();
    f.AddColumn("Author", 2, "0");
    f.AddColumn("Code", 15, "''");
    f.AddColumn("GoodCode", 7, "Main.GoodCode");
    f.AddColumn("AmountAccount", 20, "0");
    f.AddColumn("Name", 16, "''");
    f.AddColumn("UnitCode", 7, "''");
    f.AddColumn("Summa", 19, "0");
    f.AddColumn("Person", 15, "''");
    f.AddColumn("Rest", 20, "StoreRest.Rest");
    f.AddColumn("StoreCode", 7, "StoreRest.StoreCode");
    f.AddColumn("RestSumma", 19, kRestSumma);
    f.AddColumn("RestsList", 20, "1");
    return main;
  }
};

TEST_F(NotSpentOrderedTest, OrderRowsAndRestRowsInOneList) {
  for (const Selection& s : kSelections) {
    SCOPED_TRACE(std::string(s.stores) + "|" + s.goods + "|" + s.group);
    QueryPtr q = OrderRows(s);
    QueryPtr rest_rows = RestRows(s);
    // The two parts are combined by position: their output columns line up one for one.
    // (KeepOnly keeps the source's order, Code before Author: the report class must put
    // Author first itself.)
    std::vector<std::string> order_names = q->OutputNames();
    std::vector<std::string> rest_names = rest_rows->OutputNames();
    ASSERT_EQ(order_names.size(), rest_names.size());
    EXPECT_EQ(std::vector<std::string>(order_names.begin() + 2, order_names.begin() + 12),
              (std::vector<std::string>{"GoodCode", "Amount", "Name", "UnitCode", "Summa", "Person",
                                        "Rest", "StoreCode", "RestSumma", "RestsList"}));
    EXPECT_EQ(std::vector<std::string>(order_names.begin() + 12, order_names.end()),
              std::vector<std::string>(rest_names.begin() + 12, rest_names.end()));
    q->Union(rest_rows, "Main", Variant(true));
    ExpectRuns(*q, q->OutputNames().size());
    q->Sort("GoodCode, StoreCode, Code");
    EXPECT_TRUE(q->Eof());
  }
}

TEST_F(ReportQueryTest, NotSpentManufacturedGoods) {
  for (const Selection& s : kSelections) {
    SCOPED_TRACE(std::string(s.stores) + "|" + s.goods + "|" + s.group);
    QueryPtr lots = Q("STLot");
    lots->AddWhere(T().Condition(lots->Fields().Item("Rest"), 4, L(0)));
    if (*s.goods) {
      lots->AddWhere(T().JoinConditions(
          1, {lots->WhereText(),
              T().Condition(lots->Fields().Item("GoodCode"), 8, Variant(s.goods))}));
    }
    lots->Fields().KeepOnly({});
    QueryPtr lp = Q("STLotProperty");
    lp->AddWhere(
        T().JoinConditions(1, {T().Condition(lp->Fields().Item("OrderInfo"), 6, Variant::Null()),
                               T().Condition(lp->Fields().Item("OrderInfo"), 6, Variant(""))}));
    lp->Fields().KeepOnly({});
    QueryPtr fix = FixRest();
    fix->Fields().KeepOnly({});
    QueryPtr store = Q("STStore");
    if (*s.stores)
      store->AddWhere(T().Condition(store->Fields().Item("Code"), 8, Variant(s.stores)));
    store->Fields().KeepOnly({});

    QueryPtr mdoc = Q("THDocument");
    mdoc->AddWhere(T().JoinConditions(
        1,
        {T().Condition(mdoc->Fields().Item("DocTypeCode"), 1, Variant("MNFC")),
         T().Condition(mdoc->Fields().Item("IsPosted"), 1, L(1)),
         T().Condition(mdoc->Fields().Item("DocumentDate"), 105, Variant(kBeg), Variant(kEnd))}));
    mdoc->Fields().KeepOnly({});
    mdoc->SetAlias("MDoc");
    mdoc->InnerJoin(None("THGoodSpec"), "Spec", "MDoc.IDC = Spec.DocId", 0);
    mdoc->InnerJoin(None("STOrderSpec"), "StSpec", "Spec.IDC = StSpec.srcDocSpecID", 0);
    mdoc->InnerJoin(None("STPostLot"), "StLot", "StSpec.IDC = Stlot.SpecId", 0);
    mdoc->InnerJoin(lp, "LP", "StLot.AnalytID = LP.IDC", 0);
    mdoc->Fields().AddColumn("GoodCode", 7, "Spec.GoodCode");
    mdoc->SetDistinct(true);

    QueryPtr mo = Q("THDocument");
    mo->SetAlias("MO");
    mo->Fields().KeepOnly({"Author"});
    mo->InnerJoin(
        None("THPartyAttribute"), "Party",
        T().JoinConditions(
            1, {T().ColumnCondition("Party.RolePartyCode", 7, 1, Variant("CUST")),
                "MO.IDC = Party.DocId",
                "Party.PartyCode = LEFT(LP.OrderInfo,  nullif( charindex( ':', LP.OrderInfo ), 0 ) "
                "- 1 )"}),
        0);
    mo->AddWhere(T().JoinConditions(
        1, {T().ColumnCondition("MO.DocTypecode", 7, 1, Variant("MO")),
            "MO.Number = RIGHT(LP.OrderInfo, LEN(LP.OrderInfo) - charindex('#', LP.OrderInfo))"}));
    mo->SetTop(1);

    lots->InnerJoin(store, "Store", "oTable.StoreId = Store.IDC", 0);
    lots->InnerJoin(lp, "LP", "oTable.AnalytId = LP.IDC", 0);
    lots->InnerJoin(fix, "FixRest", "oTable.GoodCode = FixRest.GoodCode", 0);
    lots->LeftJoin(mdoc, "MDoc", "oTable.Goodcode = MDoc.Goodcode", 0);
    if (*s.group) {
      QueryPtr tree = None("REFGoodT");
      lots->InnerJoin(tree, "GoodT", "oTable.GoodCode = GoodT.Code AND GoodT.IsGroup = 0");
    }
    NamedValueList& f = lots->Fields();
    f.AddColumn("GoodCode", 7, "oTable.GoodCode");
    f.AddColumn("StoreId", 3, "Store.IDC");
    f.AddColumn("StoreCode", 7, "Store.Code");
    f.AddColumn("OrderInfo", 15, "LP.OrderInfo");
    f.AddColumn("Author", 30, "( " + mo->SqlText() + " )");
    f.AddColumn("Rest", 20, "oTable.RestAccount");
    f.AddColumn("RestSumma", 19,
                "ROUND(oTable.RestAccount * COALESCE(FixRest.CostSumm, 0) / "
                "COALESCE(FixRest.AmountAccount, 1), 2)");

    QueryPtr outer = Wrap(lots, "rl");
    outer->LeftJoin(None("REFPerson"), "Person", "rl.Author = Person.UserId", 1);
    outer->InnerJoin(None("REFGood"), "Good", "rl.GoodCode = Good.Code", 0);
    outer->InnerJoin(None("REFGoodUnit"), "GUnit",
                     "rl.GoodCode = GUnit.GoodCode AND GUnit.IsAccount = 1", 0);
    NamedValueList& o = outer->Fields();
    o.AddColumn("GoodCode", 7, "rl.GoodCode");
    o.AddColumn("Name", 16, "Good.Name");
    o.AddColumn("UnitCode", 7, "GUnit.UnitCode");
    o.AddColumn("StoreId", 3, "rl.StoreId");
    o.AddColumn("StoreCode", 7, "rl.StoreCode");
    o.AddColumn("OrderInfo", 15, "rl.OrderInfo");
    o.AddColumn("Author", 30, "rl.Author");
    o.AddColumn("Rest", 20, "rl.Rest");
    o.AddColumn("RestSumma", 19, "rl.RestSumma");
    o.AddColumn("Person", 15,
                "CAST(rl.Author AS VARCHAR(5)) + ' : ' + Person.FirstName + ' ' + Person.LastName");
    o.Item("Rest").SetAggregate(kAggregateSum);
    o.Item("RestSumma").SetAggregate(kAggregateSum);
    outer->OrderBy("GoodCode, StoreCode");
    outer->Parameters().KeepOnly({});
    outer->Parameters().Add("DateRest", 9, Variant(kToday));
    if (*s.group) outer->Parameters().Add("Node", 7, Variant(s.group));
    ExpectRuns(*outer, 10);
  }
}

struct BdkCase {
  bool write_off;  // CRepWriteOffBDK; else CRepGoodRestBDK
  const char* client;
  int32_t category;  // -1 for all
  bool only_fixed;
};

TEST_F(ReportQueryTest, RestAndWriteOffByCategory) {
  const BdkCase cases[] = {{false, "", -1, false},
                           {false, "C1", 0, false},
                           {true, "", -1, false},
                           {true, "C1", 2, true}};
  for (const BdkCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.write_off) + c.client + std::to_string(c.category));
    QueryPtr d = None("THDocument");
    QueryPtr gs = None("THGoodSpec");
    QueryPtr gs_a = None("THGoodSpec");
    QueryPtr g = None("REFGood");
    QueryPtr gu = None("REFGoodUnit");
    QueryPtr p = None("THPartyAttribute");
    d->SetAlias("d");
    gs->InnerJoin(g, "g", "gs.GoodCode = g.Code", 0);
    gs->InnerJoin(gu, "gu", "gs.GoodCode = gu.GoodCode AND gu.IsAccount = 1", 0);
    gs->InnerJoin(gs_a, "gsA", "gs.DocID = gsA.DocID AND gs.PosNumb = gsA.PosNumb", 0);
    if (c.write_off) {
      gs->InnerJoin(None("THDocument"), "FixD", "FixSpec.DocID = FixD.IDC", 0);
      gs->InnerJoin(None("THGoodSpec"), "FixSpec", "FixSpecL.OutcomeSpecID = FixSpec.IDC", 0);
      gs->LeftJoin(None("THGoodSpecFixLog"), "fixSpecL", "gs.IDC = FixSpecL.IncomeSpecID", 1);
    }
    std::string free_amount;
    if (!c.write_off) {
      DocSpecService service;
      service.Init(book_);
      free_amount = service.FreeAmountExpr(kEnd, "gs");
    }
    d->InnerJoin(gs, "gs", "d.IDC = gs.DocID", 0);
    d->AddWhere(T().JoinConditions(
        1,
        {T().ColumnCondition("d.DocTypeCode", 7, 1, Variant("PISF")),
         T().ColumnCondition("d.IsPosted", 14, 1, L(1)),
         c.write_off ? T().ColumnCondition("d.DocumentDate", 9, 105, Variant(kBeg), Variant(kEnd))
                     : T().ColumnCondition("d.DocumentDate", 9, 3, Variant(kEnd)),
         T().ColumnCondition("g.Category", 1, 1, L(0))}));
    if (*c.client) {
      d->InnerJoin(p, "p",
                   "d.IDC = p.DocID AND p.RolePartyCode = " + T().SqlValue(Variant("PAR"), 7), 0);
      d->AddWhere(T().JoinConditions(
          1, {d->WhereText(), T().ColumnCondition("p.PartyCode", 7, 1, Variant(c.client))}));
    }
    if (c.write_off && c.only_fixed) {
      d->AddWhere(T().JoinConditions(
          1, {d->WhereText(), T().ColumnCondition("FixSpecL.IDC", 2, 6, Variant::Null())}));
    }
    if (c.category >= 0) {
      d->AddWhere(T().JoinConditions(
          1, {d->WhereText(), T().ColumnCondition("gs.FixCategory", 1, 1, L(c.category))}));
    }
    NamedValueList& f = d->Fields();
    f.AddColumn("IDC", 2, "D.IDC");
    f.AddColumn("SpecID", 2, "gs.IDC");
    f.AddColumn("DocumentDate", 9, "D.DocumentDate");
    f.AddColumn("Number", 7, "D.Number");
    f.AddColumn("DocCode", 15, "CONVERT(CHAR(10),D.DocumentDate,102)+':'+D.Number");
    f.AddColumn("GoodCode", 7, "gs.GoodCode");
    f.AddColumn("GoodName", 16, "g.Name");
    f.AddColumn("AmountAccount", 20, "gs.AmountAccount");
    f.AddColumn("AccUnitCode", 7, "gu.UnitCode");
    f.AddColumn("Price", 24, "ROUND(COALESCE((gs.Summa - gsA.SummVAT)/ NullIF(gs.Amount,0),0),4)");
    f.AddColumn("CurrencyCode", 7, "d.CurrencyCode");
    if (c.write_off) {
      f.AddColumn("FixAmount", 20, "FixSpecL.Amount");
      f.AddColumn("FixDocCode", 15,
                  "FixD.DocTypeCode+':'+CONVERT(CHAR(10),FixD.DocumentDate,102)+':'+FixD.Number");
      f.AddColumn("FixDocDate", 10, "FixD.DocumentDate");
    } else {
      f.AddColumn("FreeAmount", 20, free_amount);
    }
    QueryPtr w = Wrap(d, d->Alias());
    w->Fields().Exclude({"SpecID"});
    w->Fields().Item(c.write_off ? "FixAmount" : "FreeAmount").SetAggregate(kAggregateSum);
    if (!c.write_off) {
      w->AddWhere(T().ColumnCondition("FreeAmount", 20, 6, L(0)));
      w->OrderBy("D.DocumentDate, D.Number");
    } else {
      w->OrderBy("D.DocumentDate, D.Number, FixDocDate");
    }
    ExpectRuns(*w, c.write_off ? 13 : 11);
  }
}

TEST_F(ReportQueryTest, WriteOffSummary) {
  QueryPtr d = Q("THDocument");
  QueryPtr spec = Q("THGoodSpec");
  QueryPtr pisf = Q("THGoodSpecPISF");
  QueryPtr good = Q("REFGood");
  d->AddWhere(T().JoinConditions(
      1, {T().Condition(d->Fields().Item("DocTypeCode"), 1, Variant("PISF")),
          T().Condition(d->Fields().Item("DocumentDate"), 105, Variant(kBeg), Variant(kEnd)),
          T().Condition(d->Fields().Item("IsPosted"), 1, L(1)),
          T().ColumnCondition("Good.Category", 1, 1, L(3))}));
  d->Fields().KeepOnly({"Number", "DocumentDate"});
  for (const QueryPtr& q : {spec, pisf, good}) q->Fields().KeepOnly({});
  d->InnerJoin(spec, "Spec", "oTable.IDC = Spec.DocId", 0);
  d->InnerJoin(pisf, "SpecPISF", "Spec.DocId = SpecPISF.DocId AND Spec.PosNumb = SpecPISF.PosNumb",
               0);
  d->InnerJoin(good, "Good", "Spec.GoodCode = Good.Code", 0);
  CurrencyTools currency;
  currency.Init(book_);
  currency.AddRateJoin(d, "oTable.CurrencyCode", "oTable.DocumentDate", "", "", true, false);
  d->Fields().AddColumn("GoodName", 16, "Good.Name");
  d->Fields().AddColumn("Amount", 20, "Spec.Amount");
  d->Fields().AddColumn("UnitCode", 7, "Spec.UnitCode");
  d->Fields().AddColumn(
      "Summa", 19,
      currency.ConvertExpr("oTable", "(Spec.Summa - SpecPISF.SummVAT)", "CurrencyCode"));
  d->Fields().AddColumn("Comment", 15, "SpecPISF.Comment");
  d->OrderBy("oTable.DocumentDate, Good.Name");
  ExpectRuns(*d, d->OutputNames().size());
  EXPECT_EQ(d->OutputNames().at(6), "Comment");
}

}  // namespace
}  // namespace qts::host
