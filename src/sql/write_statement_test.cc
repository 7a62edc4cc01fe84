// INSERT, UPDATE and DELETE through the translator: the host's writes take the same road as its
// reads. Each case is the T-SQL, and what each backend gets (or the refusal).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/parser.h"
#include "sql/shape_cache.h"
#include "sql/sql_error.h"
#include "sql/testing/test_catalogue.h"

namespace qts::sql {
namespace {

using testing::TestCatalogue;
using Values = std::vector<ParameterValue>;

struct WriteCase {
  const char* id;
  const char* tsql;
  const char* sqlite;    // the SQLite text
  const char* postgres;  // the PostgreSQL text
  int parameter_count;   // the statement's own '?'s
  Values values;         // the literals made placeholders, after them
};

class WriteTranslation : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteTranslation, BothBackends) {
  const WriteCase& c = GetParam();
  const ParameterizedSql lite = TranslateParameterized(c.tsql, TestCatalogue(), Dialect::kSqlite);
  EXPECT_EQ(lite.sql, c.sqlite);
  EXPECT_EQ(lite.parameter_count, c.parameter_count);
  EXPECT_EQ(lite.values, c.values);
  const ParameterizedSql pg = TranslateParameterized(c.tsql, TestCatalogue(), Dialect::kPostgres);
  EXPECT_EQ(pg.sql, c.postgres);
  EXPECT_EQ(pg.parameter_count, c.parameter_count);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, WriteTranslation,
    ::testing::Values(
        WriteCase{"insert_parameters",
                  "INSERT INTO THGoodSpec (DocID, GoodCode, Amount) VALUES (?, ?, ?)",
                  "INSERT INTO \"C1$THGoodSpec\" (\"DocID\", \"GoodCode\", \"Amount\") VALUES "
                  "(?1, ?2, ?3)",
                  "INSERT INTO \"C1$THGoodSpec\" (\"DocID\", \"GoodCode\", \"Amount\") VALUES "
                  "($1, $2, $3)",
                  3,
                  {}},
        // Money literals are written as SQLite keeps money (ten-thousandths); a value with more
        // places is cut to four, as NUMERIC(19,4) keeps it. Plain values become placeholders.
        WriteCase{"insert_money_literals",
                  "insert into thgoodspec (docid, goodcode, amount, price) values "
                  "(1, 'G1', 2.5, 3), (2, N'G2', NULL, 0.00001)",
                  "INSERT INTO \"C1$THGoodSpec\" (\"DocID\", \"GoodCode\", \"Amount\", "
                  "\"Price\") VALUES (?1, ?2, 25000, 30000), (?3, ?4, NULL, "
                  "qts_cy(qts_dec('0.00001')))",
                  "INSERT INTO \"C1$THGoodSpec\" (\"DocID\", \"GoodCode\", \"Amount\", "
                  "\"Price\") VALUES ($1, $2, 2.5, $3), ($4, $5, NULL, 0.00001)",
                  0,
                  {1LL, "G1", 2LL, "G2"}},
        // The written table is named by its physical name, so a subquery's own alias of the
        // same table never hides it; its logical name still qualifies its columns.
        WriteCase{
            "update_arithmetic",
            "UPDATE THGoodSpec SET Amount = COALESCE(Amount, 0) + ?, Price = NULL "
            "WHERE THGoodSpec.IDC = ? AND GoodCode = 'X'",
            "UPDATE \"C1$THGoodSpec\" SET \"Amount\" = coalesce(\"C1$THGoodSpec\".\"Amount\", "
            "0) + ?1, \"Price\" = NULL WHERE \"C1$THGoodSpec\".\"IDC\" = ?2 AND "
            "\"C1$THGoodSpec\".\"GoodCode\" = ?3",
            "UPDATE \"C1$THGoodSpec\" SET \"Amount\" = coalesce(\"C1$THGoodSpec\".\"Amount\", "
            "0) + $1, \"Price\" = NULL WHERE \"C1$THGoodSpec\".\"IDC\" = $2 AND "
            "\"C1$THGoodSpec\".\"GoodCode\" = $3",
            2,
            {"X"}},
        WriteCase{"update_dates",
                  "UPDATE THDocument SET DocumentDate = '20240105', Number = 'X' "
                  "WHERE IDC = ? AND DocumentDate <= ?",
                  "UPDATE \"C1$THDocument\" SET \"DocumentDate\" = '2024-01-05', \"Number\" = ?3 "
                  "WHERE \"C1$THDocument\".\"IDC\" = ?1 AND \"C1$THDocument\".\"DocumentDate\" "
                  "<= ?2",
                  "UPDATE \"C1$THDocument\" SET \"DocumentDate\" = DATE '2024-01-05', \"Number\" "
                  "= $3 WHERE \"C1$THDocument\".\"IDC\" = $1 AND "
                  "\"C1$THDocument\".\"DocumentDate\" <= $2",
                  2,
                  {"X"}},
        WriteCase{"delete_correlated",
                  "DELETE FROM THGoodSpec WHERE NOT EXISTS (SELECT 1 FROM THGoodSpec s "
                  "WHERE s.IDC = THGoodSpec.IDC AND s.Amount > THGoodSpec.Amount * 2)",
                  "DELETE FROM \"C1$THGoodSpec\" WHERE NOT EXISTS (SELECT 1 FROM "
                  "\"C1$THGoodSpec\" AS \"s\" WHERE \"s\".\"IDC\" = \"C1$THGoodSpec\".\"IDC\" AND "
                  "\"s\".\"Amount\" > \"C1$THGoodSpec\".\"Amount\" * 2)",
                  "DELETE FROM \"C1$THGoodSpec\" WHERE NOT EXISTS (SELECT 1 FROM "
                  "\"C1$THGoodSpec\" AS \"s\" WHERE \"s\".\"IDC\" = \"C1$THGoodSpec\".\"IDC\" AND "
                  "\"s\".\"Amount\" > \"C1$THGoodSpec\".\"Amount\" * 2)",
                  0,
                  {}},
        WriteCase{"delete_in_subquery",
                  "DELETE THGoodSpec WHERE DocID IN (SELECT IDC FROM THDocument WHERE Number = ?)",
                  "DELETE FROM \"C1$THGoodSpec\" WHERE \"C1$THGoodSpec\".\"DocID\" IN (SELECT "
                  "\"THDocument\".\"IDC\" FROM \"C1$THDocument\" AS \"THDocument\" WHERE "
                  "\"THDocument\".\"Number\" = ?1)",
                  "DELETE FROM \"C1$THGoodSpec\" WHERE \"C1$THGoodSpec\".\"DocID\" IN (SELECT "
                  "\"THDocument\".\"IDC\" FROM \"C1$THDocument\" AS \"THDocument\" WHERE "
                  "\"THDocument\".\"Number\" = $1)",
                  1,
                  {}},
        // A search with parameters of its own: the literals are numbered after them.
        WriteCase{"select_parameters",
                  "SELECT TOP 1 IDC FROM THDocument WHERE Number = ? AND IDC > 5",
                  "SELECT \"THDocument\".\"IDC\" FROM \"C1$THDocument\" AS \"THDocument\" WHERE "
                  "\"THDocument\".\"Number\" = ?1 AND \"THDocument\".\"IDC\" > ?2 LIMIT 1",
                  "SELECT \"THDocument\".\"IDC\" FROM \"C1$THDocument\" AS \"THDocument\" WHERE "
                  "\"THDocument\".\"Number\" = $1 AND \"THDocument\".\"IDC\" > $2 LIMIT 1",
                  1,
                  {5LL}}),
    [](const auto& info) { return std::string(info.param.id); });

struct Refusal {
  const char* id;
  const char* tsql;
  const char* message;  // a part of the error's description
  int column;
};

class WriteRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(WriteRefusal, NamesTheFaultAndWhere) {
  const Refusal& r = GetParam();
  try {
    (void)TranslateParameterized(r.tsql, TestCatalogue(), Dialect::kSqlite);
    FAIL() << "translated: " << r.tsql;
  } catch (const SqlError& e) {
    EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
    EXPECT_EQ(e.Column(), r.column) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Writes, WriteRefusal,
    ::testing::Values(
        Refusal{"unknown_column", "UPDATE THDocument SET IsPossted = 1", "unknown column", 23},
        Refusal{"unknown_table", "DELETE FROM Nowhere", "unknown table 'Nowhere'", 1},
        Refusal{"column_twice", "INSERT INTO THDocument (Number, number) VALUES (1, 2)",
                "column 'Number' is written twice", 33},
        Refusal{"row_too_long", "INSERT INTO THDocument (Number) VALUES (1, 2)",
                "a row of 2 value(s) for 1 column(s)", 40},
        Refusal{"insert_select", "INSERT INTO THDocument (Number) SELECT 1", "INSERT ... SELECT",
                33},
        Refusal{"alias", "UPDATE THDocument d SET Number = 1", "alias of the written table", 19},
        Refusal{"update_from", "UPDATE THDocument SET Number = 1 FROM THGoodSpec",
                "UPDATE ... FROM", 34},
        Refusal{"qualified_set", "UPDATE THDocument SET THDocument.Number = 1",
                "qualified column in SET", 33},
        Refusal{"two_statements", "DELETE FROM THDocument; DELETE FROM THGoodSpec",
                "a second statement", 25},
        Refusal{"select_after_write", "DELETE FROM THDocument SELECT 1", "a second statement", 24}),
    [](const auto& info) { return std::string(info.param.id); });

// A query the host opens by its text (Query, `qts sql run`) binds nothing: a '?' there is
// refused, never run as NULL.
TEST(WriteStatements, AQueryTextTakesNoParameters) {
  try {
    (void)Translate("SELECT IDC FROM THDocument WHERE Number = ?", TestCatalogue(),
                    Dialect::kSqlite);
    FAIL() << "a parameter was accepted";
  } catch (const SqlError& e) {
    EXPECT_NE(std::string(e.what()).find("parameter ?"), std::string::npos) << e.what();
  }
  // And a write is no query.
  EXPECT_THROW((void)Translate("DELETE FROM THDocument", TestCatalogue(), Dialect::kSqlite),
               SqlError);
}

// A code column compared with a number: SQLite compares the number as the text it spells, and
// PostgreSQL, which has no text = integer, is given that text.
TEST(WriteStatements, ANumberComparedWithATextIsComparedAsItsText) {
  const char* tsql = "SELECT d.IDC FROM THDocument d WHERE d.Number = 77 AND 12 <> d.Code";
  EXPECT_EQ(
      Translate(tsql, TestCatalogue(), Dialect::kPostgres),
      "SELECT \"d\".\"IDC\" FROM \"C1$THDocument\" AS \"d\" WHERE \"d\".\"Number\" = '77' AND "
      "'12' <> \"d\".\"Code\"");
  EXPECT_EQ(Translate(tsql, TestCatalogue(), Dialect::kSqlite),
            "SELECT \"d\".\"IDC\" FROM \"C1$THDocument\" AS \"d\" WHERE \"d\".\"Number\" = 77 AND "
            "12 <> \"d\".\"Code\"");
}

// Written values have shapes too: the same write with other values is served from the kept
// translation.
TEST(WriteStatements, AWriteWithOtherValuesKeepsItsShape) {
  ShapeCache cache(TestCatalogue(), Dialect::kPostgres);
  const ParameterizedSql a =
      cache.Translate("UPDATE THDocument SET Number = 'A1', IsPosted = 1 WHERE IDC = ?");
  const ParameterizedSql b =
      cache.Translate("UPDATE THDocument SET Number = 'B22', IsPosted = 0 WHERE IDC = ?");
  EXPECT_EQ(a.sql, b.sql);
  EXPECT_EQ(b.values, (Values{"B22", 0LL}));
  EXPECT_EQ(b.parameter_count, 1);
  EXPECT_EQ(cache.Size(), 1U);
}

}  // namespace
}  // namespace qts::sql
