#include "sql/shape_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/sql_error.h"
#include "sql/testing/test_catalogue.h"

namespace qts::sql {
namespace {

using testing::TestCatalogue;
using Values = std::vector<ParameterValue>;

std::string Search(const std::string& condition) {
  return "SELECT TOP 1 oTable.IDC FROM THGoodSpec oTable WHERE (" + condition +
         ") ORDER BY +oTable.DocID, +oTable.PosNumb";
}

TEST(ShapeCache, ComparedLiteralsBecomeParametersAndTheShapeIsKept) {
  ShapeCache cache(TestCatalogue(), Dialect::kSqlite);
  ParameterizedSql first = cache.Translate(
      Search("oTable.DocID = 12 AND oTable.GoodCode = 'G1' AND oTable.UnitCode IN ('KG', 'T')"));
  EXPECT_EQ(first.sql,
            "SELECT \"oTable\".\"IDC\" FROM \"C1$THGoodSpec\" AS \"oTable\" WHERE "
            "\"oTable\".\"DocID\" = ?1 AND \"oTable\".\"GoodCode\" = ?2 AND "
            "\"oTable\".\"UnitCode\" IN (?3, ?4) ORDER BY +\"oTable\".\"DocID\", "
            "+\"oTable\".\"PosNumb\" LIMIT 1");
  EXPECT_EQ(first.values, (Values{12LL, "G1", "KG", "T"}));

  // Other values, other lengths and an escaped quote: the same text, the new values.
  ParameterizedSql second = cache.Translate(
      Search("oTable.DocID = 123456 AND oTable.GoodCode = 'O''Brien -- x' AND oTable.UnitCode IN "
             "('vnt', '')"));
  EXPECT_EQ(second.sql, first.sql);
  EXPECT_EQ(second.values, (Values{123456LL, "O'Brien -- x", "vnt", ""}));
  EXPECT_EQ(cache.Size(), 1U);

  // A different shape is a new entry.
  ParameterizedSql third = cache.Translate(Search("oTable.DocID = 12 OR oTable.DocID = 13"));
  EXPECT_EQ(third.values, (Values{12LL, 13LL}));
  EXPECT_EQ(cache.Size(), 2U);
}

TEST(ShapeCache, LiteralsTheTranslationReadsStayInTheText) {
  ShapeCache cache(TestCatalogue(), Dialect::kSqlite);
  const auto dated = [](const char* date, const char* pattern) {
    return "SELECT TOP 3 d.IDC FROM THDocument d WHERE d.DocumentDate >= '" + std::string(date) +
           "' AND d.Number LIKE '" + pattern + "' AND d.IDC > 5 AND LEFT(d.Code, 2) = 'AB'";
  };
  ParameterizedSql a = cache.Translate(dated("20240105", "M%"));
  EXPECT_NE(a.sql.find("'2024-01-05'"), std::string::npos) << a.sql;
  EXPECT_NE(a.sql.find("LIKE 'M%'"), std::string::npos) << a.sql;
  EXPECT_NE(a.sql.find("LIMIT 3"), std::string::npos) << a.sql;
  EXPECT_EQ(a.values, (Values{5LL, "AB"}));

  // Same shape, another date and pattern: translated afresh, not served the kept text.
  ParameterizedSql b = cache.Translate(dated("2025-03-31", "X_%"));
  EXPECT_NE(b.sql.find("'2025-03-31'"), std::string::npos) << b.sql;
  EXPECT_NE(b.sql.find("LIKE 'X_%'"), std::string::npos) << b.sql;
  EXPECT_EQ(b.values, (Values{5LL, "AB"}));

  // The kept shape still serves its own literals.
  ParameterizedSql c = cache.Translate(dated("20240105", "M%"));
  EXPECT_EQ(c.sql, a.sql);

  // A date that is no date is refused on every road, kept shape or not.
  EXPECT_THROW((void)cache.Translate(dated("20241399", "M%")), SqlError);
  EXPECT_THROW((void)cache.Translate(dated("20241399", "Q%")), SqlError);
}

TEST(ShapeCache, NumbersThatAreNotWholeAndHugeWholeNumbersStayInTheText) {
  ShapeCache cache(TestCatalogue(), Dialect::kSqlite);
  ParameterizedSql a = cache.Translate(
      "SELECT s.IDC FROM THGoodSpec s WHERE s.Amount > 1.5 AND s.IDC <> 1234567890123456789");
  EXPECT_NE(a.sql.find("> 15000"), std::string::npos) << a.sql;  // money in ten-thousandths
  EXPECT_NE(a.sql.find("1234567890123456789"), std::string::npos) << a.sql;
  EXPECT_TRUE(a.values.empty());
  ParameterizedSql b = cache.Translate(
      "SELECT s.IDC FROM THGoodSpec s WHERE s.Amount > 2.25 AND s.IDC <> 1234567890123456789");
  EXPECT_NE(b.sql.find("> 22500"), std::string::npos) << b.sql;
}

TEST(ShapeCache, PostgresPlaceholdersAndRefusalsAsTranslate) {
  ShapeCache cache(TestCatalogue(), Dialect::kPostgres);
  ParameterizedSql a = cache.Translate("SELECT d.IDC FROM THDocument d WHERE d.Number = 'A1'");
  EXPECT_NE(a.sql.find("= $1"), std::string::npos) << a.sql;
  EXPECT_THROW((void)cache.Translate("SELECT d.IDC FROM THDocument d WHERE d.Nope = 'A1'"),
               SqlError);
  EXPECT_THROW((void)cache.Translate("SELECT d.IDC FROM THDocument d; DROP TABLE x"), SqlError);
  EXPECT_EQ(cache.Size(), 1U);
}

TEST(ShapeCache, StartsAfreshWhenFull) {
  ShapeCache cache(TestCatalogue(), Dialect::kSqlite, 2);
  (void)cache.Translate("SELECT d.IDC FROM THDocument d WHERE d.IDC = 1");
  (void)cache.Translate("SELECT d.IDC FROM THDocument d WHERE d.IDC > 1");
  EXPECT_EQ(cache.Size(), 2U);
  ParameterizedSql c = cache.Translate("SELECT d.IDC FROM THDocument d WHERE d.IDC < 7");
  EXPECT_EQ(cache.Size(), 1U);
  EXPECT_EQ(c.values, (Values{7LL}));
}

}  // namespace
}  // namespace qts::sql
