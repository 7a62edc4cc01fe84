// Runs translated statements on a real in-memory SQLite database and checks that they give
// the answers the server gives. The library is opened at run time so that this test binary
// needs no link-time dependency on it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sql/testing/corpus.h"
#include "sql/testing/test_catalogue.h"
#include "sql/translator.h"

namespace qts::sql {
namespace {

using testing::TestCatalogue;

struct Api {
  decltype(&sqlite3_open) open = nullptr;
  decltype(&sqlite3_close) close = nullptr;
  decltype(&sqlite3_exec) exec = nullptr;
  decltype(&sqlite3_prepare_v2) prepare = nullptr;
  decltype(&sqlite3_step) step = nullptr;
  decltype(&sqlite3_finalize) finalize = nullptr;
  decltype(&sqlite3_column_count) column_count = nullptr;
  decltype(&sqlite3_column_type) column_type = nullptr;
  decltype(&sqlite3_column_text) column_text = nullptr;
  decltype(&sqlite3_errmsg) errmsg = nullptr;
  decltype(&sqlite3_create_function_v2) create_function = nullptr;
  decltype(&sqlite3_value_type) value_type = nullptr;
  decltype(&sqlite3_value_double) value_double = nullptr;
  decltype(&sqlite3_value_int) value_int = nullptr;
  decltype(&sqlite3_result_double) result_double = nullptr;
  decltype(&sqlite3_result_null) result_null = nullptr;

  static const Api* Load() {
    static const Api* api = []() -> const Api* {
      void* library = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_LOCAL);
      if (library == nullptr) return nullptr;
      static Api loaded;
      bool ok = true;
      auto get = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
        ok = ok && slot != nullptr;
      };
      get(loaded.open, "sqlite3_open");
      get(loaded.close, "sqlite3_close");
      get(loaded.exec, "sqlite3_exec");
      get(loaded.prepare, "sqlite3_prepare_v2");
      get(loaded.step, "sqlite3_step");
      get(loaded.finalize, "sqlite3_finalize");
      get(loaded.column_count, "sqlite3_column_count");
      get(loaded.column_type, "sqlite3_column_type");
      get(loaded.column_text, "sqlite3_column_text");
      get(loaded.errmsg, "sqlite3_errmsg");
      get(loaded.create_function, "sqlite3_create_function_v2");
      get(loaded.value_type, "sqlite3_value_type");
      get(loaded.value_double, "sqlite3_value_double");
      get(loaded.value_int, "sqlite3_value_int");
      get(loaded.result_double, "sqlite3_result_double");
      get(loaded.result_null, "sqlite3_result_null");
      return ok ? &loaded : nullptr;
    }();
    return api;
  }
};

// Half away from zero, as the server's ROUND; good enough for the test's values.
void TestRound(sqlite3_context* context, int, sqlite3_value** args) {
  const Api& api = *Api::Load();
  if (api.value_type(args[0]) == SQLITE_NULL || api.value_type(args[1]) == SQLITE_NULL) {
    api.result_null(context);
    return;
  }
  double scale = std::pow(10.0, api.value_int(args[1]));
  api.result_double(context, std::round(api.value_double(args[0]) * scale) / scale);
}

class SqliteRun : public ::testing::Test {
 protected:
  void SetUp() override {
    api_ = Api::Load();
    if (api_ == nullptr) GTEST_SKIP() << "libsqlite3.so.0 not available";
    ASSERT_EQ(api_->open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(api_->create_function(db_, "qts_round", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                    nullptr, &TestRound, nullptr, nullptr, nullptr),
              SQLITE_OK);
    Exec(R"(
      CREATE TABLE "C1$THDocument" (IDC INTEGER, DocTypeCode TEXT, DocumentDate TEXT,
        Number TEXT, Code TEXT, IsPosted INTEGER, ParentID INTEGER, Author INTEGER,
        StoreCode TEXT, CurrencyCode TEXT);
      INSERT INTO "C1$THDocument" VALUES (1, 'MMO', '2024-01-05', 'A-1', 'X', 1, 0, 12345, 'S1', 'EUR');
      INSERT INTO "C1$THDocument" VALUES (2, 'MMO', '2024-02-29', 'A-2', 'Y', 0, 1, 123456, 'S1', 'EUR');
      INSERT INTO "C1$THDocument" VALUES (3, 'PRS', '2023-12-31', NULL, 'Z', 1, 1, 7, 'S2', 'EUR');
      CREATE TABLE "C1$REFPerson" (UserId INTEGER, FirstName TEXT, LastName TEXT);
      INSERT INTO "C1$REFPerson" VALUES (12345, 'Jonas', 'Jonaitis');
      INSERT INTO "C1$REFPerson" VALUES (7, 'Ona', NULL);
      CREATE TABLE "C1$STLotProperty" (IDC INTEGER, OrderInfo TEXT);
      INSERT INTO "C1$STLotProperty" VALUES (1, 'CUST:MO#42');
      INSERT INTO "C1$STLotProperty" VALUES (2, 'no marks');
      INSERT INTO "C1$STLotProperty" VALUES (3, NULL);
      INSERT INTO "C1$STLotProperty" VALUES (4, ':#');
      CREATE TABLE "C1$THGoodSpec" (IDC INTEGER, DocID INTEGER, PosNumb INTEGER, GoodCode TEXT,
        UnitCode TEXT, Amount REAL, AmountAccount REAL, Price REAL, Summa REAL, CostSumm REAL,
        FixCategory INTEGER);
      INSERT INTO "C1$THGoodSpec" VALUES (10, 1, 1, 'G1', 'kg', 12.5, 12.5, 0.125, 1.5625, 1, 0);
      INSERT INTO "C1$THGoodSpec" VALUES (11, 1, 2, 'G2', 'vnt', 2, 2, 3.005, 6.01, 0, 0);
    )");
  }

  void TearDown() override {
    if (db_ != nullptr) api_->close(db_);
  }

  void Exec(const char* sql) {
    char* error = nullptr;
    int rc = api_->exec(db_, sql, nullptr, nullptr, &error);
    ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "");
  }

  // The rows of the translated statement, each a '|'-joined line, NULL written as "NULL".
  std::vector<std::string> Run(std::string_view tsql) {
    std::string sql = Translate(tsql, TestCatalogue(), Dialect::kSqlite);
    sqlite3_stmt* raw = nullptr;
    int rc = api_->prepare(db_, sql.c_str(), -1, &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, decltype(api_->finalize)> statement(raw, api_->finalize);
    EXPECT_EQ(rc, SQLITE_OK) << api_->errmsg(db_) << "\n" << sql;
    std::vector<std::string> rows;
    if (rc != SQLITE_OK) return rows;
    while ((rc = api_->step(raw)) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < api_->column_count(raw); ++i) {
        if (i > 0) row += '|';
        if (api_->column_type(raw, i) == SQLITE_NULL) {
          row += "NULL";
        } else {
          row += reinterpret_cast<const char*>(api_->column_text(raw, i));
        }
      }
      rows.push_back(std::move(row));
    }
    EXPECT_EQ(rc, SQLITE_DONE) << api_->errmsg(db_) << "\n" << sql;
    return rows;
  }

  const Api* api_ = nullptr;
  sqlite3* db_ = nullptr;
};

using Rows = std::vector<std::string>;

struct RunCase {
  const char* id;
  const char* tsql;
  Rows expected;
};

TEST_F(SqliteRun, GivesTheServersAnswers) {
  const RunCase cases[] = {
      {"charindex_absent_is_zero_null_stays_null",
       "SELECT p.IDC, charindex('#', p.OrderInfo) FROM STLotProperty p ORDER BY p.IDC",
       {"1|8", "2|0", "3|NULL", "4|2"}},
      {"left_right_counts_of_zero_or_less_give_empty",
       "SELECT LEFT(p.OrderInfo, 0), LEFT(p.OrderInfo, -2), RIGHT(p.OrderInfo, 0), "
       "RIGHT(p.OrderInfo, 0 - 3), RIGHT(p.OrderInfo, 2), RIGHT(p.OrderInfo, 50), "
       "LEFT(p.OrderInfo, 4) FROM STLotProperty p WHERE p.IDC = 1",
       {"||||42|CUST:MO#42|CUST"}},
      {"order_info_parts",
       "SELECT p.IDC, LEFT(p.OrderInfo, nullif(charindex(':', p.OrderInfo), 0) - 1), "
       "RIGHT(p.OrderInfo, LEN(p.OrderInfo) - charindex('#', p.OrderInfo)) "
       "FROM STLotProperty p ORDER BY p.IDC",
       {"1|CUST|42", "2|NULL|no marks", "3|NULL|NULL", "4||"}},
      {"cast_number_too_long_gives_star",
       "SELECT d.IDC, CAST(d.Author AS VARCHAR(5)) FROM THDocument d ORDER BY d.IDC",
       {"1|12345", "2|*", "3|7"}},
      {"cast_money_to_text_has_four_places",
       "SELECT CAST(gs.Amount AS VARCHAR(12)), CAST(gs.Amount AS VARCHAR(3)) FROM THGoodSpec gs "
       "WHERE gs.IDC = 10",
       {"12.5000|*"}},
      {"text_plus_null_is_null",
       "SELECT d.IDC, d.Number + '/' + d.Code FROM THDocument d ORDER BY d.IDC",
       {"1|A-1/X", "2|A-2/Y", "3|NULL"}},
      {"person_label",
       "SELECT d.IDC, CAST(d.Author AS VARCHAR(5)) + COALESCE(' : ' + Person.FirstName + ' ' + "
       "Person.LastName, '') FROM THDocument d LEFT JOIN REFPerson Person ON d.Author = "
       "Person.UserId ORDER BY d.IDC",
       {"1|12345 : Jonas Jonaitis", "2|*", "3|7"}},
      {"convert_102_and_date_literals",
       "SELECT CONVERT(CHAR(10), d.DocumentDate, 102) + ':' + d.Number FROM THDocument d "
       "WHERE d.DocumentDate BETWEEN '20240101' AND '20240229' ORDER BY d.DocumentDate",
       {"2024.01.05:A-1", "2024.02.29:A-2"}},
      {"round_uses_registered_function",
       "SELECT ROUND(gs.Amount * gs.Price, 2), ROUND(COALESCE(gs.Summa / NullIF(gs.CostSumm, 0), "
       "0), 4) "
       "FROM THGoodSpec gs ORDER BY gs.IDC",
       {"1.56|1.5625", "6.01|0.0"}},
      {"top_in_correlated_subquery",
       "SELECT d.IDC, (SELECT TOP 1 gs.GoodCode FROM THGoodSpec gs WHERE gs.DocID = d.IDC "
       "ORDER BY gs.PosNumb DESC) FROM THDocument d ORDER BY d.IDC",
       {"1|G2", "2|NULL", "3|NULL"}},
      {"top_in_union_member",
       "SELECT TOP 1 d.Code AS Code FROM THDocument d UNION ALL SELECT gs.GoodCode FROM THGoodSpec "
       "gs "
       "ORDER BY Code",
       {"G1", "G2", "X"}},
      {"substring_from_before_the_start",
       "SELECT SUBSTRING(p.OrderInfo, 0, 3), SUBSTRING(p.OrderInfo, -1, 3), SUBSTRING(p.OrderInfo, "
       "6, 2) "
       "FROM STLotProperty p WHERE p.IDC = 1",
       {"CU|C|MO"}},
      {"isnull_len_and_group",
       "SELECT gs.DocID, SUM(IsNull(gs.Amount, 0)) AS A, COUNT(*) AS N, MAX(LEN(gs.UnitCode + '  "
       "')) "
       "FROM THGoodSpec gs GROUP BY gs.DocID HAVING COUNT(*) > 1",
       {"1|14.5|2|3"}},
      {"exists_and_not_in",
       "SELECT d.IDC FROM THDocument d WHERE EXISTS (SELECT 1 FROM THGoodSpec gs WHERE gs.DocID = "
       "d.IDC) "
       "OR d.Author NOT IN (SELECT p.UserId FROM REFPerson p WHERE p.UserId < 100) ORDER BY d.IDC",
       {"1", "2"}},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(Run(c.tsql), c.expected);
  }
}

TEST_F(SqliteRun, PackagingDeclarationRunsAndSpreadsWeights) {
  Exec(R"(
    CREATE TABLE "C1$THDocType" (Code TEXT, IsIncome INTEGER, IsOrderDirect INTEGER, Category INTEGER);
    INSERT INTO "C1$THDocType" VALUES ('MMO', 0, 1, 0);
    CREATE TABLE "C1$REFGood" (Code TEXT, Name TEXT, Category INTEGER, SubCategory INTEGER,
      IsGroup INTEGER, IsDomManufact INTEGER);
    INSERT INTO "C1$REFGood" VALUES ('G3', 'Dėžė', 0, 80, 0, 1);
    CREATE TABLE "C1$REFGoodUnit" (GoodCode TEXT, UnitCode TEXT, IsAccount INTEGER, Rate REAL,
      Weight REAL, GrossWeight REAL, UnitWeightCode TEXT, PackType INTEGER, IsReusable INTEGER,
      PackMaterialKind TEXT);
    INSERT INTO "C1$REFGoodUnit" VALUES ('G3', 'kg', 1, 1, 2, 2.5, 'kg', 1, 0, 'P');
    CREATE TABLE "C1$PRSFTHDocument" (IDC INTEGER, DocID INTEGER, VATDirection TEXT);
    CREATE TABLE "C1$TPPRTHDocument" (IDC INTEGER, DocID INTEGER, VATDirection TEXT);
    CREATE TABLE "C1$PISFTHDocument" (IDC INTEGER, DocID INTEGER, VATDirection TEXT);
    INSERT INTO "C1$PRSFTHDocument" VALUES (1, 4, '30');
    CREATE TABLE "C1$REFDates" (IDC INTEGER);
    INSERT INTO "C1$REFDates" VALUES (1), (2), (3);
    CREATE TABLE "C1$THGoodSpecFixLog" (IDC INTEGER, OutcomeSpecID INTEGER, IncomeSpecID INTEGER,
      Amount REAL);
    CREATE TABLE "C1$THGoodContent" (SpecId INTEGER, CorSpecID INTEGER, AmountAccount REAL);
    INSERT INTO "C1$THDocument" VALUES (4, 'MMO', '2024-03-01', 'S-4', 'W', 1, 0, 1, 'S1', 'EUR');
    INSERT INTO "C1$THDocument" VALUES (5, 'MMO', '2025-01-01', 'S-5', 'W', 1, 0, 1, 'S1', 'EUR');
    INSERT INTO "C1$THGoodSpec" VALUES (20, 4, 1, 'G3', 'kg', 10, 10, 1, 10, 10, 0);
    INSERT INTO "C1$THGoodSpec" VALUES (21, 5, 1, 'G3', 'kg', 99, 99, 1, 99, 99, 0);
  )");
  // Sold 10 kg units of 2 kg net, 2.5 kg gross: 10 * 0.5 / 1000 t of packaging in f506 (own
  // manufacture, outgoing VAT direction not 10/20). The purchase-list row of the same document
  // has only zero columns and is filtered out; document 5 lies outside the period.
  Rows rows = Run(testing::PackagingDeclarationSql("20240101", "20241231", false));
  EXPECT_EQ(rows, Rows{"G3|kg|P|1|0|0|0|0|0.005|0|0|0|0|0|0|0|0|0|0|0|0|0"});
  // With the reusable flag only reusable units join: nothing to declare.
  EXPECT_TRUE(Run(testing::PackagingDeclarationSql("20240101", "20241231", true)).empty());
}

}  // namespace
}  // namespace qts::sql
