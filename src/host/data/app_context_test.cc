#include "host/data/app_context.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/connection.h"
#include "db/sqlite/sqlite_connection.h"
#include "host/data/query.h"
#include "host/schema/schema.h"
#include "host/schema/testing/seed.h"

namespace qts::host {
namespace {

namespace fs = std::filesystem;

// A scratch folder for book files, removed with its contents.
class BookFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qts_book_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST(AppContextTest, NewBookHasTypedSettings) {
  auto book = AppContext::CreateBook(":memory:", "ACME");
  EXPECT_EQ(book->BookName(), "ACME");
  EXPECT_EQ(book->Code(), "ACME");
  EXPECT_TRUE(book->IsOpen());
  const NamedValueList& s = book->Settings();
  EXPECT_EQ(s.Item("Code").Value().AsString(), "ACME");
  EXPECT_EQ(s.Item("AccountCurrency").Value().AsString(), "EUR");
  EXPECT_EQ(s.Item("SDProc").Value().Type(), VarType::kCurrency);
  EXPECT_EQ(s.Item("TransportAlgoritm").Value().Type(), VarType::kLong);
  EXPECT_EQ(s.Item("TransportAlgoritm").Kind(), Code(Kind::kLongId));
  EXPECT_TRUE(s.ExistsField("VSDProc"));
  EXPECT_EQ(book->Catalogue().Code(), "ACME");
  EXPECT_EQ(book->Dialect(), sql::Dialect::kSqlite);
}

TEST(AppContextTest, AContextWithoutADatabaseRefusesDataWork) {
  AppContext none;
  EXPECT_TRUE(none.BookName().empty());
  EXPECT_EQ(none.Settings().Count(), 0u);
  EXPECT_QTS_ERROR(none.Connection(), kErrBook);
  auto named = std::make_shared<AppContext>("Named");
  EXPECT_EQ(named->BookName(), "Named");
  EXPECT_QTS_ERROR(named->CreateQuery("REFGood"), kErrBook);
  EXPECT_QTS_ERROR(named->CreateObject("THDocument"), kErrBook);
  EXPECT_QTS_ERROR(named->CreateObject("NoSuchClass"), kErrCannotCreate);
}

TEST(AppContextTest, BadCodeIsRefusedBeforeAnythingIsWritten) {
  EXPECT_QTS_ERROR(AppContext::CreateBook(":memory:", "A B"), kErrInvalidCall);
  EXPECT_QTS_ERROR(AppContext::CreateBook(":memory:", ""), kErrInvalidCall);
}

TEST_F(BookFiles, CreateThenOpenFindsTheBookByItsSettings) {
  const std::string path = File("book.qts");
  {
    auto book = AppContext::CreateBook(path, "B1");
    qts::host::schema::testing::Seed(
        book->Connection(),
        "INSERT INTO \"B1$REFGood\"(\"Code\", \"Name\") VALUES ('G1', 'Flour')");
  }
  auto book = AppContext::Open(path);
  EXPECT_EQ(book->Code(), "B1");
  EXPECT_EQ(book->Path(), path);
  QueryPtr q = book->CreateQuery("REFGood");
  q->Open();
  EXPECT_EQ(q->RecordCount(), 1);
  // Opening by code, in any case.
  EXPECT_EQ(AppContext::Open(path, "b1")->Code(), "B1");
  EXPECT_QTS_ERROR(AppContext::Open(path, "B2"), kErrBook);
}

TEST_F(BookFiles, ExistingFilesAreNotOverwritten) {
  const std::string path = File("book.qts");
  (void)AppContext::CreateBook(path, "B1");
  EXPECT_QTS_ERROR(AppContext::CreateBook(path, "B1"), kErrBook);
  EXPECT_QTS_ERROR(AppContext::CreateBook(path, "B2"), kErrBook);
  // Asked to, a second book joins the database; the same code twice is still refused.
  (void)AppContext::CreateBook(path, "B2", true);
  EXPECT_QTS_ERROR(AppContext::CreateBook(path, "b1", true), kErrBook);
  // With two books, opening needs the code.
  EXPECT_QTS_ERROR_TEXT(AppContext::Open(path), kErrBook, "B1, B2");
  EXPECT_EQ(AppContext::Open(path, "B2")->Code(), "B2");

  const std::string text = File("notes.txt");
  std::ofstream(text) << "not a book";
  EXPECT_THROW((void)AppContext::CreateBook(text, "B1"), Error);
  std::ifstream in(text);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "not a book");
}

TEST_F(BookFiles, OpenRefusesMissingAndEmptyDatabases) {
  EXPECT_QTS_ERROR(AppContext::Open(File("missing.qts")), kErrBook);
  EXPECT_FALSE(fs::exists(File("missing.qts")));
  { auto empty = db::SqliteConnection::Open(File("empty.qts")); }
  EXPECT_QTS_ERROR(AppContext::Open(File("empty.qts")), kErrBook);
}

// A failing creation leaves nothing: a table of the book's name already there makes the DDL
// fail half-way, and the transaction takes back what was made before it.
TEST_F(BookFiles, FailedCreationLeavesNoPartOfTheBook) {
  const std::string path = File("clash.qts");
  {
    auto c = db::SqliteConnection::Open(path);
    c->Execute("CREATE TABLE \"B1$THDocument\"(x INTEGER)");
  }
  EXPECT_THROW((void)AppContext::CreateBook(path, "B1", true), Error);

  auto c = db::SqliteConnection::Open(path);
  db::StatementHandle s = c->Prepare("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'");
  ASSERT_TRUE(s->Step());
  EXPECT_EQ(s->GetInt64(0), 1);
}

}  // namespace
}  // namespace qts::host
