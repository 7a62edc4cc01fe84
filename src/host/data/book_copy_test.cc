#include "host/data/book_copy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/testing/qts_matchers.h"
#include "db/connection.h"
#include "db/testing/test_server.h"
#include "host/data/app_context.h"
#include "host/sample/sample_book.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

class BookCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QTS_NEED_TEST_SERVER();
    server_ = std::make_unique<db::testing::ServerSchema>();
    source_ = AppContext::CreateBook((dir_.Path() / "source.db").string(), "UAB");
    sample::GenerateSampleBook(*source_, sample::SampleSize::kSmall, 1);
  }

  // The tables that differ between two books ("" when none), and the rows compared.
  static std::string Differing(AppContext& a, AppContext& b, int64_t* rows = nullptr) {
    std::string out;
    for (const TableComparison& t : CompareBooks(a, b)) {
      if (rows != nullptr) *rows += t.left_rows;
      if (!t.equal) out += (out.empty() ? "" : ",") + t.table;
    }
    return out;
  }

  qts::testing::TempDir dir_;
  std::unique_ptr<db::testing::ServerSchema> server_;
  std::shared_ptr<AppContext> source_;
};

TEST_F(BookCopyTest, ABookGoesToTheServerAndBackWithEveryRow) {
  std::vector<TableRows> copied;
  std::shared_ptr<AppContext> on_server = CopyBook(*source_, server_->Address(), &copied);
  EXPECT_EQ(on_server->Dialect(), sql::Dialect::kPostgres);
  int64_t rows = 0;
  EXPECT_EQ(Differing(*source_, *on_server, &rows), "");
  int64_t copied_rows = 0;
  for (const TableRows& t : copied) copied_rows += t.rows;
  EXPECT_EQ(copied_rows, rows);
  EXPECT_GT(rows, 1000);

  // Opened again by its address, the copy is the same book.
  std::shared_ptr<AppContext> reopened = AppContext::Open(server_->Address());
  EXPECT_EQ(reopened->Code(), "UAB");
  EXPECT_EQ(reopened->Settings().Find("SDProc")->Value(),
            source_->Settings().Find("SDProc")->Value());

  std::shared_ptr<AppContext> back = CopyBook(*on_server, (dir_.Path() / "back.db").string());
  EXPECT_EQ(back->Dialect(), sql::Dialect::kSqlite);
  EXPECT_EQ(Differing(*source_, *back), "");
}

// A copy on the server is planned on what it holds from its first query: the server knows how
// many rows its tables have (a table never analysed counts -1).
TEST_F(BookCopyTest, TheServerHasStatisticsOfTheCopyAtOnce) {
  std::shared_ptr<AppContext> on_server = CopyBook(*source_, server_->Address());
  db::StatementHandle tuples = on_server->Connection().Prepare(
      "SELECT reltuples FROM pg_catalog.pg_class WHERE oid = to_regclass('\"UAB$THGoodSpec\"')");
  ASSERT_TRUE(tuples->Step());
  db::StatementHandle rows =
      on_server->Connection().Prepare("SELECT count(*) FROM \"UAB$THGoodSpec\"");
  ASSERT_TRUE(rows->Step());
  EXPECT_GT(rows->GetInt64(0), 1000);
  // ANALYZE counts a table of this size in full; a larger one it would estimate closely.
  const double counted = static_cast<double>(rows->GetInt64(0));
  EXPECT_NEAR(tuples->GetDouble(0), counted, counted / 10);
}

TEST_F(BookCopyTest, TheCopysNumberingGoesOnPastTheCopiedKeys) {
  std::shared_ptr<AppContext> on_server = CopyBook(*source_, server_->Address());
  db::Connection& c = on_server->Connection();
  db::StatementHandle largest = c.Prepare("SELECT MAX(\"IDC\") FROM \"UAB$THDocument\"");
  ASSERT_TRUE(largest->Step());
  const int64_t before = largest->GetInt64(0);
  c.Execute(
      "INSERT INTO \"UAB$THDocument\" (\"DocTypeCode\", \"Number\", \"DocumentDate\") "
      "VALUES ('MMO', 'NEW-1', '2026-12-31')");
  EXPECT_EQ(c.LastInsertId(), before + 1);
}

TEST_F(BookCopyTest, TheComparisonFindsAChangedValueToTheLastDecimal) {
  std::shared_ptr<AppContext> on_server = CopyBook(*source_, server_->Address());
  on_server->Connection().Execute(
      "UPDATE \"UAB$THGoodSpec\" SET \"Summa\" = \"Summa\" + 0.0001 WHERE \"IDC\" = "
      "(SELECT MIN(\"IDC\") FROM \"UAB$THGoodSpec\")");
  EXPECT_EQ(Differing(*source_, *on_server), "THGoodSpec");
  on_server->Connection().Execute("DELETE FROM \"UAB$UserSettings\"");
  on_server->Connection().Execute(
      "INSERT INTO \"UAB$UserSettings\" (\"UserId\", \"Name\", \"Value\") VALUES (1, 'x', 'y')");
  EXPECT_EQ(Differing(*source_, *on_server), "UserSettings,THGoodSpec");
}

TEST_F(BookCopyTest, ATargetHoldingTheBookIsRefusedAndKeptAsItWas) {
  std::shared_ptr<AppContext> on_server = CopyBook(*source_, server_->Address());
  EXPECT_QTS_ERROR_TEXT((void)CopyBook(*source_, server_->Address()), kErrBook,
                        "holds a book \"UAB\" already");
  EXPECT_QTS_ERROR_TEXT((void)CopyBook(*source_, (dir_.Path() / "source.db").string()), kErrBook,
                        "exists already");
  EXPECT_EQ(Differing(*source_, *on_server), "");
}

TEST(BookOnServer, AServerThatRefusesTheLoginIsABookThatCannotBeOpened) {
  QTS_NEED_TEST_SERVER();
  const std::string address =
      db::testing::TestServerAddress() + " user=nobody_here password=s3cret";
  try {
    (void)AppContext::Open(address);
    FAIL() << "opened a book as a user the server does not know";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrBook);
    EXPECT_NE(e.Description().find("nobody_here"), std::string::npos) << e.Description();
    EXPECT_EQ(e.Description().find("s3cret"), std::string::npos) << e.Description();
  }
}

}  // namespace
}  // namespace qts::host
