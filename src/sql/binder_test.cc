#include "sql/binder.h"

#include <gtest/gtest.h>

#include <string>

#include "sql/date_literal.h"
#include "sql/parser.h"
#include "sql/testing/test_catalogue.h"

namespace qts::sql {
namespace {

using testing::TestCatalogue;

TEST(DateLiteralTest, AcceptedFormsAndBoundaries) {
  const struct {
    const char* text;
    const char* iso;  // "" when refused
  } cases[] = {
      {"20240105", "2024-01-05"},
      {"2024-01-05", "2024-01-05"},
      {"2024-01-05 00:00:00", "2024-01-05"},
      {"2024-01-05T13:45", "2024-01-05 13:45:00"},
      {"20240105 23:59:59.000", "2024-01-05 23:59:59"},
      {"20240229", "2024-02-29"},
      {"20000229", "2000-02-29"},
      {"19000229", ""},  // not a leap year
      {"20230229", ""},
      {"20240230", ""},
      {"20241301", ""},
      {"20240100", ""},
      {"2024-0105", ""},
      {"202401051", ""},
      {"2024-01-05 24:00", ""},
      {"2024-01-05 10:60", ""},
      {"2024-01-05 10:00:00.5", ""},  // fractions would be lost
      {"2024-01-05x", ""},
      {"", ""},
      {"05.01.2024", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormalizeDateLiteral(c.text), c.iso) << c.text;
  }
}

// The statement bound against the test catalogue.
StatementPtr Bound(const char* sql) {
  StatementPtr statement = Parse(sql);
  Bind(*statement, TestCatalogue());
  return statement;
}

TEST(BinderTest, ResolvesNamesToCanonicalSpelling) {
  StatementPtr s = Bound("SELECT G.code, NAME FROM refgood g");
  const auto& items = s->cores[0]->items;
  const ColumnRef& code = items[0].expr->As<ColumnRef>();
  EXPECT_EQ(code.bound_source, "g");  // the alias as declared
  EXPECT_EQ(code.bound_name, "Code");
  const ColumnRef& name = items[1].expr->As<ColumnRef>();
  EXPECT_EQ(name.bound_source, "g");
  EXPECT_EQ(name.bound_name, "Name");
  EXPECT_EQ(name.length, 100);
  const NamedTable& table = s->cores[0]->from[0]->As<NamedTable>();
  EXPECT_EQ(table.physical_name, "C1$REFGood");
}

TEST(BinderTest, UnqualifiedNamesResolveInnermostScopeFirst) {
  // Inside the subquery "Code" belongs to its own REFGood, not to the outer THDocument.
  StatementPtr s = Bound(
      "SELECT d.IDC FROM THDocument d WHERE EXISTS (SELECT 1 FROM REFGood g WHERE Code = "
      "d.Code AND Number = 'x')");
  const Exists& exists = s->cores[0]->where->As<Exists>();
  const Binary& both = exists.query->cores[0]->where->As<Binary>();
  const Binary& first = both.left->As<Binary>();
  EXPECT_EQ(first.left->As<ColumnRef>().bound_source, "g");
  EXPECT_EQ(first.right->As<ColumnRef>().bound_source, "d");
  // "Number" exists only outside: the correlated reference reaches the outer query.
  const Binary& second = both.right->As<Binary>();
  EXPECT_EQ(second.left->As<ColumnRef>().bound_source, "d");
}

TEST(BinderTest, DerivedTablesDoNotSeeTheirSiblings) {
  EXPECT_THROW(Bound("SELECT 1 FROM THDocument d CROSS JOIN (SELECT g.Code FROM REFGood g "
                     "WHERE g.Code = d.Code) x"),
               SqlError);
}

TEST(BinderTest, OrderByPrefersOutputNames) {
  StatementPtr s = Bound("SELECT d.Number AS Code FROM THDocument d ORDER BY Code");
  const ColumnRef& order = s->order_by[0].expr->As<ColumnRef>();
  EXPECT_TRUE(order.bound_source.empty());
  EXPECT_EQ(order.bound_name, "Code");
  EXPECT_EQ(order.type, SqlType::kText);
}

TEST(BinderTest, OutputNamesAreNotVisibleInsideOrderByExpressions) {
  EXPECT_THROW(Bound("SELECT d.Number AS Ref FROM THDocument d ORDER BY Ref + 'x'"), SqlError);
  // A source column of the same name still resolves inside an expression.
  StatementPtr s = Bound("SELECT d.Number AS Code FROM THDocument d ORDER BY Code + 'x'");
  const Binary& order = s->order_by[0].expr->As<Binary>();
  EXPECT_EQ(order.left->As<ColumnRef>().bound_source, "d");
}

TEST(BinderTest, ExpressionTypes) {
  const struct {
    const char* expr;
    SqlType type;
  } cases[] = {
      {"gs.Amount * 2", SqlType::kNumber},
      {"gs.PosNumb / 2", SqlType::kInteger},
      {"gs.PosNumb * 1.5", SqlType::kNumber},
      {"gs.PosNumb * 1e2", SqlType::kFloat},
      {"gs.GoodCode + 'x'", SqlType::kText},
      {"CASE WHEN gs.IDC = 1 THEN gs.PosNumb ELSE gs.Amount END", SqlType::kNumber},
      {"COALESCE(NULL, gs.GoodCode)", SqlType::kText},
      {"IsNull(NULL, 1)", SqlType::kInteger},
      {"LEN(gs.GoodCode)", SqlType::kInteger},
      {"CONVERT(CHAR(10), GETDATE(), 102)", SqlType::kText},
      {"CAST(gs.GoodCode AS MONEY)", SqlType::kNumber},
      {"(SELECT MAX(d.DocumentDate) FROM THDocument d)", SqlType::kDate},
      {"-gs.Amount", SqlType::kNumber},
      {"NULL", SqlType::kUnknown},
  };
  for (const auto& c : cases) {
    StatementPtr s = Bound(("SELECT " + std::string(c.expr) + " FROM THGoodSpec gs").c_str());
    EXPECT_EQ(s->cores[0]->items[0].expr->type, c.type) << c.expr;
  }
}

TEST(BinderTest, ConditionsAndValuesAreNotInterchangeable) {
  const char* wrong[] = {
      "SELECT 1 FROM REFGood g WHERE g.Category",                 // a value as a condition
      "SELECT 1 FROM REFGood g WHERE g.Category = 1 AND g.Name",  // one side of AND
      "SELECT 1 FROM REFGood g WHERE CASE WHEN g.Name THEN 1 END = 1",
      "SELECT 1 FROM REFGood g WHERE (g.Category = 1) = 1",  // a condition as a value
      "SELECT g.Category + (g.IsGroup = 1) FROM REFGood g",
  };
  for (const char* sql : wrong) EXPECT_THROW(Bound(sql), SqlError) << sql;
}

TEST(BinderTest, AggregateAndArithmeticTypeChecks) {
  const char* wrong[] = {
      "SELECT SUM(g.Name) FROM REFGood g",
      "SELECT ROUND(g.Name, 2) FROM REFGood g",
      "SELECT g.Name - 1 FROM REFGood g",
      "SELECT -g.Name FROM REFGood g",
      "SELECT d.DocumentDate - 1 FROM THDocument d",
      "SELECT g.Code FROM REFGood g WHERE g.Code IN (SELECT g2.Code, g2.Name FROM REFGood g2)",
  };
  for (const char* sql : wrong) EXPECT_THROW(Bound(sql), SqlError) << sql;
}

}  // namespace
}  // namespace qts::sql
