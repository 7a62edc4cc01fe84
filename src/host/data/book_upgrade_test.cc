#include "host/data/book_upgrade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/testing/qts_matchers.h"
#include "db/connection.h"
#include "db/open_database.h"
#include "db/testing/test_server.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/book_copy.h"
#include "host/data/query.h"
#include "host/documents/stock_facts.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"
#include "host/schema/schema_text.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

std::string Bytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Table(const std::string& code, std::string_view logical) {
  return schema::QuoteIdentifier(schema::PhysicalName(code, logical));
}

void SetStoredVersion(db::Connection& c, const std::string& code, std::string_view version) {
  c.Execute("UPDATE " + Table(code, "Settings") + " SET " + schema::QuoteIdentifier("Value") +
            " = '" + std::string(version) + "' WHERE " + schema::QuoteIdentifier("Name") +
            " = 'SchemaVersion'");
}

// The view of the not-fixed receipt rows as version 5 made it: the rows first, each looking up
// its document. The same rows as version 6's, which reads them through their documents.
constexpr std::string_view kVersion5NotFixed =
    "SELECT s.IDC, s.DocID, s.PosNumb, d.DocumentDate, d.StoreCode, s.GoodCode, s.UnitCode,"
    " s.LotPropertyID, s.FixCategory, s.AmountAccount - COALESCE(k.Amount, 0) AS AmountAccount,"
    " CASE WHEN s.AmountAccount = 0 THEN 0 ELSE ROUND(s.CostSumm * (s.AmountAccount -"
    " COALESCE(k.Amount, 0)) / s.AmountAccount, 2) END AS CostSumm FROM THGoodSpec s"
    " INNER JOIN THDocument d ON d.IDC = s.DocID INNER JOIN THDocType t ON t.Code = d.DocTypeCode"
    " LEFT JOIN THGoodSpecFixed k ON k.SpecID = s.IDC"
    " WHERE d.IsPosted = 1 AND t.IsStock = 1 AND t.IsIncome = 1";

// The SQL the database keeps for `view` of book `code` (SQLite).
std::string StoredViewSql(db::Connection& c, const std::string& code, std::string_view view) {
  db::StatementHandle s =
      c.Prepare("SELECT sql FROM sqlite_schema WHERE type = 'view' AND name = '" +
                schema::PhysicalName(code, view) + "'");
  return s->Step() ? s->GetText(0) : "(no view)";
}

// Every row of the database view of `logical` in book `code`, each as its cells joined by '|',
// sorted.
std::vector<std::string> ViewRows(db::Connection& c, const std::string& code,
                                  std::string_view logical) {
  db::StatementHandle s = c.Prepare("SELECT * FROM " + Table(code, logical));
  std::vector<std::string> rows;
  while (s->Step()) {
    std::string row;
    for (int i = 0; i < s->ColumnCount(); ++i) row += (s->IsNull(i) ? "NULL" : s->GetText(i)) + "|";
    rows.push_back(std::move(row));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Every index of the database (SQLite), each as its name and SQL, sorted.
std::vector<std::string> StoredIndexes(db::Connection& c) {
  db::StatementHandle s = c.Prepare(
      "SELECT name || ': ' || COALESCE(sql, '') FROM sqlite_schema WHERE type = 'index' ORDER BY "
      "1");
  std::vector<std::string> out;
  while (s->Step()) out.push_back(s->GetText(0));
  return out;
}

// Takes a book of this build back to the stored form of version 6: the rows' lot index on the
// lot alone, the version 6 recorded.
void UndoVersion7(db::Connection& c, const std::string& code) {
  db::Transaction t(c);
  const std::string rows = schema::PhysicalName(code, "THGoodSpec");
  c.Execute("DROP INDEX " + schema::QuoteIdentifier(rows + "$LotPropertyID_DocID"));
  c.Execute("CREATE INDEX " + schema::QuoteIdentifier(rows + "$LotPropertyID") + " ON " +
            schema::QuoteIdentifier(rows) + " (" + schema::QuoteIdentifier("LotPropertyID") + ")");
  SetStoredVersion(c, code, "6");
  t.Commit();
}

// Takes a version 6 book back to the stored form of version 5: the view of the not-fixed
// receipt rows as version 5 made it, no index of the goods' units by accounting flag, the
// version 5 recorded.
void UndoVersion6(db::Connection& c, const std::string& code) {
  db::Transaction t(c);
  c.Execute("DROP INDEX " + schema::QuoteIdentifier(schema::PhysicalName(code, "REFGoodUnit") +
                                                    "$GoodCode_IsAccount_UnitCode"));
  c.Execute("DROP VIEW " + Table(code, "THGoodSpecNotFixed"));
  c.Execute("CREATE VIEW " + Table(code, "THGoodSpecNotFixed") + " AS " +
            sql::Translate(kVersion5NotFixed, schema::BookCatalogue(code), schema::DialectOf(c)));
  SetStoredVersion(c, code, "5");
  t.Commit();
}

// Takes a version 5 book back to the stored form of version 4: no kept receipt totals, the
// version 4 recorded. THDocGoodFixRest is no view of the database either.
void UndoVersion5(db::Connection& c, const std::string& code) {
  db::Transaction t(c);
  c.Execute("DROP TABLE " + Table(code, "THGoodFixTotal"));
  SetStoredVersion(c, code, "4");
  t.Commit();
}

// Takes a version 4 book back to the stored form of version 3: no kept stock rests, the
// version 3 recorded. STStoreRest is no view of the database (its statement is inlined by the
// builder), so no view changes.
void UndoVersion4(db::Connection& c, const std::string& code) {
  db::Transaction t(c);
  c.Execute("DROP TABLE " + Table(code, "STStoreGoodRest"));
  SetStoredVersion(c, code, "3");
  t.Commit();
}

// Takes a version 3 book back to the stored form of version 2: no kept stock facts, no
// date index of the documents, the not-fixed rows summed from the links in their view, the
// version 2 recorded.
void UndoVersion3(db::Connection& c, const std::string& code) {
  const sql::Dialect dialect = schema::DialectOf(c);
  const schema::BookCatalogue catalogue(code);
  db::Transaction t(c);
  c.Execute("DROP VIEW " + Table(code, "THGoodSpecPISF"));
  c.Execute("DROP VIEW " + Table(code, "THGoodSpecNotFixed"));
  c.Execute("DROP TABLE " + Table(code, "THGoodSpecFixed"));
  c.Execute("DROP INDEX " +
            schema::QuoteIdentifier(schema::PhysicalName(code, "THDocument") + "$DocumentDate"));
  for (const char* view : {"THGoodSpecNotFixed", "THGoodSpecPISF"}) {
    c.Execute("CREATE VIEW " + Table(code, view) + " AS " +
              sql::Translate(schema::PlainSourceSql(view, {}), catalogue, dialect));
  }
  SetStoredVersion(c, code, "2");
  t.Commit();
}

// Takes a version 2 book in an SQLite file back to version 1: money and quantities kept as
// REAL (the decimal value, not ten-thousandths), without the views.
void UndoVersion2(db::Connection& c, const std::string& code) {
  c.Execute("PRAGMA foreign_keys = OFF");
  {
    db::Transaction t(c);
    c.Execute("DROP VIEW " + Table(code, "THGoodSpecPISF"));
    c.Execute("DROP VIEW " + Table(code, "THGoodSpecNotFixed"));
    for (const schema::SourceDef& s : schema::Sources()) {
      if (s.kind != schema::SourceKind::kTable || s.name == "THGoodSpecFixed" ||
          s.name == "STStoreGoodRest" || s.name == "THGoodFixTotal") {
        continue;
      }
      std::string columns;
      bool money = false;
      for (const schema::ColumnDef& col : s.columns) {
        const std::string name = schema::QuoteIdentifier(col.name);
        columns += columns.empty() ? "" : ", ";
        if (col.type == sql::SqlType::kNumber) {
          columns += "CAST(" + name + " AS REAL) / 10000.0 AS " + name;
          money = true;
        } else {
          columns += name;
        }
      }
      if (!money) continue;
      const std::string old = schema::QuoteIdentifier(schema::PhysicalName(code, s.name) + "$v1");
      c.Execute("CREATE TABLE " + old + " AS SELECT " + columns + " FROM " + Table(code, s.name));
      c.Execute("DROP TABLE " + Table(code, s.name));
      c.Execute("ALTER TABLE " + old + " RENAME TO " + Table(code, s.name));
    }
    SetStoredVersion(c, code, "1");
    t.Commit();
  }
  c.Execute("PRAGMA foreign_keys = ON");
}

// A value of the book's own SQL, through its connection.
std::string ScalarText(db::Connection& c, const std::string& sql) {
  db::StatementHandle s = c.Prepare(sql);
  EXPECT_TRUE(s->Step()) << sql;
  return s->IsNull(0) ? "NULL" : s->GetText(0);
}

// The tables that differ between two books ("" when none).
std::string Differing(AppContext& a, AppContext& b) {
  std::string out;
  for (const TableComparison& t : CompareBooks(a, b)) {
    if (!t.equal) out += (out.empty() ? "" : ",") + t.table;
  }
  return out;
}

class BookUpgradeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new qts::testing::TempDir();
    // One sample book for every test: each works on a copy of it.
    auto book = AppContext::CreateBook(Sample(), "UAB");
    sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 1);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Sample() { return (dir_->Path() / "sample.db").string(); }

  // A copy of the sample book, of this build's version.
  std::string Copy(const std::string& name) {
    const std::string file = (dir_->Path() / name).string();
    std::filesystem::copy_file(Sample(), file, std::filesystem::copy_options::overwrite_existing);
    return file;
  }
  // A copy of the sample book taken back to version `version` (1 to 6).
  std::string CopyOfVersion(const std::string& name, int version) {
    const std::string file = Copy(name);
    std::unique_ptr<db::Connection> c = db::OpenDatabase(file);
    UndoVersion7(*c, "UAB");
    if (version <= 5) UndoVersion6(*c, "UAB");
    if (version <= 4) UndoVersion5(*c, "UAB");
    if (version <= 3) UndoVersion4(*c, "UAB");
    if (version <= 2) UndoVersion3(*c, "UAB");
    if (version == 1) UndoVersion2(*c, "UAB");
    return file;
  }

  static qts::testing::TempDir* dir_;
};

qts::testing::TempDir* BookUpgradeTest::dir_ = nullptr;

// Every row of `source` on `date` in `book`, each as its cells joined by '|', sorted.
std::vector<std::string> RowsOn(AppContext& book, const char* source, const std::string& date) {
  db::StatementHandle s = book.PrepareTsql(schema::SourceSql(source, {{"DateRest", date}}));
  std::vector<std::string> rows;
  while (s->Step()) {
    std::string row;
    for (int c = 0; c < s->ColumnCount(); ++c) {
      row += (c ? "|" : "") + (s->IsNull(c) ? std::string("NULL") : s->GetText(c));
    }
    rows.push_back(std::move(row));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Checks that the book in `file`, of stored form `version`, is refused when opened (saying how
// to upgrade it) and left byte for byte as it was; then upgrades it and checks the upgrade: from
// `version` to this build's, one step per version named in order, and the copy made first
// holding the old file byte for byte.
void RefuseThenUpgrade(const std::string& file, int version) {
  const std::string before = Bytes(file);
  const std::string from = std::to_string(version);
  EXPECT_QTS_ERROR_TEXT(AppContext::Open(file), kErrBook, "version " + from,
                        "reads version " + std::to_string(schema::kSchemaVersion),
                        "qts book upgrade --book " + file, file + ".v" + from + ".bak");
  EXPECT_EQ(Bytes(file), before) << "a refused open changed the file";

  const BookUpgrade done = UpgradeBook(file);
  EXPECT_EQ(done.code, "UAB");
  EXPECT_EQ(done.from, version);
  EXPECT_EQ(done.to, schema::kSchemaVersion);
  EXPECT_EQ(done.backup, file + ".v" + from + ".bak");
  EXPECT_EQ(done.steps.size(), static_cast<size_t>(schema::kSchemaVersion - version));
  for (size_t i = 0; i < done.steps.size(); ++i) {
    const int step = version + static_cast<int>(i);
    EXPECT_NE(
        done.steps[i].find("version " + std::to_string(step) + " to " + std::to_string(step + 1)),
        std::string::npos)
        << done.steps[i];
  }
  EXPECT_EQ(Bytes(done.backup), before);
}

// Version 6 to 7: the rows' lot index is made again on the lot and the document; the indexes
// are then those of a book this build makes, the rest of the book is untouched, the book check
// is clean, and the copy is the version 6 file.
TEST_F(BookUpgradeTest, AVersion6BookGetsTheLotIndexByDocument) {
  const std::string file = CopyOfVersion("v6.db", 6);
  {
    std::unique_ptr<db::Connection> c = db::OpenDatabase(file);
    ASSERT_NE(StoredIndexes(*c), StoredIndexes(AppContext::Open(Sample())->Connection()));
  }
  RefuseThenUpgrade(file, 6);

  auto upgraded = AppContext::Open(file);
  auto sample = AppContext::Open(Sample());
  EXPECT_EQ(StoredIndexes(upgraded->Connection()), StoredIndexes(sample->Connection()));
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  EXPECT_TRUE(StockFacts(*upgraded).Check().empty());
}

// Version 5 to 6: the view of the not-fixed receipt rows is made again as this build makes it,
// and the goods' units get their index; the view gives the same rows, the rest of the book is
// untouched, and the copy is the version 5 file.
TEST_F(BookUpgradeTest, AVersion5BookGetsTheNotFixedViewMadeAgain) {
  const std::string file = CopyOfVersion("v5.db", 5);
  std::vector<std::string> rows_before;
  {
    std::unique_ptr<db::Connection> c = db::OpenDatabase(file);
    ASSERT_NE(StoredViewSql(*c, "UAB", "THGoodSpecNotFixed"),
              StoredViewSql(AppContext::Open(Sample())->Connection(), "UAB", "THGoodSpecNotFixed"));
    rows_before = ViewRows(*c, "UAB", "THGoodSpecNotFixed");
  }
  ASSERT_GT(rows_before.size(), 100u);
  RefuseThenUpgrade(file, 5);

  auto upgraded = AppContext::Open(file);
  auto sample = AppContext::Open(Sample());
  EXPECT_EQ(StoredViewSql(upgraded->Connection(), "UAB", "THGoodSpecNotFixed"),
            StoredViewSql(sample->Connection(), "UAB", "THGoodSpecNotFixed"));
  EXPECT_EQ(StoredIndexes(upgraded->Connection()), StoredIndexes(sample->Connection()));
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  EXPECT_TRUE(StockFacts(*upgraded).Check().empty());
  EXPECT_EQ(ViewRows(upgraded->Connection(), "UAB", "THGoodSpecNotFixed"), rows_before);
}

// Version 4 to 6: the kept receipt totals are made and computed from the posted rows, as the
// book check's repair computes them; the book check is clean after it, the fixed rests on any
// date are those of the same book made at version 5, and the copy is the version 4 file.
TEST_F(BookUpgradeTest, AVersion4BookGetsTheKeptReceiptTotals) {
  const std::string file = CopyOfVersion("v4.db", 4);
  RefuseThenUpgrade(file, 4);

  auto upgraded = AppContext::Open(file);
  auto sample = AppContext::Open(Sample());
  const std::vector<StockFactDifference> found = StockFacts(*upgraded).Check();
  EXPECT_TRUE(found.empty()) << found.size() << " differences, the first: " << found[0].what;
  EXPECT_GT(std::stoll(ScalarText(upgraded->Connection(),
                                  "SELECT count(*) FROM " + Table("UAB", "THGoodFixTotal"))),
            100);
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  for (const char* date : {"'2026-01-31'", "'2026-07-01'", "'2026-12-31'", "'9999-12-31'"}) {
    SCOPED_TRACE(date);
    const std::vector<std::string> rests = RowsOn(*upgraded, "THDocGoodFixRest", date);
    EXPECT_GT(rests.size(), 10u);
    EXPECT_EQ(rests, RowsOn(*sample, "THDocGoodFixRest", date));
  }
}

// Version 3 to 6: the kept stock rests are made and computed from the posted rows, as the
// book check's repair computes them; the book check is clean after it, the stock rests on any
// date are those of the same book made at version 4, and the copy is the version 3 file.
TEST_F(BookUpgradeTest, AVersion3BookGetsTheKeptStockRests) {
  const std::string file = CopyOfVersion("v3.db", 3);
  RefuseThenUpgrade(file, 3);

  auto upgraded = AppContext::Open(file);
  auto sample = AppContext::Open(Sample());
  const std::vector<StockFactDifference> found = StockFacts(*upgraded).Check();
  EXPECT_TRUE(found.empty()) << found.size() << " differences, the first: " << found[0].what;
  EXPECT_GT(std::stoll(ScalarText(upgraded->Connection(),
                                  "SELECT count(*) FROM " + Table("UAB", "STStoreGoodRest"))),
            100);
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  for (const char* date : {"'2026-01-31'", "'2026-07-01'", "'2026-12-31'", "'9999-12-31'"}) {
    SCOPED_TRACE(date);
    const std::vector<std::string> rests = RowsOn(*upgraded, "STStoreRest", date);
    EXPECT_GT(rests.size(), 10u);
    EXPECT_EQ(rests, RowsOn(*sample, "STStoreRest", date));
  }
}

// Version 2 to 6: the kept stock facts are computed from the links, the kept stock rests and
// receipt totals from the posted rows; every row of the book is as it was (the facts and rests
// included: they equal those the sample generator kept), the copy holds the old file byte for byte,
// and the book passes the book check.
TEST_F(BookUpgradeTest, AVersion2BookIsCopiedThenUpgradedWithItsRowsUnchanged) {
  const std::string file = CopyOfVersion("v2.db", 2);
  RefuseThenUpgrade(file, 2);

  auto upgraded = AppContext::Open(file);
  auto sample = AppContext::Open(Sample());
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  EXPECT_EQ(StoredIndexes(upgraded->Connection()), StoredIndexes(sample->Connection()));
  EXPECT_TRUE(StockFacts(*upgraded).Check().empty());
  for (const char* kept : {"THGoodSpecFixed", "STStoreGoodRest", "THGoodFixTotal"}) {
    EXPECT_GT(std::stoll(
                  ScalarText(upgraded->Connection(), "SELECT count(*) FROM " + Table("UAB", kept))),
              100)
        << kept;
  }
  // The book's queries read the kept facts again.
  auto not_fixed = upgraded->CreateQuery("THGoodSpecNotFixed");
  not_fixed->Open();
  EXPECT_GT(not_fixed->RecordCount(), 0);
}

// Version 1 kept amounts as REAL: the upgrade makes each table with amounts again in whole
// ten-thousandths, reading a REAL as the decimal it stands for (5.47475 is a tie, rounded
// away from zero), and its foreign keys, keys and numbering hold.
TEST_F(BookUpgradeTest, AVersion1BookKeepsItsAmountsInTenThousandths) {
  const std::string file = CopyOfVersion("v1.db", 1);
  const std::string rates = Table("UAB", "REFCurrencyRate");
  const std::string rate = schema::QuoteIdentifier("Rate");
  const std::string first = " WHERE " + schema::QuoteIdentifier("IDC") + " = (SELECT MIN(" +
                            schema::QuoteIdentifier("IDC") + ") FROM " + rates + ")";
  {
    std::unique_ptr<db::Connection> c = db::OpenDatabase(file);
    EXPECT_EQ(ScalarText(*c, "SELECT typeof(" + rate + ") FROM " + rates + first), "real");
    c->Execute("UPDATE " + rates + " SET " + rate + " = 5.47475" + first);
  }
  RefuseThenUpgrade(file, 1);

  auto upgraded = AppContext::Open(file);
  db::Connection& c = upgraded->Connection();
  EXPECT_EQ(ScalarText(c, "SELECT " + rate + " FROM " + rates + first), "54748");
  EXPECT_FALSE(c.Prepare("PRAGMA foreign_key_check")->Step()) << "a row breaks a foreign key";
  // The rate aside, the book is the sample book.
  auto sample = AppContext::Open(Copy("reference.db"));
  sample->Connection().Execute("UPDATE " + rates + " SET " + rate + " = 54748" + first);
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  EXPECT_EQ(StoredIndexes(c), StoredIndexes(sample->Connection()));
  EXPECT_TRUE(StockFacts(*upgraded).Check().empty());
  // The rows' numbering goes on after the old rows, and an amount that is no whole number of
  // ten-thousandths is refused, as in a book made by this build.
  const std::string rows = Table("UAB", "THGoodSpec");
  EXPECT_EQ(ScalarText(c, "SELECT seq FROM sqlite_sequence WHERE name = '" +
                              schema::PhysicalName("UAB", "THGoodSpec") + "'"),
            ScalarText(c, "SELECT MAX(" + schema::QuoteIdentifier("IDC") + ") FROM " + rows));
  EXPECT_QTS_ERROR(c.Execute("UPDATE " + rates + " SET " + rate + " = 1.5" + first),
                   db::kErrConstraint);
}

// A copy is never written over: with BOOK.v2.bak there already, the next is BOOK.v2.1.bak.
TEST_F(BookUpgradeTest, AnExistingCopyIsKept) {
  const std::string file = CopyOfVersion("again.db", 2);
  { std::ofstream(file + ".v2.bak") << "an older copy"; }
  const BookUpgrade done = UpgradeBook(file);
  EXPECT_EQ(done.backup, file + ".v2.1.bak");
  EXPECT_EQ(Bytes(file + ".v2.bak"), "an older copy");
  // Upgraded already: nothing more is done, and no copy made.
  const std::string now = Bytes(file);
  const BookUpgrade again = UpgradeBook(file);
  EXPECT_EQ(again.from, schema::kSchemaVersion);
  EXPECT_EQ(again.to, schema::kSchemaVersion);
  EXPECT_EQ(again.backup, "");
  EXPECT_FALSE(std::filesystem::exists(file + ".v2.2.bak"));
  EXPECT_EQ(Bytes(file), now);
}

// A version this build cannot read is refused by Open and by the upgrade, and the file is left
// byte for byte as it was, with no copy made.
struct Refused {
  const char* stored;
  const char* says;
};

class RefusedVersionTest : public BookUpgradeTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedVersionTest, OpenAndUpgradeLeaveTheFileAsItWas) {
  const std::string file = Copy("refused.db");
  {
    std::unique_ptr<db::Connection> c = db::OpenDatabase(file);
    SetStoredVersion(*c, "UAB", GetParam().stored);
  }
  const std::string before = Bytes(file);
  EXPECT_QTS_ERROR_TEXT(AppContext::Open(file), kErrBook, GetParam().says);
  EXPECT_QTS_ERROR_TEXT(UpgradeBook(file), kErrBook, GetParam().says);
  EXPECT_EQ(Bytes(file), before);
  for (const auto& entry : std::filesystem::directory_iterator(dir_->Path())) {
    EXPECT_EQ(entry.path().string().find("refused.db.v"), std::string::npos) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, RefusedVersionTest,
                         ::testing::Values(Refused{"8", "version 8, newer than this qts knows"},
                                           Refused{"8", "update qts"},
                                           Refused{"999", "version 999"},
                                           Refused{"0", "cannot be upgraded"},
                                           Refused{"", "cannot be upgraded"},
                                           Refused{"3x", "no stored form this qts knows"},
                                           Refused{"-2", "cannot be upgraded"}));

// On a server the book is not copied: without the word that the database was backed up the
// upgrade is refused and changes nothing; with it the book is upgraded in one transaction.
TEST_F(BookUpgradeTest, ABookOnAServerIsUpgradedOnlyOnceBackedUp) {
  QTS_NEED_TEST_SERVER();
  db::testing::ServerSchema server;
  {
    auto source = AppContext::Open(Sample());
    (void)CopyBook(*source, server.Address());
  }
  {
    std::unique_ptr<db::Connection> c = db::OpenDatabase(server.Address());
    UndoVersion7(*c, "UAB");
    UndoVersion6(*c, "UAB");
    UndoVersion5(*c, "UAB");
    UndoVersion4(*c, "UAB");
    UndoVersion3(*c, "UAB");
  }
  EXPECT_QTS_ERROR_TEXT(AppContext::Open(server.Address()), kErrBook, "version 2", "--backed-up",
                        "back up the database first");
  EXPECT_QTS_ERROR_TEXT(UpgradeBook(server.Address()), kErrBook, "back up the database first",
                        "--backed-up");
  {
    std::unique_ptr<db::Connection> c = db::OpenDatabase(server.Address());
    EXPECT_EQ(AppContext::StoredSchemaVersion(*c, "UAB"), 2);
  }
  const BookUpgrade done = UpgradeBook(server.Address(), "", true);
  EXPECT_EQ(done.from, 2);
  EXPECT_EQ(done.backup, "");
  auto upgraded = AppContext::Open(server.Address());
  auto sample = AppContext::Open(Sample());
  EXPECT_EQ(Differing(*upgraded, *sample), "");
  EXPECT_TRUE(StockFacts(*upgraded).Check().empty());
}

}  // namespace
}  // namespace qts::host
