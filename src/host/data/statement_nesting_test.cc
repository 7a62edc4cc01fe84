// How deeply a statement may nest. SQLite's parser runs out of stack long before the server's
// does, at a depth that depends on what is nested in what; whatever the translator accepts must
// prepare on a SQLite book, and one level more must be refused by the translator itself, in both
// dialects, with a place in the statement.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "host/data/app_context.h"
#include "host/schema/schema.h"
#include "sql/sql_error.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

using sql::Dialect;

struct Nesting {
  const char* name;
  std::function<std::string(int)> statement;  // the statement nested n levels deep
};
void PrintTo(const Nesting& nesting, std::ostream* out) { *out << nesting.name; }

std::string Repeat(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

std::string Nest(const std::string& open, const std::string& inner, const std::string& close,
                 int n) {
  return Repeat(open, n) + inner + Repeat(close, n);
}

// Signs alternate so that no two minus signs make a comment.
std::string Signs(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += i % 2 == 0 ? '+' : '-';
  return out;
}

const std::string kFrom = " FROM THGoodSpec";

const Nesting kNestings[] = {
    {"Parentheses", [](int n) { return "SELECT " + Nest("(", "Price", ")", n) + kFrom; }},
    {"Signs", [](int n) { return "SELECT " + Signs(n) + "Price" + kFrom; }},
    {"Not", [](int n) { return "SELECT 1" + kFrom + " WHERE " + Repeat("NOT ", n) + "Price > 0"; }},
    {"Calls", [](int n) { return "SELECT " + Nest("ABS(", "Amount", ")", n) + kFrom; }},
    {"MoneyRounding", [](int n) { return "SELECT " + Nest("ROUND(", "Price", ", 2)", n) + kFrom; }},
    {"IsNull", [](int n) { return "SELECT " + Nest("ISNULL(", "Price", ", 1.5)", n) + kFrom; }},
    {"TextCalls", [](int n) { return "SELECT " + Nest("LTRIM(", "GoodCode", ")", n) + kFrom; }},
    {"RightOperands", [](int n) { return "SELECT " + Nest("Price - (", "Price", ")", n) + kFrom; }},
    {"MoneyProducts",
     [](int n) { return "SELECT Price" + Repeat(" * Price", n) + kFrom; }},  // nested calls
    {"Cases",
     [](int n) {
       return "SELECT " + Nest("CASE WHEN Price > 1 THEN ", "Price", " ELSE 0 END", n) + kFrom;
     }},
    {"Casts", [](int n) { return "SELECT " + Nest("CAST(", "Price", " AS MONEY)", n) + kFrom; }},
    {"Subqueries", [](int n) { return "SELECT " + Nest("(SELECT ", "1", ")", n) + kFrom; }},
    {"Exists",
     [](int n) {
       return "SELECT 1" + kFrom + " WHERE " + Nest("EXISTS (SELECT 1 WHERE ", "1 = 1", ")", n);
     }},
    {"InSubqueries",
     [](int n) {
       return "SELECT 1" + kFrom + " WHERE " + Nest("1 IN (SELECT 1 WHERE ", "1 = 1", ")", n);
     }},
    {"DerivedTables",
     [](int n) {
       return "SELECT * FROM " + Repeat("(SELECT * FROM ", n) + "THGoodSpec" + Repeat(") AS d", n);
     }},
    // The writes the host prepares, with '?' parameters.
    {"InsertedSigns",
     [](int n) {
       return "INSERT INTO THGoodSpec (DocID, PosNumb, Price) VALUES (?, ?, " + Signs(n) + "?)";
     }},
    {"UpdatedCases",
     [](int n) {
       return "UPDATE THGoodSpec SET Price = " +
              Nest("CASE WHEN Price > ? THEN ", "?", " ELSE Price END", n) + " WHERE IDC = ?";
     }},
    {"DeletedInSubqueries",
     [](int n) {
       return "DELETE FROM THGoodSpec WHERE " +
              Nest("DocID IN (SELECT IDC FROM THDocument WHERE ", "IDC = ?", ")", n);
     }},
};

class StatementNestingTest : public ::testing::TestWithParam<Nesting> {
 protected:
  static void SetUpTestSuite() { book_ = AppContext::CreateBook(":memory:", "C1"); }
  static void TearDownTestSuite() { book_.reset(); }

  static bool Translates(const std::string& tsql, Dialect dialect) {
    try {
      (void)sql::TranslateCommand(tsql, book_->Catalogue(), dialect);
      return true;
    } catch (const sql::SqlError&) {
      return false;
    }
  }

  static std::shared_ptr<AppContext> book_;
};

std::shared_ptr<AppContext> StatementNestingTest::book_;

TEST_P(StatementNestingTest, TheDeepestTranslationPreparesAndOneLevelMoreIsRefused) {
  const Nesting& nesting = GetParam();
  ASSERT_TRUE(Translates(nesting.statement(1), Dialect::kSqlite)) << nesting.statement(1);
  // The deepest nesting SQLite takes; the translator's own limit of 200 caps the search.
  int limit = 1;
  while (limit < 250 && Translates(nesting.statement(limit + 1), Dialect::kSqlite)) ++limit;
  ASSERT_LT(limit, 250) << "never refused";
  // The system's own statements nest at most six levels in any of these ways.
  EXPECT_GE(limit, 10);

  const std::string deepest = nesting.statement(limit);
  EXPECT_TRUE(Translates(deepest, Dialect::kPostgres)) << deepest;
  try {
    (void)book_->PrepareTsql(deepest);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "at " << limit << " levels: " << e.what() << "\n" << deepest;
  }

  const std::string over = nesting.statement(limit + 1);
  for (Dialect dialect : {Dialect::kSqlite, Dialect::kPostgres}) {
    SCOPED_TRACE(dialect == Dialect::kSqlite ? "sqlite" : "postgres");
    try {
      (void)sql::TranslateCommand(over, book_->Catalogue(), dialect);
      ADD_FAILURE() << "accepted at " << limit + 1 << " levels";
    } catch (const sql::SqlError& e) {
      EXPECT_NE(std::string(e.what()).find("nested too deeply"), std::string::npos) << e.what();
      EXPECT_EQ(e.Line(), 1);
      EXPECT_GE(e.Column(), 1);
      EXPECT_LE(e.Column(), static_cast<int>(over.size()));
    }
  }
  try {
    (void)book_->PrepareTsql(over);
    ADD_FAILURE() << "prepared at " << limit + 1 << " levels";
  } catch (const sql::SqlError&) {
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, StatementNestingTest, ::testing::ValuesIn(kNestings),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qts::host
