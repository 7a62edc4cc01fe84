// Every SQL fragment and query construction the system's engine, handlers, packaging
// computation and reports write runs on a book of the real schema: the fragments as the
// smallest statements that use them the way the system does, the constructions through the
// query builder with the same calls, aliases and kinds. Each is opened on an empty book
// (SQLite) and translated for PostgreSQL.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "db/connection.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/data/testing/empty_book.h"
#include "host/data/testing/sample_book.h"
#include "host/services/vehicle.h"
#include "sql/sql_error.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

using testing::EmptyBook;
using testing::kBeg;
using testing::kCode;
using testing::kEnd;
using testing::kToday;
using testing::L;
using testing::T;

// --- Fragments in the smallest statement that uses them ---------------------------------------

struct Fragment {
  const char* name;
  std::string tsql;
};

class SystemFragmentTest : public EmptyBook, public ::testing::WithParamInterface<Fragment> {};

TEST_P(SystemFragmentTest, TranslatesForBothBackendsAndRunsOnAnEmptyBook) {
  const std::string& tsql = GetParam().tsql;
  try {
    db::StatementHandle s = book_->Connection().Prepare(
        sql::Translate(tsql, book_->Catalogue(), sql::Dialect::kSqlite));
    EXPECT_FALSE(s->Step());
    EXPECT_FALSE(sql::Translate(tsql, book_->Catalogue(), sql::Dialect::kPostgres).empty());
  } catch (const Error& e) {
    ADD_FAILURE() << e.Description() << "\n" << tsql;
  }
}

const std::string kVatList = "'10', '20'";  // ValueList(7, {"10", "20"})
const std::string kTKoef =
    "(CASE UPPER(gu.UnitWeightCode) WHEN 'G'  THEN 1000000  WHEN 'KG' THEN 1000  WHEN 'T'  THEN 1"
    " ELSE NULL END)";
const std::string kUnion =
    "(SELECT gs.Amount AS Amount, gu.Weight AS Weight, gu.GrossWeight AS GrossWeight, " + kTKoef +
    " AS TKoef, dPISF.VATDirection AS OutVATDirection, dPISF.VATDirection AS IncVATDirection"
    " FROM THGoodSpec gs INNER JOIN REFGoodUnit gu ON gs.GoodCode = gu.GoodCode"
    " LEFT JOIN PISFTHDocument dPISF ON gs.DocID = dPISF.DocID) D";

INSTANTIATE_TEST_SUITE_P(
    Engine, SystemFragmentTest,
    ::testing::Values(
        // The document found for an order through the document object itself.
        Fragment{"order_document_by_find_where",
                 "SELECT oTable.IDC FROM THDocument oTable WHERE ParentID = 5 AND DocTypeCode = "
                 "'MMO'"},
        // The first fixed-asset object of an equipment item, exactly as the engine writes it
        // (the unqualified EqCode is the subquery's own column).
        Fragment{"first_fixed_asset_object",
                 "SELECT oTable.FACode FROM MFEqFAObject oTable WHERE oTable.IDC = ( select top 1 "
                 "idc from B$mfeqfaobject f where EqCode = f.EqCode order by f.UseTime )"},
        Fragment{"fix_log_rows_of_a_written_row",
                 "SELECT oTable.IDC FROM THGoodSpecFixLog oTable WHERE OutcomeSpecID = 9"}),
    [](const ::testing::TestParamInfo<Fragment>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Packaging, SystemFragmentTest,
    ::testing::Values(
        Fragment{"material_weight",
                 "SELECT ROUND(COALESCE((D.Amount * D.Weight) / TKoef,0),4) AS W FROM " + kUnion},
        Fragment{"packaging_weight",
                 "SELECT ROUND(COALESCE(D.Amount * (D.GrossWeight - D.Weight) / TKoef,0),4) AS W "
                 "FROM " +
                     kUnion},
        Fragment{"vat_conditions", "SELECT D.Amount FROM " + kUnion +
                                       " WHERE (NOT D.OutVATDirection IN(" + kVatList +
                                       " )) AND (D.IncVATDirection IN(" + kVatList +
                                       " )) OR (NOT D.IncVATDirection IN(" + kVatList + " ))"},
        Fragment{"purchase_amount",
                 "SELECT (CASE WHEN DT.IsIncome = 1 THEN  (CASE WHEN "
                 "COALESCE(dPISF.VATDirection,'') IN(" +
                     kVatList +
                     " ,'') THEN gs.Amount ELSE 0 END) ELSE -gs.Amount END) AS Amount"
                     " FROM THDocument D INNER JOIN THGoodSpec gs ON gs.DocID = D.IDC"
                     " INNER JOIN THDocType DT ON DT.Code = D.DocTypeCode"
                     " LEFT JOIN PISFTHDocument dPISF ON gs.DocID = dPISF.DocID"},
        Fragment{"declaration_rows_with_some_amount",
                 "SELECT D.Amount FROM " + kUnion +
                     " WHERE COALESCE(NULLIf(D.Amount,0), NULLIf(D.Weight,0), 0) <> 0 "}),
    [](const ::testing::TestParamInfo<Fragment>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Reports, SystemFragmentTest,
    ::testing::Values(
        Fragment{"ordered_minus_spent",
                 "SELECT Main.AmountAccount - COALESCE(PRSF.AmountAccount, 0) AS Amount"
                 " FROM THGoodContent Main LEFT JOIN THGoodContent PRSF"
                 " ON Main.SpecID = PRSF.SpecID"},
        Fragment{"order_document_types",
                 "SELECT SpecOrd.IDC FROM THGoodSpec SpecOrd INNER JOIN THDocument DocOrd"
                 " ON SpecOrd.DocId = DocOrd.IDC AND DocOrd.DocTypeCode IN ('PIS', 'POD')"},
        Fragment{"person_without_coalesce",
                 "SELECT CAST(rl.Author AS VARCHAR(5)) + ' : ' + Person.FirstName + ' ' + "
                 "Person.LastName AS Person FROM THDocument rl LEFT JOIN REFPerson Person"
                 " ON rl.Author = Person.UserId"},
        Fragment{"order_reference_present",
                 "SELECT LP.IDC FROM STLotProperty LP WHERE (LP.OrderInfo IS NOT NULL) AND "
                 "(LP.OrderInfo <> '')"}),
    [](const ::testing::TestParamInfo<Fragment>& info) { return info.param.name; });

}  // namespace
}  // namespace qts::host

namespace qts::host {
namespace {

// --- Material document engine ------------------------------------------------------------------

class EngineQueryTest : public EmptyBook {
 protected:
  // The order's rows with the operations of their products' assembly charts.
  QueryPtr OrderRows(int32_t spec_id, bool single) {
    QueryPtr q = Q("THGoodSpec");
    q->AddWhere(T().Condition(q->Fields().Item("DocID"), 1, L(7)));
    if (spec_id != 0) {
      std::string c = T().Condition(q->Fields().Item("IDC"), single ? 1 : 5, L(spec_id));
      q->AddWhere(q->WhereText() + " and " + c);
    }
    q->Fields().KeepOnly({"GoodCode", "UnitCode", "IDC"});
    QueryPtr c = Q("MFAssemblyChart");
    c->Fields().KeepOnly({"AssCode"});
    q->InnerJoin(c, "OpList", "oTable.GoodCode = OpList.GoodCode");
    return q;
  }
  QueryPtr Equipment() {
    QueryPtr e = Q("MFACEquipment");
    e->Fields().KeepOnly({"EqCode", "DirectCost", "InDirectCost"});
    return e;
  }
};

TEST_F(EngineQueryTest, LabourOfTheOrderOperations) {
  for (auto [spec_id, single] : {std::pair{0, false}, {12, true}, {12, false}}) {
    SCOPED_TRACE(spec_id);
    SCOPED_TRACE(single);
    QueryPtr q = OrderRows(spec_id, single);
    QueryPtr l = Q("MFACLabour");
    l->Fields().KeepOnly({"WorkKind", "Rate", "IsOnTimeRate", "NormTime", "AmountForRate",
                          "DirectCost", "InDirectCost"});
    q->InnerJoin(l, "Labor", "OpList.IDC = Labor.AssId");
    QueryPtr u = Q("RefGoodUnit");
    u->AddWhere(T().Condition(u->Fields().Item("IsAccount"), 1, L(1)));
    u->Fields().KeepOnly({"UnitCode"});
    q->InnerJoin(u, "LGUnit", "Labor.WorkKind = LGUnit.GoodCode");
    q->Fields().AddColumn("Amount", 20, "oTable.Amount").SetAggregate(kAggregateSum);
    q->Fields().AddColumn("AmountAccount", 20, "oTable.AmountAccount").SetAggregate(kAggregateSum);
    ExpectRuns(*q, 14);
    EXPECT_TRUE(q->Fields().ExistsField("LGUnit.UnitCode"));
    EXPECT_TRUE(q->Fields().ExistsField("Labor.AmountForRate"));
  }
}

TEST_F(EngineQueryTest, EquipmentCosts) {
  QueryPtr q = OrderRows(0, false);
  QueryPtr k = Q("MFEquipment");
  k->Fields().KeepOnly({});
  q->Fields().AddColumn("Amount", 20, "oTable.Amount").SetAggregate(kAggregateSum);
  q->InnerJoin(Equipment(), "EquipList", "OpList.IDC = EquipList.AssId");
  q->Fields().AddColumn("UseTime", 20, "EquipList.UseTime").SetAggregate(kAggregateSum);
  q->InnerJoin(k, "EqCost", "EquipList.EqCode = EqCost.Code");
  q->Fields().AddColumn("AmountForDRate", 20, "EqCost.Amount").SetAggregate(kAggregateSum);
  q->Fields().AddColumn("DeprecSum", 19, "EqCost.DeprecSum").SetAggregate(kAggregateSum);
  ExpectRuns(*q, 11);
}

TEST_F(EngineQueryTest, EquipmentWithTheFirstFixedAssetObject) {
  QueryPtr q = OrderRows(12, false);
  QueryPtr f = Q("MFEqFAObject");
  f->Fields().Exclude({"FAName"});
  f->AddWhere(T().Condition(
      f->Fields().Item("IDC"), 1,
      Variant("( select top 1 idc from " + CStr(book_->Settings().Item("Code").Value()) +
              "$mfeqfaobject f where EqCode = f.EqCode order by f.UseTime )")));
  q->InnerJoin(Equipment(), "EquipList", "OpList.IDC = EquipList.AssId");
  q->LeftJoin(f, "EqFa", "EquipList.EqCode = EqFa.EqCode");
  q->Fields().AddColumn("Amount", 20, "oTable.Amount");
  q->Fields().AddColumn("FACode", 8, "EqFa.FACode");
  q->Fields().AddColumn("UseTime", 20, "EqFa.UseTime");
  ExpectRuns(*q, 14);
}

TEST_F(EngineQueryTest, PricesFromStockOrders) {
  QueryPtr q = Q("THGoodSpec");
  q->AddWhere(T().Condition(q->Fields().Item("DocID"), 1, L(3)));
  QueryPtr o = Q("STOrderSpec");
  q->Fields().KeepOnly({"IDC"});
  o->Fields().KeepOnly({"Price"});
  q->InnerJoin(o, "OSpec", "oTable.IDC = OSpec.srcSpecID");
  ExpectRuns(*q, 2);
  EXPECT_TRUE(q->Fields().ExistsField("OSpec.Price"));
}

TEST_F(EngineQueryTest, WriteOffPricesForEveryTypeTheEngineServes) {
  for (const char* type : {"MMO", "MKO", "MFC"}) {
    SCOPED_TRACE(type);
    QueryPtr q = Q("THGoodSpec");
    QueryPtr a = Q(std::string(type) + "THGoodSpec");
    std::string c1 = T().ColumnCondition("G.Category", 1, 1, Variant(int16_t{0}));
    std::string c2 = T().Condition(q->Fields().Item("DocID"), 1, L(3));
    q->AddWhere(T().JoinConditions(1, {c1, c2}));
    q->InnerJoin(a, "AddFld", "oTable.DocID = AddFld.DocID and oTable.PosNumb = AddFld.PosNumb");
    ExpectRuns(*q, q->OutputNames().size());
    EXPECT_TRUE(q->Fields().ExistsField("AddFld.PosNumb"));
  }
}

// --- Fuel write-off ----------------------------------------------------------------------------

using FuelQueryTest = EmptyBook;

TEST_F(FuelQueryTest, ExistingWriteOffOfTheParent) {
  QueryPtr q = Q("THDocument");
  QueryPtr sp = Q("THGoodSpec");
  QueryPtr st = Q("STStore");
  sp->Fields().KeepOnly({});
  st->Fields().KeepOnly({});
  q->LeftJoin(sp, "sp", "oTable.IDC = sp.DocID", kJoinLeftOuter);
  q->LeftJoin(st, "st", "oTable.StoreCode = st.Code", kJoinLeftOuter);
  q->AddWhere(T().JoinConditions(
      1, {T().ColumnCondition("oTable.ParentID", 2, 1, L(5)),
          T().ColumnCondition("oTable.DocTypeCode", 7, 1, Variant("MMO")),
          T().ColumnCondition("COALESCE(st.StoreKind,'')", 7, 1, Variant("ABKR"))}));
  q->Fields().KeepOnly({});
  q->Fields().AddColumn("DocID", 2, "oTable.IDC");
  q->Fields().AddColumn("SpecID", 4, "sp.IDC");
  q->SetTop(1);
  ExpectRuns(*q, 2);
}

// The rest and income lists of a vehicle take the kind filter and the handler's narrower
// filters as result filters, written by Condition on the lists' own columns.
TEST_F(FuelQueryTest, KindAndRestFiltersOnTheVehicleLists) {
  book_->Connection().Execute(
      "INSERT INTO \"B$REFVehicle\"(\"Code\",\"Name\",\"LotPropertyID\") VALUES ('V1','Car',1)");
  Vehicle vehicle;
  vehicle.Init(book_);
  ASSERT_TRUE(vehicle.Load("V1"));
  auto kind_filter = [](Query& list, int32_t kind) {
    return kind == 100 ? T().Condition(list.Fields().Item("SubCategory"), 6, L(101))
                       : T().Condition(list.Fields().Item("SubCategory"), 1, L(kind));
  };
  for (int32_t kind : {100, 101}) {
    SCOPED_TRACE(kind);
    QueryPtr rest = vehicle.RestList(kVehicleRestFuelAndGas, "", "", -1);
    QueryPtr since = vehicle.IncomeSince(kBeg, 5);
    QueryPtr income = vehicle.IncomeList();
    for (const QueryPtr& list : {rest, since, income}) {
      try {
        list->AddResultFilter(kind_filter(*list, kind));
        list->Open();
        EXPECT_EQ(list->RecordCount(), 0);
      } catch (const Error& e) {
        ADD_FAILURE() << e.Description();
      }
    }
    try {
      rest->AddResultFilter(
          T().JoinConditions(1, {kind_filter(*rest, kind),
                                 T().Condition(rest->Fields().Item("GoodCode"), 1, Variant("F1")),
                                 T().Condition(rest->Fields().Item("CalcRestAccount"), 4, L(0))}));
      for (const QueryPtr& list : {since, income}) {
        list->AddResultFilter(T().JoinConditions(
            1, {kind_filter(*list, kind), T().Condition(list->Fields().Item("RestAmount"), 4, L(0)),
                T().Condition(list->Fields().Item("GoodCode"), 1, Variant("F1")),
                T().Condition(list->Fields().Item("Client"), 1, Variant("C1")),
                T().Condition(list->Fields().Item("CountryCode"), 1, Variant("LT"))}));
        EXPECT_EQ(list->RecordCount(), 0);
      }
    } catch (const Error& e) {
      ADD_FAILURE() << e.Description();
    }
  }
}

}  // namespace
}  // namespace qts::host

namespace qts::host {
namespace {

// --- Hostile values ----------------------------------------------------------------------------

using HostileInputTest = EmptyBook;

// Texts that try to leave their literal, as values of every kind class the system passes to
// SqlValue and ValueList, inside the places the system pastes them (an equality, an IN list,
// a join condition): each statement still runs, finds nothing, and the book keeps its rows.
TEST_F(HostileInputTest, ValuesStayLiteralsWhereverTheSystemPastesThem) {
  book_->Connection().Execute(
      "INSERT INTO \"B$STStore\"(\"Code\",\"Name\",\"StoreKind\") VALUES ('S1','Main','ST')");
  const std::vector<std::string> hostile = {
      "x'; DELETE FROM \"B$STStore\"; --",
      "' OR ''='",
      "10') OR ('1'='1",
      "/* */ S1",
      "S1'--",
      "a;b",
      std::string(70000, '\'') + ";",
      std::string(50000, 'x') + "' OR 1=1 --",
  };
  for (const std::string& text : hostile) {
    SCOPED_TRACE(text.substr(0, 30));
    const int64_t stores = Count("STStore");
    const int64_t types = Count("THDocType");
    // Equality on a code column.
    QueryPtr q = Q("STStore");
    q->Fields().KeepOnly({"Code"});
    q->AddWhere(T().Condition(q->Fields().Item("Code"), 1, Variant(text)));
    ExpectRuns(*q, 1);
    // A literal list, as the packaging VAT directions.
    QueryPtr in = Q("PISFTHDocument");
    in->Fields().KeepOnly({"DocID"});
    in->AddWhere("COALESCE(oTable.VATDirection,'') IN(" +
                 T().ValueList(7, {Variant("10"), Variant(text), Variant("20")}) + ")");
    ExpectRuns(*in, 1);
    // A literal inside a join condition, as the supplier role.
    QueryPtr d = Q("THDocument");
    d->Fields().KeepOnly({"IDC"});
    QueryPtr p = Q("THPartyAttribute");
    p->Fields().KeepOnly({});
    d->InnerJoin(p, "p",
                 "oTable.IDC = p.DocID AND p.RolePartyCode = " + T().SqlValue(Variant(text), 7));
    ExpectRuns(*d, 1);
    // A number or date kind never takes such a text.
    EXPECT_THROW((void)T().SqlValue(Variant(text), 3), Error);
    EXPECT_THROW((void)T().SqlValue(Variant(text), 20), Error);
    EXPECT_THROW((void)T().SqlValue(Variant(text), 9), Error);
    EXPECT_EQ(Count("STStore"), stores);
    EXPECT_EQ(Count("THDocType"), types);
  }
  // The store itself is still found by its own code.
  QueryPtr q = Q("STStore");
  q->Fields().KeepOnly({"Code"});
  q->AddWhere(T().Condition(q->Fields().Item("Code"), 1, Variant("S1")));
  q->Open();
  EXPECT_EQ(q->RecordCount(), 1);
}

// A selection text pasted into an IN list must read as literals; anything else is refused
// before it reaches a query, naming the selection, and the query keeps its condition.
TEST_F(HostileInputTest, SelectionThatIsNotAListOfLiteralsIsRefused) {
  const char* bad[] = {
      "'S1') OR ('1'='1",
      "'S1'; DELETE FROM \"B$STStore\"",
      "'S1' -- x",
      "'S1' /* */",
      "(SELECT Code FROM STStore)",
      "S1",
      "'S1' OR 1=1",
      "'S1',",
      "1 UNION SELECT 1",
      "'S1','S2'  ;",
      "",
  };
  for (const char* selection : bad) {
    SCOPED_TRACE(selection);
    QueryPtr q = Q("STStore");
    q->AddWhere(T().Condition(q->Fields().Item("Name"), 6, Variant("x")));
    const std::string before = q->WhereText();
    try {
      q->AddWhere(T().JoinConditions(
          1, {q->WhereText(), T().Condition(q->Fields().Item("Code"), 8, Variant(selection))}));
      FAIL() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrInvalidCall);
      EXPECT_NE(e.Description().find("selection"), std::string::npos) << e.Description();
    }
    EXPECT_EQ(q->WhereText(), before);
  }
  // A long list of quoted codes, quotes doubled inside, is fine.
  std::string many;
  for (int i = 0; i < 2000; ++i) many += (i ? ",'S" : "'S") + std::to_string(i) + "''x'";
  QueryPtr q = Q("STStore");
  q->Fields().KeepOnly({"Code"});
  q->AddWhere(T().Condition(q->Fields().Item("Code"), 8, Variant(many)));
  ExpectRuns(*q, 1);
}

}  // namespace
}  // namespace qts::host

namespace qts::host {
namespace {

// --- Builder rules the constructions above rely on -------------------------------------------

using BuilderRuleTest = testing::SampleBook;
using testing::RowList;

// The fuel write-off filters its rest lists with Condition on the lists' own columns, which
// carry SQL expressions; the filter works on the finished rows by column name.
TEST_F(BuilderRuleTest, ResultFilterWrittenOnOwnColumnsReadsThemByName) {
  struct Case {
    const char* name;
    std::function<std::string(NamedValueList&)> filter;
    RowList ids;
  };
  const std::vector<Case> cases = {
      {"expression_of_a_joined_alias",
       [](NamedValueList& f) { return T().Condition(f.Item("Category"), 1, L(1)); },
       {{"12"}}},
      {"not_equal",
       [](NamedValueList& f) { return T().Condition(f.Item("Category"), 6, L(1)); },
       {{"11"}, {"21"}, {"31"}, {"41"}}},
      // A computed column; the constant column "Zero" must not take the place of the value 0.
      {"computed_beside_a_constant",
       [](NamedValueList& f) {
         return T().JoinConditions(1, {T().Condition(f.Item("Free"), 4, L(0)),
                                       T().Condition(f.Item("Category"), 1, L(0))});
       },
       {{"11"}, {"21"}, {"31"}, {"41"}}},
      {"computed",
       [](NamedValueList& f) { return T().Condition(f.Item("Free"), 4, L(5)); },
       {{"11"}, {"41"}}},
      // The expression's text inside a literal is a value, not the column.
      {"expression_text_in_a_literal",
       [](NamedValueList& f) {
         return T().Condition(f.Item("Code"), 6, Variant("oTable.GoodCode"));
       },
       {{"11"}, {"12"}, {"21"}, {"31"}, {"41"}}},
      {"names_stay_names",
       [](NamedValueList&) { return std::string("Code = 'G1' AND Free > 2"); },
       {{"11"}, {"21"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QueryPtr q = Q("THGoodSpec");
    q->Fields().KeepOnly({"IDC"});
    q->Fields().AddColumn("Category", 1, "G.Category");
    q->Fields().AddColumn("Free", 20, "ROUND(oTable.AmountAccount - 1, 4)");
    q->Fields().AddColumn("Zero", 20, "0");
    q->Fields().AddColumn("Code", 7, "oTable.GoodCode");
    q->OrderBy("IDC");
    try {
      q->Open();
      q->AddResultFilter(c.filter(q->Fields()));
      RowList ids;
      for (const auto& row : Rows(*q)) ids.push_back({row.front()});
      EXPECT_EQ(ids, c.ids);
    } catch (const Error& e) {
      ADD_FAILURE() << e.Description();
    }
  }
}

// A query joined as a derived table (here grouped) adds no result columns: the outer query's
// columns, its grouping and a union's alignment are its own.
TEST_F(BuilderRuleTest, DerivedTableJoinAddsNoResultColumns) {
  QueryPtr spent = Q("THGoodSpec");
  spent->Fields().KeepOnly({"DocID"});
  spent->Fields().AddColumn("Amount", 20, "oTable.AmountAccount").SetAggregate(kAggregateSum);
  QueryPtr docs = Q("THDocument");
  docs->Fields().KeepOnly({"Number"});
  docs->LeftJoin(spent, "S", "oTable.IDC = S.DocID", kJoinLeftOuter);
  docs->Fields().AddColumn("Total", 20, "COALESCE(S.Amount, 0)").SetAggregate(kAggregateSum);
  EXPECT_EQ(docs->OutputNames(), (std::vector<std::string>{"Number", "Total"}));
  docs->OrderBy("Number");
  EXPECT_EQ(OpenRows(*docs), (RowList{{"P1", "15"}, {"P2", "4"}, {"P3", "7"}, {"W1", "3"}}));
  // A merged (plain) join still shows its kept columns.
  QueryPtr merged = Q("THDocument");
  merged->Fields().KeepOnly({"Number"});
  QueryPtr rows = Q("THGoodSpec");
  rows->Fields().KeepOnly({"GoodCode"});
  merged->InnerJoin(rows, "R", "oTable.IDC = R.DocID");
  EXPECT_EQ(merged->OutputNames(), (std::vector<std::string>{"Number", "R.GoodCode"}));
}

}  // namespace
}  // namespace qts::host
