#include "host/data/query.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/app_context.h"
#include "host/data/sql_tools.h"
#include "host/data/testing/sample_book.h"
#include "host/schema/testing/seed.h"
#include "sql/sql_error.h"

namespace qts::host {
namespace {

using testing::RowList;
using testing::SampleBook;

SqlTools& Tools() { return *SqlTools::Instance(); }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// --- Columns and reading -------------------------------------------------------------------

using QueryColumnsTest = SampleBook;

TEST_F(QueryColumnsTest, DefaultColumnsAreTheSourceColumnsUnderOTable) {
  QueryPtr q = Q("REFGoodUnit");
  EXPECT_EQ(q->Alias(), "oTable");
  std::vector<std::string> names;
  for (const NamedValuePtr& f : q->Fields().Entries()) names.push_back(f->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"IDC", "GoodCode", "UnitCode", "Rate", "IsAccount",
                                             "Weight", "GrossWeight", "UnitWeightCode",
                                             "PackMaterialKind", "PackType", "IsReusable"}));
  EXPECT_EQ(q->Fields().Item("GoodCode").Expression(), "oTable.GoodCode");
}

TEST_F(QueryColumnsTest, UnknownSourceIsRefusedByName) {
  EXPECT_QTS_ERROR_TEXT(Q("NoSuchTable"), kErrInvalidCall, "NoSuchTable");
}

TEST_F(QueryColumnsTest, ValuesAreReadByColumnType) {
  QueryPtr q = Q("THGoodSpec");
  q->Fields().KeepOnly({"IDC", "GoodCode", "AmountAccount", "BOperCode"});
  q->Fields().AddColumn("When", Kind::kDate, "d.DocumentDate");
  q->InnerJoin(Q("THDocument"), "d", "d.IDC = oTable.DocID");
  q->AddWhere(Tools().Condition(q->Fields().Item("IDC"), 1, Variant(int32_t{11})));
  q->Open();
  ASSERT_EQ(q->RecordCount(), 1);
  NamedValueList& row = q->Fields();
  EXPECT_EQ(row.Item("IDC").Value().Type(), VarType::kLong);
  EXPECT_EQ(row.Item("IDC").Value().AsLong(), 11);
  EXPECT_EQ(row.Item("GoodCode").Value().AsString(), "G1");
  EXPECT_EQ(row.Item("AmountAccount").Value().Type(), VarType::kCurrency);
  EXPECT_EQ(row.Item("AmountAccount").Value().AsCurrency(), Currency::FromLong(10));
  EXPECT_TRUE(row.Item("BOperCode").Value().IsNull());
  EXPECT_EQ(row.Item("When").Value().AsDate(), Date::FromYmd(2026, 1, 10));
  EXPECT_EQ(row.Item("d.Number").Value().AsString(), "P1");
}

// The kinds a query declares travel with its rows, so that whoever prints them formats and
// totals each column by what the report said it is, not by its name or storage type.
TEST_F(QueryColumnsTest, RowsCarryTheDeclaredKinds) {
  QueryPtr q = Q("THGoodSpec");
  q->Fields().KeepOnly({"IDC", "GoodCode"});
  q->Fields().AddColumn("Summa", Kind::kMoney, "oTable.Summa");
  q->Fields().AddColumn("Free", Kind::kQuantity, "oTable.AmountAccount");
  q->Fields().AddColumn("Price", Kind::kPrice, "oTable.Summa / 2");
  q->Fields().AddColumn("Author", Kind::kUser, "oTable.IDC");
  QueryPtr more = Q("THGoodSpec");
  more->Fields().KeepOnly({"IDC", "GoodCode"});
  for (const char* name : {"A", "B", "C", "D"}) more->Fields().AddColumn(name, 15, "NULL");
  q->Union(more, "U");
  q->Open();
  RecordsetPtr rs = q->OpenRecordset();
  std::vector<int32_t> kinds;
  for (size_t i = 0; i < rs->Fields().Count(); ++i) kinds.push_back(rs->Fields().Item(i).Kind());
  // Catalogue columns by their type; a union's columns are its first part's.
  EXPECT_EQ(kinds,
            (std::vector<int32_t>{Code(Kind::kLongId), Code(Kind::kText), Code(Kind::kMoney),
                                  Code(Kind::kQuantity), Code(Kind::kPrice), Code(Kind::kUser)}));
  EXPECT_EQ(rs->Clone()->Fields().Item("Free").Kind(), Code(Kind::kQuantity));
}

}  // namespace
}  // namespace qts::host

namespace qts::host {
namespace {

// --- Joins -----------------------------------------------------------------------------------

using QueryJoinTest = SampleBook;

// The write-off pricing rows: the rows of one document with their additional fields joined as
// "AddFld", restricted by a condition on the item catalogue under the alias "G".
TEST_F(QueryJoinTest, AdditionalFieldsJoinedAsAddFldAppearAsAliasDotColumn) {
  QueryPtr q = Q("THGoodSpec");
  QueryPtr a = Q("MMOTHGoodSpec");
  q->AddWhere(Tools().JoinConditions(
      1, {Tools().ColumnCondition("G.Category", Kind::kCategory, 1, Variant(int32_t{0})),
          Tools().Condition(q->Fields().Item("DocID"), 1, Variant(int32_t{3}))}));
  q->InnerJoin(a, "AddFld", "oTable.DocID = AddFld.DocID and oTable.PosNumb = AddFld.PosNumb");
  q->Open();
  ASSERT_EQ(q->RecordCount(), 1);
  EXPECT_EQ(q->Fields().Item("IDC").Value().AsLong(), 31);
  EXPECT_EQ(q->Fields().Item("AddFld.WriteOffPrice").Value().AsCurrency(),
            Currency::FromScaled(125000));
  EXPECT_TRUE(q->Fields().ExistsField("AddFld.PosNumb"));
  EXPECT_EQ(q->OpenRecordset()->Fields().Item("AddFld.WriteOffPrice").Type(), adCurrency);
}

// A joined query's own condition and column choice: the accounting unit of each row.
TEST_F(QueryJoinTest, JoinedQueryKeepsItsOwnConditionInnerAndOuter) {
  for (int32_t kind : {kJoinInner, kJoinLeftOuter}) {
    SCOPED_TRACE(kind);
    QueryPtr q = Q("THGoodSpec");
    q->Fields().KeepOnly({"IDC"});
    QueryPtr u = Q("RefGoodUnit");
    u->AddWhere(Tools().Condition(u->Fields().Item("IsAccount"), 1, Variant(int32_t{1})));
    u->Fields().KeepOnly({"UnitCode"});
    q->InnerJoin(u, "LGUnit", "oTable.GoodCode = LGUnit.GoodCode", kind);
    q->OrderBy("IDC");
    EXPECT_EQ(OpenRows(*q),
              (RowList{{"11", "KG"}, {"12", "VNT"}, {"21", "KG"}, {"31", "KG"}, {"41", "L"}}));
  }
  // A left join whose query matches nothing keeps every row, with Null columns.
  QueryPtr q = Q("THGoodSpec");
  q->Fields().KeepOnly({"IDC"});
  QueryPtr u = Q("RefGoodUnit");
  u->AddWhere(Tools().Condition(u->Fields().Item("UnitCode"), 1, Variant("T")));
  u->AddWhere(Tools().Condition(u->Fields().Item("IsAccount"), 1, Variant(int32_t{1})));
  u->Fields().KeepOnly({"UnitCode"});
  q->LeftJoin(u, "LGUnit", "oTable.GoodCode = LGUnit.GoodCode", kJoinLeftOuter);
  q->OrderBy("IDC");
  EXPECT_EQ(OpenRows(*q), (RowList{{"11", ""}, {"12", ""}, {"21", ""}, {"31", ""}, {"41", ""}}));
}

// Receipt rows with the write-offs made from them: the joins of the rows query name aliases
// joined after them, and the consuming row and document hang below an outer join.
TEST_F(QueryJoinTest, JoinsAreOrderedByWhatTheyNameAndNestUnderOuterJoins) {
  QueryPtr d = Q("THDocument");
  QueryPtr gs = Q("THGoodSpec");
  QueryPtr fix_d = Q("THDocument");
  QueryPtr fix_spec = Q("THGoodSpec");
  QueryPtr fix_log = Q("THGoodSpecFixLog");
  for (const QueryPtr& q : {d, gs, fix_d, fix_spec, fix_log}) q->Fields().KeepOnly({});
  d->SetAlias("d");
  gs->InnerJoin(fix_d, "FixD", "FixSpec.DocID = FixD.IDC", kJoinInner);
  gs->InnerJoin(fix_spec, "FixSpec", "FixSpecL.OutcomeSpecID = FixSpec.IDC", kJoinInner);
  gs->LeftJoin(fix_log, "fixSpecL", "gs.IDC = FixSpecL.IncomeSpecID", kJoinLeftOuter);
  d->InnerJoin(gs, "gs", "d.IDC = gs.DocID");
  d->AddWhere(Tools().JoinConditions(
      1, {Tools().ColumnCondition("d.DocTypeCode", Kind::kCode, 1, Variant("PISF")),
          Tools().ColumnCondition("d.IsPosted", Kind::kFlag, 1, Variant(int32_t{1}))}));
  d->Fields().AddColumn("SpecID", Kind::kRowId, "gs.IDC");
  d->Fields().AddColumn("FixDocCode", Kind::kText, "FixD.DocTypeCode + ':' + FixD.Number");
  d->OrderBy("SpecID");
  EXPECT_EQ(OpenRows(*d), (RowList{{"11", "MMO:W1"}, {"12", ""}, {"21", ""}}));

  d->AddWhere(Tools().ColumnCondition("FixSpecL.IDC", Kind::kRowId, 6, Variant::Null()));
  EXPECT_EQ(OpenRows(*d), (RowList{{"11", "MMO:W1"}}));
}

TEST_F(QueryJoinTest, MisuseIsRefused) {
  QueryPtr q = Q("THGoodSpec");
  EXPECT_THROW(q->InnerJoin(Q("REFGood"), "g", "g.Code = oTable.GoodCode", 2), Error);
  EXPECT_THROW(q->InnerJoin(Q("REFGood"), "g x", "g.Code = oTable.GoodCode"), Error);
  EXPECT_THROW(q->InnerJoin(Q("REFGood"), "g", "  "), Error);
  EXPECT_THROW(q->InnerJoin(q, "self", "1 = 1"), Error);
  q->InnerJoin(Q("REFGood"), "g", "g.Code = oTable.GoodCode");
  q->InnerJoin(Q("REFGood"), "G", "G.Code = oTable.GoodCode");
  EXPECT_QTS_ERROR_TEXT(q->Open(), kErrQuery, "\"G\"");
}

// --- The item catalogue under "G" -------------------------------------------------------------

using WellKnownAliasTest = SampleBook;

TEST_F(WellKnownAliasTest, SuppliedOnlyWhenAConditionUsesItAndTheQueryLacksIt) {
  QueryPtr plain = Q("THGoodSpec");
  plain->AddWhere("oTable.DocID = 1");
  EXPECT_FALSE(Contains(plain->SqlText(), "REFGood"));

  QueryPtr used = Q("THGoodSpec");
  used->Fields().KeepOnly({"IDC"});
  used->AddWhere(Tools().ColumnCondition("G.Category", Kind::kCategory, 1, Variant(int32_t{1})));
  EXPECT_TRUE(Contains(used->SqlText(), "REFGood G"));
  EXPECT_EQ(OpenRows(*used), (RowList{{"12"}}));

  // A name that merely ends in g, or a G inside a text, is no use of the alias.
  QueryPtr lookalike = Q("THGoodSpec");
  lookalike->AddWhere("oTable.GoodCode <> 'G.Category' AND oTable.IDC > 0");
  EXPECT_FALSE(Contains(lookalike->SqlText(), "REFGood"));

  // A query that joins G itself keeps its own join.
  QueryPtr own = Q("THGoodSpec");
  own->Fields().KeepOnly({"IDC"});
  QueryPtr g = Q("REFGood");
  g->Fields().KeepOnly({"Name"});
  own->InnerJoin(g, "g", "g.Code = oTable.GoodCode");
  own->AddWhere("G.Category = 1");
  std::string sql = own->SqlText();
  EXPECT_EQ(sql.find("REFGood"), sql.rfind("REFGood")) << sql;
  EXPECT_EQ(OpenRows(*own), (RowList{{"12", "Boxes"}}));
}

// --- Grouping, derived tables, unions ----------------------------------------------------------

using QueryShapeTest = SampleBook;

QueryPtr SumPerGood(SampleBook& /*fixture*/, const QueryPtr& q) {
  q->Fields().KeepOnly({});
  q->Fields().AddColumn("GoodCode", Kind::kCode, "oTable.GoodCode");
  q->Fields().AddColumn("Rest", Kind::kQuantity, "0");
  q->Fields()
      .AddColumn("Amount", Kind::kQuantity, "oTable.AmountAccount")
      .SetAggregate(kAggregateSum);
  return q;
}

TEST_F(QueryShapeTest, AggregateSumsAndGroupsByTheOtherColumns) {
  QueryPtr q = SumPerGood(*this, Q("THGoodSpec"));
  q->OrderBy("GoodCode");
  EXPECT_EQ(OpenRows(*q), (RowList{{"G1", "0", "17"}, {"G2", "0", "5"}, {"G3", "0", "7"}}));
  EXPECT_TRUE(Contains(q->SqlText(), "GROUP BY oTable.GoodCode")) << q->SqlText();
  // Once open, the query's own columns in Fields are the builder's: changing one changes the
  // next open.
  q->Fields().Item("Rest").SetAggregate(7);
  EXPECT_THROW(q->Open(), Error);
}

TEST_F(QueryShapeTest, FromQueryNestsAndSqlTextEmbeds) {
  QueryPtr inner = SumPerGood(*this, Q("THGoodSpec"));
  QueryPtr main = book_->CreateQuery("");
  EXPECT_THROW(main->Open(), Error);  // no source yet
  main->FromQuery(inner, "Main", Variant(true));
  EXPECT_EQ(main->Alias(), "Main");
  EXPECT_EQ(main->Fields().Item("Amount").Expression(), "Main.Amount");
  main->AddWhere(Tools().Condition(main->Fields().Item("Amount"), 4, Variant(int32_t{6})));
  main->Fields().Exclude({"Rest"});
  main->OrderBy("GoodCode");
  EXPECT_EQ(OpenRows(*main), (RowList{{"G1", "17"}, {"G3", "7"}}));

  // A second level that redeclares a column: it moves to the end with its new expression.
  QueryPtr outer = book_->CreateQuery("");
  outer->FromQuery(main, "M2");
  outer->Fields().AddColumn("GoodCode", Kind::kCode, "LOWER(M2.GoodCode)");
  EXPECT_EQ(outer->OutputNames(), (std::vector<std::string>{"Amount", "GoodCode"}));
  outer->OrderBy("GoodCode");
  EXPECT_EQ(OpenRows(*outer), (RowList{{"17", "g1"}, {"7", "g3"}}));

  // SqlText has no ORDER BY and stands as a derived table in any statement.
  std::string text = outer->SqlText();
  EXPECT_FALSE(Contains(text, "ORDER BY")) << text;
  QueryPtr wrapped = book_->CreateQuery("");
  wrapped->FromQuery(outer, "W");
  wrapped->Fields().KeepOnly({});
  wrapped->Fields().AddColumn("N", Kind::kLongId, "COUNT(*)");
  EXPECT_EQ(OpenRows(*wrapped), (RowList{{"2"}}));
  EXPECT_THROW(wrapped->FromQuery(outer, "Again"), Error);
}

TEST_F(QueryShapeTest, UnionAlignsByPositionAndKeepsEqualRows) {
  QueryPtr goods = Q("REFGood");
  goods->Fields().KeepOnly({"Code", "Name"});
  goods->AddWhere("oTable.Category = 1");
  QueryPtr stores = Q("STStore");
  stores->Fields().KeepOnly({"Name", "Code"});  // list order is the source's: Code, Name
  QueryPtr again = Q("REFGood");
  again->Fields().KeepOnly({"Code", "Name"});
  again->AddWhere("oTable.Category = 1");
  goods->Union(stores, "Main", Variant(true));
  goods->Union(again, "Main", Variant(true));
  goods->Open();
  goods->Sort("Code DESC");
  EXPECT_EQ(Rows(*goods),
            (RowList{{"S2", "Second"}, {"S1", "Main"}, {"G2", "Boxes"}, {"G2", "Boxes"}}));

  // The packaging pattern: the union selected from as a derived table and summed.
  QueryPtr amounts = Q("THGoodSpec");
  amounts->Fields().KeepOnly({"GoodCode", "AmountAccount"});
  amounts->AddWhere("oTable.DocID = 1");
  QueryPtr more = Q("THGoodSpec");
  more->Fields().KeepOnly({"GoodCode", "AmountAccount"});
  more->AddWhere("oTable.DocID IN (1, 2)");
  amounts->Union(more, "D");
  QueryPtr total = book_->CreateQuery("");
  total->FromQuery(amounts, "D");
  total->Fields().Item("AmountAccount").SetAggregate(kAggregateSum);
  total->OrderBy("GoodCode");
  EXPECT_EQ(OpenRows(*total), (RowList{{"G1", "24"}, {"G2", "10"}}));

  QueryPtr narrow = Q("STStore");
  narrow->Fields().KeepOnly({"Code"});
  QueryPtr wide = Q("REFGood");
  wide->Fields().KeepOnly({"Code", "Name"});
  wide->Union(narrow, "X");
  EXPECT_QTS_ERROR_TEXT(wide->Open(), kErrQuery, "1 columns where 2");
}

TEST_F(QueryShapeTest, TopDistinctAndOrderBy) {
  QueryPtr q = Q("THGoodSpec");
  q->Fields().KeepOnly({"GoodCode"});
  q->SetDistinct(true);
  q->OrderBy("GoodCode DESC");
  EXPECT_EQ(OpenRows(*q), (RowList{{"G3"}, {"G2"}, {"G1"}}));
  q->SetTop(2);
  EXPECT_EQ(OpenRows(*q), (RowList{{"G3"}, {"G2"}}));
  EXPECT_THROW(q->SetTop(-1), Error);
}

// The order author's pattern: a TOP 1 query under its own alias, correlated with the outer
// query and embedded as a scalar subquery column.
TEST_F(QueryShapeTest, TopQueryEmbedsAsCorrelatedScalarSubquery) {
  QueryPtr last = Q("THGoodSpec");
  last->SetAlias("s");
  last->Fields().KeepOnly({"GoodCode"});
  last->AddWhere("s.DocID = oTable.IDC");
  last->OrderBy("s.PosNumb DESC");
  last->SetTop(1);
  QueryPtr docs = Q("THDocument");
  docs->Fields().KeepOnly({"IDC"});
  docs->Fields().AddColumn("LastGood", Kind::kCode, "( " + last->SqlText() + " )");
  docs->OrderBy("IDC");
  EXPECT_EQ(OpenRows(*docs), (RowList{{"1", "G2"}, {"2", "G1"}, {"3", "G1"}, {"4", "G3"}}));
}

TEST_F(QueryShapeTest, AliasRenameCarriesEarlierConditions) {
  QueryPtr q = Q("THDocument");
  q->AddWhere(Tools().JoinConditions(
      1, {Tools().Condition(q->Fields().Item("DocTypeCode"), 1, Variant("PISF")),
          Tools().Condition(q->Fields().Item("IsPosted"), 1, Variant(int32_t{1}))}));
  q->Fields().KeepOnly({"Number"});
  q->SetAlias("MDoc");
  q->OrderBy("Number");
  EXPECT_FALSE(Contains(q->SqlText(), "oTable")) << q->SqlText();
  EXPECT_EQ(OpenRows(*q), (RowList{{"P1"}, {"P2"}}));
}

TEST_F(QueryShapeTest, WhereTextBuiltOnTheCurrentTextReplacesIt) {
  QueryPtr q = Q("THGoodSpec");
  q->AddWhere(Tools().Condition(q->Fields().Item("DocID"), 1, Variant(int32_t{1})));
  EXPECT_EQ(q->WhereText(), "oTable.DocID = 1");
  q->AddWhere(q->WhereText() + " and " +
              Tools().Condition(q->Fields().Item("IDC"), 5, Variant(int32_t{12})));
  q->Fields().KeepOnly({"IDC"});
  EXPECT_EQ(q->WhereText(), "oTable.DocID = 1 and oTable.IDC >= 12");
  q->AddWhere("oTable.PosNumb = 2");  // a separate condition is ANDed
  EXPECT_EQ(OpenRows(*q), (RowList{{"12"}}));
  EXPECT_THROW(q->AddWhere("1 = 1; DELETE FROM THGoodSpec"), Error);
  EXPECT_THROW(q->AddWhere("1 = 1 -- rest"), Error);
  EXPECT_THROW(q->OrderBy("IDC /* x */"), Error);
}

// --- Finished rows --------------------------------------------------------------------------

using ResultRowsTest = SampleBook;

TEST_F(ResultRowsTest, ResultFilterAndSortWorkOnTheOpenedRows) {
  QueryPtr q = SumPerGood(*this, Q("THGoodSpec"));
  q->Open();
  EXPECT_EQ(q->RecordCount(), 3);
  q->AddResultFilter(Tools().ColumnCondition("Amount", Kind::kQuantity, 4, Variant(int32_t{6})));
  EXPECT_EQ(q->RecordCount(), 2);
  q->Sort("Amount");
  EXPECT_EQ(Rows(*q), (RowList{{"G3", "0", "7"}, {"G1", "0", "17"}}));
  // An unreadable filter is refused and the one in force stays.
  EXPECT_THROW(q->AddResultFilter("Amount >> 1"), Error);
  EXPECT_EQ(q->RecordCount(), 2);
  // Kept for the next open, and ANDed with a further one.
  q->AddResultFilter(Tools().ColumnCondition("GoodCode", Kind::kCode, 6, Variant("G3")));
  q->Open();
  EXPECT_EQ(Rows(*q), (RowList{{"G1", "0", "17"}}));
  // The recordset is the query's: moving it moves the query's row.
  RecordsetPtr rs = q->OpenRecordset();
  rs->MoveFirst();
  rs->MoveNext();
  EXPECT_TRUE(q->Eof());
}

// Requery reads the book afresh and keeps what the list showed and where it stood.
TEST_F(ResultRowsTest, RequeryReadsTheBookAgainKeepingFilterSortAndPosition) {
  QueryPtr q = Q("REFGood");
  q->Fields().KeepOnly({"Code", "Name"});
  EXPECT_THROW(q->Requery(), Error) << "not open";
  q->Open();
  RecordsetPtr before = q->OpenRecordset();
  before->SetFilter(Variant("Code <> 'GR'"));
  before->SetSort("Code DESC");
  q->MoveFirst();
  q->MoveNext();  // G2
  ASSERT_EQ(CStr(q->Fields().Item("Code").Value()), "G2");
  book_->Connection().Execute("UPDATE \"T$REFGood\" SET \"Name\" = 'Crates' WHERE \"Code\" = 'G2'");
  qts::host::schema::testing::Seed(
      book_->Connection(),
      "INSERT INTO \"T$REFGood\"(\"Code\",\"Name\",\"IsGroup\") VALUES ('G9','Salt',0)");

  q->Requery();
  EXPECT_EQ(CStr(q->Fields().Item("Code").Value()), "G3") << "the second row shown, now G3";
  EXPECT_EQ(CStr(before->Value("Name")), "Boxes") << "a recordset taken before stays";
  EXPECT_EQ(Rows(*q), (RowList{{"G9", "Salt"}, {"G3", "Oil"}, {"G2", "Crates"}, {"G1", "Flour"}}));

  // At the end it stays at the end; a position the rows no longer reach goes to the end.
  q->Requery();
  EXPECT_TRUE(q->Eof());
  q->MoveFirst();
  for (int i = 0; i < 3; ++i) q->MoveNext();  // the fourth row, G1
  book_->Connection().Execute("DELETE FROM \"T$REFGood\" WHERE \"Code\" IN ('G9', 'G1')");
  q->Requery();
  EXPECT_TRUE(q->Eof());
  EXPECT_EQ(q->RecordCount(), 2);
}

// The book keeps a query's translation by its text: a text that differs in a literal only is
// its own statement, and one that cannot be translated is refused each time it is opened.
TEST_F(ResultRowsTest, TheKeptTranslationServesTheSameTextOnly) {
  auto codes = [&](const std::string& where) {
    QueryPtr q = Q("REFGood");
    q->Fields().KeepOnly({"Code"});
    q->AddWhere(where);
    q->Open();
    RowList rows;
    for (; !q->Eof(); q->MoveNext()) rows.push_back({CStr(q->Fields().Item("Code").Value())});
    return rows;
  };
  EXPECT_EQ(codes("oTable.Name = 'Oil'"), (RowList{{"G3"}}));
  EXPECT_EQ(codes("oTable.Name = 'Flour'"), (RowList{{"G1"}}));
  EXPECT_EQ(codes("oTable.Name = 'Oil'"), (RowList{{"G3"}}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_THROW(codes("oTable.NoSuchColumn = 1"), sql::SqlError) << "open " << i + 1;
  }
}

TEST_F(ResultRowsTest, ReadingAClosedQueryIsRefused) {
  QueryPtr q = Q("REFGood");
  EXPECT_THROW((void)q->Eof(), Error);
  EXPECT_THROW(q->MoveNext(), Error);
  EXPECT_THROW((void)q->OpenRecordset(), Error);
  q->AddWhere("oTable.Code = 'none'");
  q->Open();
  EXPECT_TRUE(q->Eof());
  EXPECT_EQ(q->RecordCount(), 0);
  EXPECT_TRUE(q->Fields().Item("Code").Value().IsEmpty());
}

// A result filter written with Condition on the query's own columns, which carry SQL
// expressions (as the fuel write-off filters its rest lists), works on the finished rows by
// column name.
TEST_F(ResultRowsTest, ResultFilterWrittenOnOwnColumnsReadsThemByName) {
  struct Case {
    const char* name;
    std::function<std::string(NamedValueList&)> filter;
    RowList ids;
  };
  const std::vector<Case> cases = {
      {"expression_of_a_joined_alias",
       [](NamedValueList& f) { return Tools().Condition(f.Item("Category"), 1, Variant(1)); },
       {{"12"}}},
      {"not_equal",
       [](NamedValueList& f) { return Tools().Condition(f.Item("Category"), 6, Variant(1)); },
       {{"11"}, {"21"}, {"31"}, {"41"}}},
      // A computed column; the constant column "Zero" must not take the place of the value 0.
      {"computed_beside_a_constant",
       [](NamedValueList& f) {
         return Tools().JoinConditions(1, {Tools().Condition(f.Item("Free"), 4, Variant(0)),
                                           Tools().Condition(f.Item("Category"), 1, Variant(0))});
       },
       {{"11"}, {"21"}, {"31"}, {"41"}}},
      {"computed",
       [](NamedValueList& f) { return Tools().Condition(f.Item("Free"), 4, Variant(5)); },
       {{"11"}, {"41"}}},
      // The expression's text inside a literal is a value, not the column.
      {"expression_text_in_a_literal",
       [](NamedValueList& f) {
         return Tools().Condition(f.Item("Code"), 6, Variant("oTable.GoodCode"));
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
    q->Fields().AddColumn("Category", Kind::kCategory, "G.Category");
    q->Fields().AddColumn("Free", Kind::kQuantity, "ROUND(oTable.AmountAccount - 1, 4)");
    q->Fields().AddColumn("Zero", Kind::kQuantity, "0");
    q->Fields().AddColumn("Code", Kind::kCode, "oTable.GoodCode");
    q->OrderBy("IDC");
    q->Open();
    q->AddResultFilter(c.filter(q->Fields()));
    RowList ids;
    for (const auto& row : Rows(*q)) ids.push_back({row.front()});
    EXPECT_EQ(ids, c.ids);
  }
}

// A query joined as a derived table (here grouped) adds no result columns: the outer query's
// columns, its grouping and a union's alignment are its own. A merged (plain) join still
// shows its kept columns.
TEST_F(ResultRowsTest, DerivedTableJoinAddsNoResultColumns) {
  QueryPtr spent = Q("THGoodSpec");
  spent->Fields().KeepOnly({"DocID"});
  spent->Fields()
      .AddColumn("Amount", Kind::kQuantity, "oTable.AmountAccount")
      .SetAggregate(kAggregateSum);
  QueryPtr docs = Q("THDocument");
  docs->Fields().KeepOnly({"Number"});
  docs->LeftJoin(spent, "S", "oTable.IDC = S.DocID", kJoinLeftOuter);
  docs->Fields()
      .AddColumn("Total", Kind::kQuantity, "COALESCE(S.Amount, 0)")
      .SetAggregate(kAggregateSum);
  EXPECT_EQ(docs->OutputNames(), (std::vector<std::string>{"Number", "Total"}));
  docs->OrderBy("Number");
  EXPECT_EQ(OpenRows(*docs), (RowList{{"P1", "15"}, {"P2", "4"}, {"P3", "7"}, {"W1", "3"}}));
  QueryPtr merged = Q("THDocument");
  merged->Fields().KeepOnly({"Number"});
  QueryPtr rows = Q("THGoodSpec");
  rows->Fields().KeepOnly({"GoodCode"});
  merged->InnerJoin(rows, "R", "oTable.IDC = R.DocID");
  EXPECT_EQ(merged->OutputNames(), (std::vector<std::string>{"Number", "R.GoodCode"}));
}

// --- Parameterised sources -------------------------------------------------------------------

struct ParameterCase {
  const char* name;
  const char* source;
  std::vector<std::string> keep;
  const char* parameter;
  Variant value;
  bool set_on_outer;  // the value is given on an outer query that selects from the source
  RowList expected;
};

class ParameterisedSourceTest : public SampleBook,
                                public ::testing::WithParamInterface<ParameterCase> {};

TEST_P(ParameterisedSourceTest, InlinedWithTheParameterAsLiteral) {
  const ParameterCase& c = GetParam();
  QueryPtr q = Q(c.source);
  ASSERT_TRUE(q->Parameters().ExistsField(c.parameter));
  q->Fields().KeepOnly(c.keep);
  QueryPtr top = q;
  if (c.set_on_outer) {
    top = book_->CreateQuery("");
    top->FromQuery(q, "Src");
    top->Parameters().KeepOnly({});
    top->Parameters().Add(c.parameter, Kind::kNone, c.value);
  } else {
    q->Parameters().Item(c.parameter).SetValue(c.value);
  }
  top->OrderBy(c.keep.front() + ", " + c.keep.back());
  EXPECT_EQ(OpenRows(*top), c.expected);
}

const Date kJan31 = Date::FromYmd(2026, 1, 31);
const Date kJan15 = Date::FromYmd(2026, 1, 15);

INSTANTIATE_TEST_SUITE_P(
    Sources, ParameterisedSourceTest,
    ::testing::Values(ParameterCase{"fix_rest",
                                    "THDocGoodFixRest",
                                    {"GoodCode", "AmountAccount"},
                                    "DateRest",
                                    Variant(kJan31),
                                    false,
                                    {{"G1", "11"}, {"G2", "5"}}},
                      ParameterCase{"fix_rest_before_link",
                                    "THDocGoodFixRest",
                                    {"GoodCode", "AmountAccount"},
                                    "DateRest",
                                    Variant(kJan15),
                                    true,
                                    {{"G1", "10"}, {"G2", "5"}}},
                      ParameterCase{"store_rest",
                                    "STStoreRest",
                                    {"StoreCode", "GoodCode", "Rest"},
                                    "DateRest",
                                    Variant(kJan31),
                                    false,
                                    {{"S1", "G2", "5"}, {"S1", "G1", "7"}, {"S2", "G1", "4"}}},
                      ParameterCase{"free_rest",
                                    "THGoodSpecFreeRest",
                                    {"SpecID", "FreeAmount"},
                                    "DateRest",
                                    Variant("2026-01-31"),
                                    false,
                                    {{"11", "7"}, {"12", "5"}, {"21", "4"}}},
                      ParameterCase{"goods_below_group",
                                    "REFGoodT",
                                    {"Code", "Name"},
                                    "Node",
                                    Variant("GR"),
                                    true,
                                    {{"G1", "Flour"}, {"G2", "Boxes"}}}),
    [](const ::testing::TestParamInfo<ParameterCase>& info) { return info.param.name; });

// The report pattern: the parameter is given once, on the outer query, for a source that sits
// in a joined query two levels down.
TEST_F(SampleBook, ParameterOfAJoinedSourceComesFromTheOuterQuery) {
  QueryPtr goods = Q("REFGood");
  goods->Fields().KeepOnly({"Code"});
  QueryPtr below = Q("REFGoodT");
  below->Fields().KeepOnly({});
  goods->InnerJoin(below, "GoodT", "oTable.Code = GoodT.Code AND GoodT.IsGroup = 0");
  QueryPtr outer = book_->CreateQuery("");
  outer->FromQuery(goods, "rl");
  outer->OrderBy("Code");
  EXPECT_QTS_ERROR_TEXT(outer->Open(), kErrQuery, "\"Node\"");

  outer->Parameters().Add("Node", Kind::kCode, Variant("GR"));
  EXPECT_EQ(OpenRows(*outer), (RowList{{"G1"}, {"G2"}}));
  // A hostile parameter stays a literal.
  outer->Parameters().Item("Node").SetValue(Variant("GR') OR 1=1 OR ('x"));
  EXPECT_EQ(OpenRows(*outer), RowList{});
}

}  // namespace
}  // namespace qts::host
