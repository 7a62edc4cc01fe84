#include "host/data/sql_tools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/data/common_tools.h"
#include "host/data/query.h"
#include "host/data/testing/sample_book.h"

namespace qts::host {
namespace {

using testing::RowList;
using testing::SampleBook;

SqlTools& Tools() { return *SqlTools::Instance(); }

struct ConditionCase {
  const char* name;
  Kind kind;
  int32_t op;
  Variant value1;
  Variant value2;
  const char* expected;
};

class ColumnConditionTest : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ColumnConditionTest, WritesTheConditionText) {
  const ConditionCase& c = GetParam();
  EXPECT_EQ(Tools().ColumnCondition("x.Col", c.kind, c.op, c.value1, c.value2), c.expected);
}

const Date kDay = Date::FromYmd(2026, 1, 31);
const char* const kSubquery =
    "( select top 1 idc from T$mfeqfaobject f where EqCode = f.EqCode order by f.UseTime )";

INSTANTIATE_TEST_SUITE_P(
    OperatorsAndKinds, ColumnConditionTest,
    ::testing::Values(
        ConditionCase{"text_equal", Kind::kCode, kOpEqual, Variant("PISF"), {}, "x.Col = 'PISF'"},
        ConditionCase{"text_quote_doubled",
                      Kind::kText,
                      kOpEqual,
                      Variant("O'Brien"),
                      {},
                      "x.Col = 'O''Brien'"},
        ConditionCase{
            "text_of_number", Kind::kCode, kOpEqual, Variant(int32_t{80}), {}, "x.Col = '80'"},
        ConditionCase{"text_subquery_stays_text",
                      Kind::kCode,
                      kOpEqual,
                      Variant("( select 1 )"),
                      {},
                      "x.Col = '( select 1 )'"},
        ConditionCase{"null_equal", Kind::kCode, kOpEqual, Variant::Null(), {}, "x.Col IS NULL"},
        ConditionCase{
            "null_not_equal", Kind::kRowId, kOpNotEqual, Variant::Null(), {}, "x.Col IS NOT NULL"},
        ConditionCase{
            "empty_not_equal", Kind::kText, kOpNotEqual, Variant(), {}, "x.Col IS NOT NULL"},
        ConditionCase{
            "text_not_equal", Kind::kCode, kOpNotEqual, Variant("ABKR"), {}, "x.Col <> 'ABKR'"},
        ConditionCase{
            "category_zero", Kind::kCategory, kOpEqual, Variant(int16_t{0}), {}, "x.Col = 0"},
        ConditionCase{"flag_true", Kind::kFlag, kOpEqual, Variant(true), {}, "x.Col = 1"},
        ConditionCase{"long_from_text", Kind::kLongId, kOpEqual, Variant("42"), {}, "x.Col = 42"},
        ConditionCase{"long_subquery",
                      Kind::kLongId,
                      kOpEqual,
                      Variant(kSubquery),
                      {},
                      "x.Col = ( select top 1 idc from T$mfeqfaobject f where EqCode = f.EqCode "
                      "order by f.UseTime )"},
        ConditionCase{
            "quantity_greater", Kind::kQuantity, kOpGreater, Variant(int32_t{0}), {}, "x.Col > 0"},
        ConditionCase{"money_currency",
                      Kind::kMoney,
                      kOpLessOrEqual,
                      Variant(Currency::FromScaled(125000)),
                      {},
                      "x.Col <= 12.5"},
        ConditionCase{"double_point", Kind::kQuantity, kOpLess, Variant(0.1), {}, "x.Col < 0.1"},
        ConditionCase{
            "negative", Kind::kPrice, kOpGreaterOrEqual, Variant(-1.25), {}, "x.Col >= -1.25"},
        ConditionCase{
            "date_limit", Kind::kDate, kOpLessOrEqual, Variant(kDay), {}, "x.Col <= '2026-01-31'"},
        ConditionCase{"date_from_text",
                      Kind::kFixDocDate,
                      kOpGreater,
                      Variant("2026-01-31"),
                      {},
                      "x.Col > '2026-01-31'"},
        ConditionCase{"date_between", Kind::kDate, kOpBetween, Variant(Date::FromYmd(2026, 1, 1)),
                      Variant(kDay), "x.Col BETWEEN '2026-01-01' AND '2026-01-31'"},
        ConditionCase{"like", Kind::kName, kOpLike, Variant("Fl%"), {}, "x.Col LIKE 'Fl%'"},
        ConditionCase{
            "in_codes", Kind::kCode, kOpInList, Variant("'S1','S2'"), {}, "x.Col IN ('S1', 'S2')"},
        ConditionCase{"in_codes_spaced_quote",
                      Kind::kCode,
                      kOpInList,
                      Variant(" 'A''B' , 'C' "),
                      {},
                      "x.Col IN ('A''B', 'C')"},
        ConditionCase{"in_numbers",
                      Kind::kLongId,
                      kOpInList,
                      Variant("1, -2, 3.5"),
                      {},
                      "x.Col IN (1, -2, 3.5)"},
        ConditionCase{
            "in_single_number", Kind::kLongId, kOpInList, Variant(int32_t{4}), {}, "x.Col IN (4)"},
        ConditionCase{
            "unknown_kind_by_value", Kind::kNone, kOpEqual, Variant("a"), {}, "x.Col = 'a'"},
        ConditionCase{"unknown_kind_date",
                      Kind::kObject,
                      kOpEqual,
                      Variant(kDay),
                      {},
                      "x.Col = '2026-01-31'"}),
    [](const ::testing::TestParamInfo<ConditionCase>& info) { return info.param.name; });

struct RefusalCase {
  const char* name;
  const char* expression;
  Kind kind;
  int32_t op;
  Variant value;
  int32_t error;
};

class ConditionRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ConditionRefusalTest, RefusesWithAClearError) {
  const RefusalCase& c = GetParam();
  try {
    (void)Tools().ColumnCondition(c.expression, c.kind, c.op, c.value);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), c.error) << e.Description();
    EXPECT_EQ(e.Source(), "SqlTools");
    EXPECT_FALSE(e.Description().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, ConditionRefusalTest,
    ::testing::Values(
        RefusalCase{"word_as_long", "x", Kind::kLongId, kOpEqual, Variant("abc"), kErrTypeMismatch},
        RefusalCase{"number_with_tail", "x", Kind::kQuantity, kOpEqual, Variant("1 OR 1=1"),
                    kErrTypeMismatch},
        RefusalCase{"subquery_with_break", "x", Kind::kLongId, kOpEqual,
                    Variant("(select 1); delete from t"), kErrTypeMismatch},
        RefusalCase{"subquery_with_comment", "x", Kind::kLongId, kOpEqual,
                    Variant("(select 1 -- )"), kErrTypeMismatch},
        RefusalCase{"not_a_date", "x", Kind::kDate, kOpEqual, Variant("31.01.2026x"),
                    kErrTypeMismatch},
        RefusalCase{"nul_in_text", "x", Kind::kCode, kOpEqual, Variant(std::string("a\0b", 3)),
                    kErrTypeMismatch},
        RefusalCase{"unknown_operator", "x", Kind::kCode, 99, Variant("a"), kErrInvalidCall},
        RefusalCase{"empty_expression", "", Kind::kCode, kOpEqual, Variant("a"), kErrInvalidCall},
        RefusalCase{"expression_with_semicolon", "x; DROP TABLE t", Kind::kCode, kOpEqual,
                    Variant("a"), kErrInvalidCall},
        RefusalCase{"expression_with_comment", "x /* */", Kind::kCode, kOpEqual, Variant("a"),
                    kErrInvalidCall},
        RefusalCase{"list_injection", "x", Kind::kCode, kOpInList, Variant("'S1') OR (1=1"),
                    kErrInvalidCall},
        RefusalCase{"list_statement", "x", Kind::kCode, kOpInList, Variant("'S1'; DELETE FROM t"),
                    kErrInvalidCall},
        RefusalCase{"list_bare_word", "x", Kind::kCode, kOpInList, Variant("S1"), kErrInvalidCall},
        RefusalCase{"list_empty", "x", Kind::kCode, kOpInList, Variant(""), kErrInvalidCall},
        RefusalCase{"list_empty_item", "x", Kind::kCode, kOpInList, Variant("'S1',,'S2'"),
                    kErrInvalidCall},
        RefusalCase{"list_trailing_comma", "x", Kind::kCode, kOpInList, Variant("'S1',"),
                    kErrInvalidCall},
        RefusalCase{"list_unclosed", "x", Kind::kCode, kOpInList, Variant("'S1','S2"),
                    kErrInvalidCall},
        RefusalCase{"list_comment", "x", Kind::kCode, kOpInList, Variant("'S1' -- x"),
                    kErrInvalidCall}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(SqlToolsTest, ConditionUsesTheColumnExpressionOrItsName) {
  NamedValue plain("DocID", 3, Variant());
  EXPECT_EQ(Tools().Condition(plain, 1, Variant(int32_t{5})), "DocID = 5");
  NamedValue column("Amount", 20, Variant());
  column.SetExpression("Main.Amount");
  EXPECT_EQ(Tools().Condition(column, 4, Variant(int32_t{0})), "Main.Amount > 0");
  NamedValue odd("AddFld.OpSum", 19, Variant());
  EXPECT_EQ(Tools().Condition(odd, 6, Variant(int32_t{0})), "[AddFld.OpSum] <> 0");
}

TEST(SqlToolsTest, JoinConditionsSkipsEmptyPartsAndParenthesises) {
  struct Case {
    int32_t how;
    std::vector<std::string> parts;
    std::string expected;
  };
  const Case cases[] = {
      {1, {"a = 1", "", "b = 2"}, "(a = 1) AND (b = 2)"},
      {102, {"gu.PackType = 3", "Exists(x)"}, "(gu.PackType = 3) OR (Exists(x))"},
      {1, {"a = 1 OR b = 1", "c = 1"}, "(a = 1 OR b = 1) AND (c = 1)"},
      {1, {"only"}, "only"},
      {1, {"", "  "}, ""},
      {102, {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Tools().JoinConditions(c.how, c.parts), c.expected);
  EXPECT_THROW((void)Tools().JoinConditions(2, {"a"}), Error);
}

TEST(SqlToolsTest, ValueListAndSqlValue) {
  EXPECT_EQ(Tools().ValueList(Kind::kCode, {Variant("10"), Variant("20")}), "'10', '20'");
  EXPECT_EQ(Tools().ValueList(Kind::kLongId, {}), "");
  EXPECT_EQ(Tools().SqlValue(Variant("PAR"), Kind::kCode), "'PAR'");
  EXPECT_EQ(Tools().SqlValue(Variant(int32_t{1}), Kind::kNone), "1");
  EXPECT_EQ(Tools().SqlValue(Variant::Null(), Kind::kCode), "NULL");
  EXPECT_EQ(Tools().SqlValue(Variant(Date::FromYmdHms(2026, 1, 31, 10, 5, 0)), Kind::kDate),
            "'2026-01-31 10:05:00'");
  EXPECT_THROW((void)Tools().SqlValue(Variant(std::make_shared<NamedValueList>()), Kind::kCode),
               Error);
}

TEST(SqlToolsTest, SelectionLiteralsReadQuotedCodesAndNumbers) {
  EXPECT_EQ(SqlTools::SelectionLiterals("'S1','S2'"), (std::vector<std::string>{"'S1'", "'S2'"}));
  EXPECT_EQ(SqlTools::SelectionLiterals("'it''s'"), (std::vector<std::string>{"'it''s'"}));
  EXPECT_EQ(SqlTools::SelectionLiterals(" 7 "), (std::vector<std::string>{"7"}));
  EXPECT_THROW((void)SqlTools::SelectionLiterals("'a' 'b'"), Error);
  EXPECT_THROW((void)SqlTools::SelectionLiterals("1 2"), Error);
  EXPECT_THROW((void)SqlTools::SelectionLiterals("-"), Error);
}

// Values that try to leave their literal stay literals wherever the system pastes them (an
// equality, an IN list written by ValueList, a join condition written by SqlValue): each query
// finds exactly the row whose text is that value, and the book is unchanged.
using HostileValueTest = SampleBook;

TEST_F(HostileValueTest, EscapedValuesMatchOnlyThemselves) {
  const std::vector<std::string> hostile = {
      "x'; DELETE FROM \"T$REFGood\"; --",
      "' OR '1'='1",
      "10') OR ('1'='1",
      "/* */ Flour",
      "'); DROP TABLE \"T$STStore\"; --",
      "Flour\n-- comment",
      "a;b",
      std::string(70000, '\'') + ";",
      std::string(100000, 'a') + "' OR 1=1 --",
  };
  int id = 100;
  for (const std::string& text : hostile) {
    SCOPED_TRACE(text.substr(0, 40));
    const int64_t goods_before = Count("T$REFGood");
    const int64_t stores_before = Count("T$STStore");
    QueryPtr q = Q("REFGood");
    q->AddWhere(Tools().Condition(q->Fields().Item("Name"), 1, Variant(text)));
    q->Fields().KeepOnly({"Code"});
    EXPECT_EQ(OpenRows(*q), RowList{});
    // Now a good with exactly that name: found, and only it.
    std::string code = "H" + std::to_string(++id);
    db::StatementHandle insert = book_->Connection().Prepare(
        "INSERT INTO \"T$REFGood\"(\"Code\", \"Name\") VALUES (?1, ?2)");
    insert->BindAll({code, text});
    insert->Run();
    q->Open();
    EXPECT_EQ(Rows(*q), (RowList{{code}}));
    // In a literal list.
    QueryPtr in = Q("REFGood");
    in->Fields().KeepOnly({"Code"});
    in->AddWhere("oTable.Name IN(" +
                 Tools().ValueList(Kind::kCode, {Variant("Flour"), Variant(text)}) + ")");
    in->OrderBy("Code");
    EXPECT_EQ(OpenRows(*in), (RowList{{"G1"}, {code}}));
    // Inside a join condition.
    QueryPtr joined = Q("REFGood");
    joined->Fields().KeepOnly({"Code"});
    QueryPtr same = Q("REFGood");
    same->Fields().KeepOnly({});
    joined->InnerJoin(
        same, "s",
        "s.Code = oTable.Code AND s.Name = " + Tools().SqlValue(Variant(text), Kind::kCode));
    EXPECT_EQ(OpenRows(*joined), (RowList{{code}}));
    // A number or date kind never takes such a text.
    for (Kind kind : {Kind::kLongId, Kind::kQuantity, Kind::kDate}) {
      EXPECT_THROW((void)Tools().SqlValue(Variant(text), kind), Error) << Code(kind);
    }
    EXPECT_EQ(Count("T$REFGood"), goods_before + 1);
    EXPECT_EQ(Count("T$STStore"), stores_before);
  }
}

// A selection text pasted into an IN list must read as literals; anything else is refused
// before it reaches a query, naming the selection, and the query keeps its condition.
TEST_F(HostileValueTest, SelectionThatIsNotAListOfLiteralsIsRefused) {
  const char* bad[] = {
      "'S1') OR ('1'='1",
      "'S1'; DELETE FROM \"T$STStore\"",
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
    q->AddWhere(Tools().Condition(q->Fields().Item("Name"), 6, Variant("x")));
    const std::string before = q->WhereText();
    EXPECT_QTS_ERROR_TEXT(q->AddWhere(Tools().JoinConditions(
                              1, {q->WhereText(), Tools().Condition(q->Fields().Item("Code"), 8,
                                                                    Variant(selection))})),
                          kErrInvalidCall, "selection");
    EXPECT_EQ(q->WhereText(), before);
  }
  QueryPtr stores = Q("STStore");
  stores->AddWhere(Tools().Condition(stores->Fields().Item("Code"), 8, Variant("'S1','S9'")));
  stores->Fields().KeepOnly({"Code"});
  EXPECT_EQ(OpenRows(*stores), (RowList{{"S1"}}));
  // A long list of quoted codes, quotes doubled inside, is fine.
  std::string many;
  for (int i = 0; i < 2000; ++i) many += (i ? ",'S" : "'S") + std::to_string(i) + "''x'";
  QueryPtr q = Q("STStore");
  q->Fields().KeepOnly({"Code"});
  q->AddWhere(Tools().Condition(q->Fields().Item("Code"), 8, Variant(many)));
  EXPECT_EQ(OpenRows(*q), RowList{});
}

TEST(CommonToolsTest, NvlRoundCyAndCreateObject) {
  CommonTools& tools = *CommonTools::Instance();
  EXPECT_EQ(tools.Nvl(Variant::Null(), Variant(int32_t{3})).AsLong(), 3);
  EXPECT_EQ(tools.Nvl(Variant(), Variant("d")).AsString(), "d");
  EXPECT_EQ(tools.Nvl(Variant(int32_t{0}), Variant(int32_t{3})).AsLong(), 0);
  // Half away from zero, through the host's one rounding function.
  EXPECT_EQ(tools.RoundCy(Variant(Currency::FromScaled(1250)), 1), Currency::FromScaled(1000));
  EXPECT_EQ(tools.RoundCy(Variant(0.125), 2), Currency::FromScaled(1300));
  EXPECT_EQ(tools.RoundCy(Variant(-0.125), 2), Currency::FromScaled(-1300));
  EXPECT_EQ(tools.RoundCy(Variant("2.345"), 2), Currency::FromScaled(23500));
  EXPECT_THROW((void)tools.RoundCy(Variant::Null(), 2), Error);
  EXPECT_QTS_ERROR(tools.CreateObject("QTS_Nothing.NoSuchClass", 0), kErrCannotCreate);
}

}  // namespace
}  // namespace qts::host
