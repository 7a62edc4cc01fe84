// Money on the embedded book follows decimal arithmetic: ties, sums, products and quotients give
// what the server gives, through the real schema, translator, backend and query reader. Where
// binary floating point (the book's former REAL money) gets a case wrong, the test shows it on a
// REAL table of the same connection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/currency.h"
#include "core/error.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/schema/testing/seed.h"
#include "host/testing/test_book.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

Currency Cy(const char* text) { return *Currency::Parse(text); }

class MoneyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = testing::NewTestBook("M");
    schema::testing::Seed(book_->Connection(), R"(
      INSERT INTO "M$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
        "IsPosted") VALUES (1,'PISF','P1','2026-01-10','S1',1),(2,'MMO','W1','2026-01-12','S1',1))");
  }

  // Rows of THGoodSpec in document 1: (IDC, Amount, Price, Summa).
  void Rows(const std::vector<std::vector<const char*>>& rows) {
    int pos = 0;
    for (const auto& r : rows) {
      ++pos;
      schema::testing::Seed(
          book_->Connection(),
          std::string(R"(INSERT INTO "M$THGoodSpec"("IDC","DocID","PosNumb","Amount","Price",)") +
              R"("Summa") VALUES ()" + r[0] + ",1," + std::to_string(pos) + "," + r[1] + "," +
              r[2] + "," + r[3] + ")");
    }
  }

  // The single row of `tsql`, each column read as the host reads it (money as Currency).
  std::vector<Variant> Row(const std::string& tsql) {
    const sql::Translation t =
        sql::TranslateWithColumns(tsql, book_->Catalogue(), book_->Dialect());
    db::StatementHandle s = book_->Connection().Prepare(t.sql);
    std::vector<Variant> out;
    EXPECT_TRUE(s->Step()) << t.sql;
    for (int c = 0; c < s->ColumnCount(); ++c) {
      if (s->IsNull(c)) {
        out.push_back(Variant::Null());
      } else if (t.columns[static_cast<size_t>(c)].type == sql::SqlType::kNumber) {
        out.push_back(Variant(s->GetCurrency(c)));
      } else if (t.columns[static_cast<size_t>(c)].type == sql::SqlType::kFloat) {
        out.push_back(Variant(s->GetDouble(c)));
      } else {
        out.push_back(Variant(static_cast<int32_t>(s->GetInt64(c))));
      }
    }
    EXPECT_FALSE(s->Step()) << t.sql;
    return out;
  }

  // The book's former REAL money was SQLite's: the tests compare with it on SQLite only (the
  // server never kept money in binary floating point).
  bool HadRealMoney() const { return book_->Dialect() == sql::Dialect::kSqlite; }

  // What the book's former REAL money gave: the same values in a REAL table, rounded by the
  // registered decimal-correct qts_round.
  double RealRound(const std::string& expression, const std::vector<const char*>& values,
                   int digits) {
    db::Connection& c = book_->Connection();
    c.Execute("CREATE TEMP TABLE IF NOT EXISTS r (a REAL, b REAL, c REAL)");
    c.Execute("DELETE FROM r");
    for (const char* v : values) c.Execute(std::string("INSERT INTO r (a) VALUES (") + v + ")");
    db::StatementHandle s = c.Prepare("SELECT qts_round(" + expression + ", " +
                                      std::to_string(digits) + ") FROM r LIMIT 1");
    EXPECT_TRUE(s->Step());
    return s->GetDouble(0);
  }

  AppContextPtr book_;
};

// The report issue's tie: 5.47475 reached through a product and through a quotient rounds to
// 5.4748, on either side of zero; binary floating point rounded it to 5.4747.
TEST_F(MoneyTest, TiesOfProductsAndQuotientsRoundHalfAwayFromZero) {
  Rows({{"11", "6.1", "0.8975", "10.9495"}, {"12", "-6.1", "0.8975", "-10.9495"}});
  const std::string select =
      "SELECT ROUND(gs.Price * gs.Amount, 4), ROUND(gs.Summa / 2, 4), "
      "ROUND(gs.Price * 12.2 / 2, 4), gs.Price * gs.Amount FROM THGoodSpec gs WHERE gs.IDC = ";
  for (const auto& [idc, tie] : {std::pair{"11", "5.4748"}, std::pair{"12", "-5.4748"}}) {
    SCOPED_TRACE(idc);
    const std::vector<Variant> row = Row(select + idc);
    ASSERT_EQ(row.size(), 4u);
    EXPECT_EQ(row[0].AsCurrency(), Cy(tie));
    EXPECT_EQ(row[1].AsCurrency(), Cy(tie));
    EXPECT_EQ(row[2].AsCurrency(), Cy("5.4748"));
    // An unrounded product leaves the query rounded to four places as a stored one would be.
    EXPECT_EQ(row[3].AsCurrency(), Cy(tie));
  }
  // The same product in binary floating point, rounded on its shortest decimal text.
  if (!HadRealMoney()) return;
  db::Connection& c = book_->Connection();
  c.Execute("CREATE TEMP TABLE p (price REAL, amount REAL)");
  c.Execute("INSERT INTO p VALUES (0.8975, 6.1)");
  db::StatementHandle real = c.Prepare("SELECT qts_round(price * amount, 4) FROM p");
  ASSERT_TRUE(real->Step());
  EXPECT_EQ(real->GetDouble(0), 5.4747);
}

// The row the category reports printed as 5.4747 on the sample book: the price net of VAT,
// (277.20 - 58.21) / 40 = 5.47475, rounded to four places as the reports round it.
TEST_F(MoneyTest, TheCategoryReportsPriceOfTheSampleBook) {
  schema::testing::Seed(book_->Connection(), R"(
    INSERT INTO "M$THGoodSpec"("IDC","DocID","PosNumb","Amount","Summa","SummVAT")
      VALUES (11,1,1,40,277.2,58.21))");
  const std::vector<Variant> row =
      Row("SELECT ROUND(COALESCE((gs.Summa - gs.SummVAT)/ NullIF(gs.Amount,0),0),4) "
          "FROM THGoodSpec gs");
  EXPECT_EQ(row[0].AsCurrency(), Cy("5.4748"));
  if (!HadRealMoney()) return;
  db::Connection& c = book_->Connection();
  c.Execute("CREATE TEMP TABLE v (summa REAL, vat REAL, amount REAL)");
  c.Execute("INSERT INTO v VALUES (277.2, 58.21, 40)");
  db::StatementHandle real = c.Prepare("SELECT qts_round((summa - vat) / amount, 4) FROM v");
  ASSERT_TRUE(real->Step());
  EXPECT_EQ(real->GetDouble(0), 5.4747);
}

// A receipt row's cost share in the book's own view: CostSumm x free / AmountAccount, stored as
// the view computes it and rounded to cents. 1.98 x 3 / 4 = 1.485 rounds to 1.49.
TEST_F(MoneyTest, TheBooksViewRoundsTheCostShareTie) {
  schema::testing::Seed(book_->Connection(), R"(
    INSERT INTO "M$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","Amount","AmountAccount",
      "CostSumm") VALUES (11,1,1,'G1',4,4,1.98),(21,2,1,'G1',1,1,0);
    INSERT INTO "M$THGoodSpecFixLog"("GoodCode","OutcomeSpecID","IncomeSpecID","Amount")
      VALUES ('G1',21,11,1))");
  const std::vector<Variant> row =
      Row("SELECT n.AmountAccount, n.CostSumm FROM THGoodSpecNotFixed n WHERE n.IDC = 11");
  EXPECT_EQ(row[0].AsCurrency(), Cy("3"));
  EXPECT_EQ(row[1].AsCurrency(), Cy("1.49"));
  if (HadRealMoney()) {
    EXPECT_EQ(RealRound("a * 3 / 4", {"1.98"}, 2), 1.48);
  }
}

// Sums of four-place values are exact: three 0.3 and 0.0005 make 0.9005, which rounds to 0.901;
// binary floating point sums them to 0.9004999999999999 and rounds to 0.9. A sum of quotients
// is exact to eighteen places before it is rounded.
TEST_F(MoneyTest, SumsAreExact) {
  Rows({{"11", "0.3", "1", "1"},
        {"12", "0.3", "1", "1"},
        {"13", "0.3", "1", "1"},
        {"14", "0.0005", "1", "2"}});
  const std::vector<Variant> row =
      Row("SELECT ROUND(SUM(gs.Amount), 3), SUM(gs.Amount), ROUND(SUM(gs.Summa / 3), 2), "
          "ROUND(SUM(gs.Summa / 3), 17), AVG(gs.Amount) FROM THGoodSpec gs");
  EXPECT_EQ(row[0].AsCurrency(), Cy("0.901"));
  EXPECT_EQ(row[1].AsCurrency(), Cy("0.9005"));
  EXPECT_EQ(row[2].AsCurrency(), Cy("1.67"));    // 5 / 3
  EXPECT_EQ(row[3].AsCurrency(), Cy("1.6667"));  // stored to four places
  EXPECT_EQ(row[4].AsCurrency(), Cy("0.2251"));  // 0.225125
  if (HadRealMoney()) {
    EXPECT_EQ(RealRound("(SELECT SUM(a) FROM r)", {"0.3", "0.3", "0.3", "0.0005"}, 3), 0.9);
  }
}

// Values at the ends of NUMERIC(19,4)'s range as Currency holds it come back exactly; a sum or
// product beyond it is an error, never a silently wrong number.
TEST_F(MoneyTest, LargeValuesAreExactAndOverflowIsAnError) {
  Rows({{"11", "922337203685477.5807", "0.0001", "-922337203685477.5808"},
        {"12", "10000", "100000000000", "1"}});
  std::vector<Variant> row =
      Row("SELECT gs.Amount, gs.Summa, gs.Amount - 0.0007 FROM THGoodSpec gs WHERE gs.IDC = 11");
  EXPECT_EQ(row[0].AsCurrency(), Cy("922337203685477.5807"));
  EXPECT_EQ(row[1].AsCurrency(), Cy("-922337203685477.5808"));
  EXPECT_EQ(row[2].AsCurrency(), Cy("922337203685477.58"));
  row = Row("SELECT ROUND(gs.Amount * gs.Price, 2) FROM THGoodSpec gs WHERE gs.IDC = 11");
  EXPECT_EQ(row[0].AsCurrency(), Cy("92233720368.55"));
  EXPECT_THROW(Row("SELECT SUM(gs.Amount) FROM THGoodSpec gs"), Error);
  EXPECT_THROW(Row("SELECT gs.Amount * gs.Price FROM THGoodSpec gs WHERE gs.IDC = 12"), Error);
  EXPECT_THROW(Row("SELECT gs.Amount + 1 FROM THGoodSpec gs WHERE gs.IDC = 11"), Error);
  // A whole literal beyond money's range is compared as a decimal, as the server does.
  row =
      Row("SELECT COUNT(*) FROM THGoodSpec gs WHERE gs.Amount < 999999999999990 AND "
          "gs.Summa > -99999999999999999999");
  EXPECT_EQ(row[0].AsLong(), 2);
  row =
      Row("SELECT COUNT(*) FROM THGoodSpec gs WHERE gs.Amount BETWEEN 922337203685477 AND "
          "922337203685478 OR gs.Price IN (1, 99999999999999999999)");
  EXPECT_EQ(row[0].AsLong(), 1);
  EXPECT_THROW(Row("SELECT gs.Price + 999999999999990 FROM THGoodSpec gs WHERE gs.IDC = 11"),
               Error);
}

// Whole numbers, money and floating values together, and NULL in each place.
TEST_F(MoneyTest, MixedAndNullExpressions) {
  Rows({{"11", "2.5", "NULL", "7"}});
  std::vector<Variant> row =
      Row("SELECT gs.Amount * 2 + 1, gs.Amount / 4, gs.PosNumb + gs.Amount, "
          "CAST(gs.Amount AS FLOAT) * 0.5e0, CASE WHEN gs.Amount > 2 THEN 1 ELSE 0 END, "
          "gs.Amount % 2, CAST(gs.Summa / 3 AS DECIMAL(10,2)), gs.PosNumb * 3 "
          "FROM THGoodSpec gs");
  EXPECT_EQ(row[0].AsCurrency(), Cy("6"));
  EXPECT_EQ(row[1].AsCurrency(), Cy("0.625"));
  EXPECT_EQ(row[2].AsCurrency(), Cy("3.5"));
  EXPECT_EQ(row[3].AsDouble(), 1.25);
  EXPECT_EQ(row[4].AsLong(), 1);
  EXPECT_EQ(row[5].AsCurrency(), Cy("0.5"));
  EXPECT_EQ(row[6].AsCurrency(), Cy("2.33"));
  EXPECT_EQ(row[7].AsLong(), 3);
  row =
      Row("SELECT gs.Price * gs.Amount, ROUND(gs.Price / gs.Amount, 2), COALESCE(gs.Price, 1), "
          "COALESCE(gs.Price * 2, gs.Amount / 3) FROM THGoodSpec gs");
  EXPECT_TRUE(row[0].IsNull());
  EXPECT_TRUE(row[1].IsNull());
  EXPECT_EQ(row[2].AsCurrency(), Cy("1"));
  EXPECT_EQ(row[3].AsCurrency(), Cy("0.8333"));
  EXPECT_TRUE(Row("SELECT SUM(gs.Price) FROM THGoodSpec gs")[0].IsNull());
  // Division by zero: SQLite's own division gives NULL; the server refuses it, as the host's
  // server does.
  const std::string by_zero = "SELECT gs.Amount / (gs.Summa - 7) FROM THGoodSpec gs";
  if (book_->Dialect() == sql::Dialect::kSqlite) {
    EXPECT_TRUE(Row(by_zero)[0].IsNull());
  } else {
    EXPECT_THROW(Row(by_zero), Error);
  }
}

// A UNION of a text column and money gives money on both backends, as T-SQL converts the text
// (the server matches no text with a number by itself); the converted column keeps its name
// for the ORDER BY. A text that is no number is an error on both.
TEST_F(MoneyTest, AUnionOfTextAndMoneyGivesMoney) {
  schema::testing::Seed(book_->Connection(), R"(
    INSERT INTO "M$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
      "IsPosted") VALUES (3,'MMO','12.5','2026-01-14','S1',1))");
  const auto rows = [&](const std::string& tsql) {
    const sql::Translation t =
        sql::TranslateWithColumns(tsql, book_->Catalogue(), book_->Dialect());
    EXPECT_EQ(t.columns.at(0).type, sql::SqlType::kNumber);
    db::StatementHandle s = book_->Connection().Prepare(t.sql);
    std::vector<Currency> out;
    while (s->Step()) out.push_back(s->GetCurrency(0));
    return out;
  };
  EXPECT_EQ(rows("SELECT d.Number FROM THDocument d WHERE d.IDC = 3 UNION SELECT 6.5 "
                 "ORDER BY Number DESC"),
            (std::vector<Currency>{Cy("12.5"), Cy("6.5")}));
  EXPECT_EQ(rows("SELECT 20.25 AS N UNION ALL SELECT d.Number FROM THDocument d WHERE d.IDC = 3 "
                 "ORDER BY N"),
            (std::vector<Currency>{Cy("12.5"), Cy("20.25")}));
  EXPECT_THROW(rows("SELECT d.Number FROM THDocument d WHERE d.IDC = 2 UNION SELECT 6.5"), Error);
}

// Money read through a query lands in Currency fields exactly, also from expressions without a
// declared type; comparisons with whole numbers and decimals find the same rows as the server.
TEST_F(MoneyTest, QueriesReadMoneyIntoCurrency) {
  Rows({{"11", "1.0001", "0.8975", "1"}, {"12", "1", "6.1", "2"}, {"13", "0.9999", "2", "3"}});
  QueryPtr q = book_->CreateQuery("THGoodSpec");
  NamedValueList& f = q->Fields();
  f.KeepOnly({"IDC", "Amount"});
  f.AddColumn("Product", Kind::kQuantity, q->Alias() + ".Price * " + q->Alias() + ".Amount");
  q->AddWhere(q->Alias() + ".Amount >= 1 AND " + q->Alias() + ".Price IN (0.8975, 6.1)");
  q->OrderBy("IDC");
  q->Open();
  RecordsetPtr rs = q->OpenRecordset();
  ASSERT_EQ(rs->RecordCount(), 2);
  rs->MoveFirst();
  EXPECT_EQ(rs->Fields().Item("Amount").Value().AsCurrency(), Cy("1.0001"));
  EXPECT_EQ(rs->Fields().Item("Product").Value().AsCurrency(), Cy("0.8976"));  // 0.89758975
  rs->MoveNext();
  EXPECT_EQ(rs->Fields().Item("Product").Value().AsCurrency(), Cy("6.1"));
}

}  // namespace
}  // namespace qts::host
