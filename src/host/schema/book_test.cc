// The integrity a book's tables enforce and the stock model of its derived sources, on a real
// SQLite book.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/db_error.h"
#include "host/schema/schema.h"
#include "host/schema/testing/sqlite_book.h"
#include "sql/translator.h"

namespace qts::host::schema {
namespace {

using sql::SqlType;
using sqlite_book::CreateBook;
using sqlite_book::Db;

using sqlite_book::MustExec;
using sqlite_book::Number;
using sqlite_book::OpenMemory;
using sqlite_book::Rows;
using sqlite_book::Runnable;

// --- The integrity the tables enforce ---

class BookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = OpenMemory();
    CreateBook(*db_, "B");
    MustExec(*db_,
             "INSERT INTO \"B$STStore\" (Code, Name) VALUES ('S1', 'Main'), ('S2', 'Other');"
             "INSERT INTO \"B$REFGood\" (Code, Name, IsGroup) VALUES ('G1', 'Group', 1),"
             " ('P1', 'Paint', 0);");
  }

  // A document with one row; returns the row's IDC.
  int AddDoc(int idc, const std::string& type, const std::string& date, int posted,
             const std::string& store, double amount_account, double cost) {
    const std::string id = std::to_string(idc);
    MustExec(*db_,
             "INSERT INTO \"B$THDocument\" (IDC, DocTypeCode, Number, DocumentDate, "
             "IsPosted, StoreCode) VALUES (" +
                 id + ", '" + type + "', 'N" + id + "', '" + date + "', " + std::to_string(posted) +
                 ", '" + store + "')");
    MustExec(*db_,
             "INSERT INTO \"B$THGoodSpec\" (IDC, DocID, PosNumb, GoodCode, UnitCode, Amount, "
             "AmountAccount, CostSumm) VALUES (" +
                 id + "0, " + id + ", 1, 'P1', 'L', " + std::to_string(amount_account) + ", " +
                 std::to_string(amount_account) + ", " + std::to_string(cost) + ")");
    return idc * 10;
  }
  void Link(int outcome, int income, double amount) {
    MustExec(*db_,
             "INSERT INTO \"B$THGoodSpecFixLog\" (GoodCode, OutcomeSpecID, "
             "IncomeSpecID, Amount, Type) VALUES ('P1', " +
                 std::to_string(outcome) + ", " + std::to_string(income) + ", " +
                 std::to_string(amount) + ", 5)");
  }

  Db db_;
};

TEST_F(BookTest, TablesRefuseBrokenRows) {
  AddDoc(1, "PISF", "2026-01-10", 1, "S1", 10, 100);
  const struct {
    const char* what;
    std::string sql;
  } refused[] = {
      {"duplicate number of a type",
       "INSERT INTO \"B$THDocument\" (DocTypeCode, Number) VALUES ('PISF', 'N1')"},
      {"unknown document type", "INSERT INTO \"B$THDocument\" (DocTypeCode) VALUES ('XXX')"},
      {"date that is not ISO text",
       "INSERT INTO \"B$THDocument\" (DocTypeCode, DocumentDate) VALUES ('PISF', 46000.5)"},
      {"row of no document", "INSERT INTO \"B$THGoodSpec\" (DocID, PosNumb) VALUES (99, 1)"},
      {"second row at one position", "INSERT INTO \"B$THGoodSpec\" (DocID, PosNumb) VALUES (1, 1)"},
      {"link to no row",
       "INSERT INTO \"B$THGoodSpecFixLog\" (OutcomeSpecID, IncomeSpecID) VALUES (10, 999)"},
      {"additional fields of no row",
       "INSERT INTO \"B$PISFTHGoodSpec\" (DocID, PosNumb) VALUES (1, 2)"},
      {"document without type", "INSERT INTO \"B$THDocument\" (Number) VALUES ('x')"},
  };
  for (const auto& r : refused) {
    EXPECT_QTS_ERROR(db_->Execute(r.sql), db::kErrConstraint) << r.what;
  }
  // The same number under another type is fine; so is a document without a number yet.
  MustExec(*db_, "INSERT INTO \"B$THDocument\" (DocTypeCode, Number) VALUES ('MMO', 'N1')");
  MustExec(*db_, "INSERT INTO \"B$THDocument\" (DocTypeCode) VALUES ('MMO')");
  MustExec(*db_, "INSERT INTO \"B$THDocument\" (DocTypeCode) VALUES ('MMO')");
}

TEST_F(BookTest, DeletingADocumentTakesItsRowsFieldsAndLinks) {
  const int income = AddDoc(1, "PISF", "2026-01-10", 1, "S1", 10, 100);
  const int outcome = AddDoc(2, "PRSF", "2026-01-20", 1, "S1", 4, 0);
  Link(outcome, income, 4);
  MustExec(*db_,
           "INSERT INTO \"B$PISFTHDocument\" (DocID, VATDirection) VALUES (1, '10');"
           "INSERT INTO \"B$PISFTHGoodSpec\" (DocID, PosNumb, Comment) VALUES (1, 1, "
           "'x');"
           "INSERT INTO \"B$THPartyAttribute\" (DocID, RolePartyCode, PartyCode) "
           "VALUES (1, 'PAR', 'C1')");
  MustExec(*db_, "DELETE FROM \"B$THDocument\" WHERE IDC = 1");
  const struct {
    const char* table;
    const char* where;
  } emptied[] = {{"THGoodSpec", "DocID = 1"},
                 {"PISFTHDocument", "1 = 1"},
                 {"PISFTHGoodSpec", "1 = 1"},
                 {"THGoodSpecFixLog", "1 = 1"},
                 {"THPartyAttribute", "1 = 1"}};
  for (const auto& e : emptied) {
    EXPECT_EQ(
        Number(*db_, std::string("SELECT COUNT(*) FROM \"B$") + e.table + "\" WHERE " + e.where), 0)
        << e.table;
  }
  EXPECT_EQ(Number(*db_, "SELECT COUNT(*) FROM \"B$THGoodSpec\" WHERE DocID = 2"), 1);
  // Renumbering a row carries its additional fields along.
  MustExec(*db_,
           "INSERT INTO \"B$MMOTHGoodSpec\" (DocID, PosNumb, WriteOffPrice) VALUES "
           "(2, 1, 2.5)");
  MustExec(*db_, "UPDATE \"B$THGoodSpec\" SET PosNumb = 7 WHERE DocID = 2");
  EXPECT_EQ(Number(*db_, "SELECT PosNumb FROM \"B$MMOTHGoodSpec\" WHERE DocID = 2"), 7);
}

// --- The stock model ---

TEST_F(BookTest, FreeRestsFollowReceiptsAndDatedLinks) {
  const int income = AddDoc(1, "PISF", "2026-01-10", 1, "S1", 10, 100);
  AddDoc(2, "PISF", "2026-01-12", 0, "S1", 50, 500);  // not posted: no stock
  const int out1 = AddDoc(3, "PRSF", "2026-01-20", 1, "S1", 4, 0);
  const int out2 = AddDoc(4, "MMO", "2026-02-05", 1, "S1", 3, 0);
  Link(out1, income, 4);
  Link(out2, income, 3);

  const struct {
    const char* date;
    double free;  // of the receipt row; < 0: no row
    double fix_cost;
  } cases[] = {{"2026-01-09", -1, 0}, {"2026-01-10", 10, 100}, {"2026-01-19", 10, 100},
               {"2026-01-20", 6, 60}, {"2026-02-04", 6, 60},   {"2026-02-05", 3, 30},
               {"2030-01-01", 3, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date);
    const std::string date = std::string("'") + c.date + "'";
    const auto free_rows =
        Rows(*db_, Runnable("B", "THGoodSpecFreeRest", {{"DateRest", date}}) + " ORDER BY 1");
    const auto fix_rows = Rows(*db_, "SELECT AmountAccount, CostSumm FROM (" +
                                         Runnable("B", "THDocGoodFixRest", {{"daterest", date}}) +
                                         ") WHERE GoodCode = 'P1' AND FixCategory = 0");
    if (c.free < 0) {
      EXPECT_TRUE(free_rows.empty());
      EXPECT_TRUE(fix_rows.empty());
      continue;
    }
    ASSERT_EQ(free_rows.size(), 1u);  // the unposted receipt never counts
    EXPECT_EQ(std::stod(sqlite_book::MoneyText(free_rows[0][11])), c.free);
    ASSERT_EQ(fix_rows.size(), 1u);
    EXPECT_EQ(std::stod(sqlite_book::MoneyText(fix_rows[0][0])), c.free);
    EXPECT_EQ(std::stod(sqlite_book::MoneyText(fix_rows[0][1])), c.fix_cost);
    // The expression the reports embed agrees with the source.
    EXPECT_EQ(sqlite_book::Money(*db_, sql::Translate("SELECT " + FreeAmountExpr(date, "gs") +
                                                          " FROM THGoodSpec gs WHERE gs.IDC = " +
                                                          std::to_string(income),
                                                      BookCatalogue("B"), sql::Dialect::kSqlite)),
              c.free);
  }
  // Not fixed: every link counts, whatever its date.
  EXPECT_EQ(Rows(*db_, "SELECT AmountAccount, CostSumm FROM \"B$THGoodSpecNotFixed\""),
            (std::vector<std::vector<std::string>>{{"30000", "300000"}}));  // 3 and 30

  // No link counts on no date.
  auto free_on = [&](const std::string& date) {
    return sqlite_book::Money(
        *db_, sql::Translate("SELECT " + FreeAmountExpr(date, "gs") +
                                 " FROM THGoodSpec gs WHERE gs.IDC = " + std::to_string(income),
                             BookCatalogue("B"), sql::Dialect::kSqlite));
  };
  EXPECT_EQ(free_on("NULL"), 10);

  // A write-off not dated yet takes 1 more: it counts on no date, though the receipt's kept
  // consumption holds it.
  MustExec(*db_,
           "INSERT INTO \"B$THDocument\" (IDC, DocTypeCode, Number, IsPosted, StoreCode)"
           " VALUES (5, 'MMO', 'N5', 0, 'S1');"
           "INSERT INTO \"B$THGoodSpec\" (IDC, DocID, PosNumb, GoodCode, UnitCode, Amount,"
           " AmountAccount) VALUES (50, 5, 1, 'P1', 'L', 1, 1)");
  Link(50, income, 1);
  EXPECT_EQ(free_on("'2030-01-01'"), 3);
  const auto free_rows = Rows(
      *db_, Runnable("B", "THGoodSpecFreeRest", {{"DateRest", "'2030-01-01'"}}) + " ORDER BY 1");
  ASSERT_EQ(free_rows.size(), 1u);
  EXPECT_EQ(sqlite_book::MoneyText(free_rows[0][11]), "3");
}

TEST_F(BookTest, StockRestsAreSignedSumsOfPostedMovementsPerStore) {
  AddDoc(1, "PISF", "2026-01-10", 1, "S1", 10, 100);
  AddDoc(2, "PISF", "2026-01-11", 1, "S2", 5, 50);
  AddDoc(3, "PRSF", "2026-01-20", 1, "S1", 4, 0);
  AddDoc(4, "PRSF", "2026-01-21", 0, "S1", 6, 0);  // not posted
  AddDoc(5, "PRS", "2026-01-22", 1, "S1", 7, 0);   // a requirement moves no stock
  auto rests = [&](const char* date) {
    return Rows(*db_, "SELECT StoreCode, StoreId, Rest FROM (" +
                          Runnable("B", "STStoreRest", {{"DateRest", date}}) +
                          ") WHERE GoodCode = 'P1' ORDER BY StoreCode");
  };
  // Rests in ten-thousandths, as the book keeps them.
  EXPECT_EQ(rests("'2026-01-10'"), (std::vector<std::vector<std::string>>{{"S1", "1", "100000"}}));
  EXPECT_EQ(rests("'2026-01-31'"),
            (std::vector<std::vector<std::string>>{{"S1", "1", "60000"}, {"S2", "2", "50000"}}));
}

TEST_F(BookTest, GoodsBelowAGroupAtAnyDepthButNotBeside) {
  MustExec(*db_,
           "INSERT INTO \"B$REFGood\" (Code, IsGroup, ParentCode) VALUES"
           " ('G2', 1, 'G1'), ('G3', 1, 'G2'), ('G4', 1, 'G3'), ('A', 0, 'G1'),"
           " ('B', 0, 'G4'), ('OTHER', 0, 'G9'), ('G9', 1, NULL)");
  auto below = [&](const char* node) {
    std::vector<std::string> codes;
    for (const auto& row :
         Rows(*db_, "SELECT Code FROM (" + Runnable("B", "REFGoodT", {{"Node", node}}) +
                        ") WHERE IsGroup = 0 ORDER BY Code")) {
      codes.push_back(row[0]);
    }
    return codes;
  };
  EXPECT_EQ(below("'G1'"), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(below("'G3'"), (std::vector<std::string>{"B"}));
  EXPECT_EQ(below("'G9'"), (std::vector<std::string>{"OTHER"}));
  EXPECT_TRUE(below("'A'").empty());
}

TEST_F(BookTest, PurchaseRowViewCarriesVatAndComment) {
  AddDoc(1, "PISF", "2026-01-10", 1, "S1", 10, 100);
  AddDoc(2, "PRSF", "2026-01-10", 1, "S1", 1, 0);
  MustExec(*db_,
           "UPDATE \"B$THGoodSpec\" SET SummVAT = 210000 WHERE DocID = 1;"
           "INSERT INTO \"B$PISFTHGoodSpec\" (DocID, PosNumb, Comment) VALUES (1, 1, "
           "'broken');");
  EXPECT_EQ(Rows(*db_, "SELECT DocID, SummVAT, Comment FROM \"B$THGoodSpecPISF\""),
            (std::vector<std::vector<std::string>>{{"1", "210000", "broken"}}));
}

TEST_F(BookTest, DerivedSourcesDeliverExactlyTheirDeclaredColumns) {
  for (const SourceDef& s : Sources()) {
    if (s.kind == SourceKind::kTable) continue;
    SCOPED_TRACE(s.name);
    std::map<std::string, std::string> literals;
    for (const ParameterDef& p : s.parameters) {
      literals[p.name] = p.type == SqlType::kDate ? "'2026-01-01'" : "'G1'";
    }
    db::StatementHandle stmt = db_->Prepare(Runnable("B", s.name, literals));
    std::vector<std::string> actual;
    for (int i = 0; i < stmt->ColumnCount(); ++i) actual.push_back(stmt->ColumnName(i));
    std::vector<std::string> declared;
    for (const ColumnDef& c : s.columns) declared.push_back(c.name);
    EXPECT_EQ(actual, declared);
  }
}

TEST_F(BookTest, TheTranslatorRunsEverySourceAsTheSchemaDoes) {
  // The sources are T-SQL for the query builder; translated through the book's catalogue they
  // give the same rows as the schema's own rewrite where that does no money arithmetic (the
  // free and fixed rests compute shares of costs, which only the translator writes exactly).
  const int income = AddDoc(1, "PISF", "2026-01-10", 1, "S1", 10, 100);
  Link(AddDoc(2, "PRSF", "2026-01-20", 1, "S1", 4, 0), income, 4);
  MustExec(*db_, "UPDATE \"B$REFGood\" SET ParentCode = 'G1' WHERE Code = 'P1'");
  const BookCatalogue catalogue("B");
  for (const SourceDef& s : Sources()) {
    if (s.kind == SourceKind::kTable) continue;
    SCOPED_TRACE(s.name);
    std::map<std::string, std::string> literals;
    for (const ParameterDef& p : s.parameters) {
      literals[p.name] = p.type == SqlType::kDate ? "'2026-01-31'" : "'G1'";
    }
    const std::string tsql = "SELECT * FROM (" + SourceSql(s.name, literals) + ") x ORDER BY 1";
    std::string translated;
    try {
      translated = sql::Translate(tsql, catalogue, sql::Dialect::kSqlite);
    } catch (const Error& e) {
      FAIL() << e.Description();
    }
    const auto rows = Rows(*db_, translated);
    EXPECT_FALSE(rows.empty());
    if (s.name != "THGoodSpecNotFixed" && s.name != "THDocGoodFixRest") {
      EXPECT_EQ(rows, Rows(*db_, PhysicalSql("B", tsql)));
    }
  }
}

}  // namespace
}  // namespace qts::host::schema
