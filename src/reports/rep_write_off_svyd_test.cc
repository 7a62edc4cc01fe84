#include "reports/rep_write_off_svyd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "host/data/testing/sample_book.h"
#include "host/schema/testing/seed.h"
#include "reports/testing/book_facts.h"
#include "reports/testing/printed_totals.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

using testing::BookFacts;
using testing::Money;
using testing::Num;
using testing::ReportRunner;
using testing::Row;
using testing::Table;

// Services G4 and G5 are of goods category 3. February receipts: P6 (USD at 1.25) with G4 2 for
// 110 (VAT 10) and G1 (category 0); P7 (USD, the rate is 1.6 from 2026-02-10) with G5 3 for 88
// (VAT 8) and no comment; P8 unposted; P10 in the accounting currency with G5 1.5 for 30.
// P9 is dated March.
void SeedServices(db::Connection& c) {
  const char* statements[] = {
      R"(INSERT INTO "T$REFGood"("Code","Name","ParentCode","IsGroup","Category") VALUES
         ('G4','Remontas',NULL,0,3),('G5','Valymas',NULL,0,3))",
      R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount") VALUES
         ('G4','VNT',1,1),('G5','H',1,1))",
      R"(INSERT INTO "T$REFPerson"("Code","Name","UserId","FirstName","LastName","Position")
         VALUES ('P1','Jonas J.',NULL,'Jonas','Jonaitis','Direktorius'),
         ('P2','Petras P.',NULL,'Petras','Petraitis',''),('P3','Ona O.',NULL,'Ona','Onaitė',''))",
      R"(INSERT INTO "T$REFCurrencyRate"("CurrencyCode","RateDate","Rate") VALUES
         ('USD','2026-01-01',1.25),('USD','2026-02-10',1.6))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
         "IsPosted","CurrencyCode") VALUES (6,'PISF','P6','2026-02-05','S1',1,'USD'),
         (7,'PISF','P7','2026-02-12','S1',1,'USD'),(8,'PISF','P8','2026-02-15','S1',0,'EUR'),
         (9,'PISF','P9','2026-03-01','S1',1,'EUR'),(10,'PISF','P10','2026-02-20','S1',1,'EUR'))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","Summa","SummVAT") VALUES (61,6,1,'G4','VNT',2,2,110,10),
         (62,6,2,'G1','KG',1,1,10,0),(71,7,1,'G5','H',3,3,88,8),(81,8,1,'G4','VNT',1,1,50,0),
         (91,9,1,'G4','VNT',1,1,40,0),(101,10,1,'G5','H',1.5,1.5,30,0))",
      R"(INSERT INTO "T$PISFTHGoodSpec"("DocID","PosNumb","Comment") VALUES (6,1,'Pirmas'),
         (6,2,'Miltai'),(10,1,'Eurai'))",
  };
  for (const char* sql : statements) qts::host::schema::testing::Seed(c, sql);
}

const Row kP6 = {"P6", "2026-02-05", "Remontas", "2", "VNT", "80", "Pirmas"};
const Row kP7 = {"P7", "2026-02-12", "Valymas", "3", "H", "50", "<null>"};
const Row kP10 = {"P10", "2026-02-20", "Valymas", "1.5", "H", "30", "Eurai"};

class WriteOffSvydTest : public host::testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    SeedServices(book_->Connection());
    book_->Settings().Item("EnterpriseName").SetValue(Variant("UAB Testas"));
    book_->Settings().Item("PlantCode").SetValue(Variant("123456789"));
    book_->Settings().Item("DirectorCode").SetValue(Variant("P1"));
  }
  bool RunFebruary(std::vector<std::pair<std::string, Variant>> more = {}) {
    more.insert(more.begin(),
                {{"edBegDate", Variant("2026-02-01")}, {"edEndDate", Variant("2026-02-28")}});
    return runner_.Run(*report_, book_, std::move(more));
  }

  ReportRunner runner_;
  std::shared_ptr<CRepWriteOffSvyd> report_ = std::make_shared<CRepWriteOffSvyd>();
};

TEST_F(WriteOffSvydTest, CategoryThreeRowsOfPostedReceiptsInTheAccountingCurrency) {
  ASSERT_TRUE(RunFebruary(
      {{"edNumb", Variant("A-7")}, {"cbMember_Head", Variant("P2")}, {"cbMember2", Variant("P3")}}))
      << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(), (Table{kP6, kP7, kP10}));
  EXPECT_EQ(runner_.Columns(),
            (std::vector<std::string>{"Number", "DocumentDate", "GoodName", "Amount", "UnitCode",
                                      "Summa", "Comment"}));
  EXPECT_EQ(
      runner_.ValueNames(),
      (std::vector<std::string>{"BegDate", "EndDate", "Number", "cName1", "cName2", "cName3",
                                "cName4", "cEnterprise", "PlantCode", "Director", "DataList"}));
  EXPECT_EQ(runner_.Value("Number"), "A-7");
  EXPECT_EQ(runner_.Value("cName1"), "Petras P.");
  EXPECT_EQ(runner_.Value("cName2"), "") << "a committee combo left empty";
  EXPECT_EQ(runner_.Value("cName3"), "Ona O.");
  EXPECT_EQ(runner_.Value("cEnterprise"), "UAB Testas");
  EXPECT_EQ(runner_.Value("PlantCode"), "123456789");
  EXPECT_EQ(runner_.Value("Director"), "Jonas Jonaitis");
  const host::FormDescription& shown = runner_.Op().Forms().back().form;
  EXPECT_EQ(shown.caption, "Ataskaitos parametrai");
  EXPECT_EQ(shown.At("edNumb").caption, "Akto numeris :");
  EXPECT_EQ(shown.At("cbMember_Head").caption, "Pirmininkas :");
  EXPECT_EQ(shown.At("cbMember1").caption, "Nariai :");
}

TEST_F(WriteOffSvydTest, PeriodBoundsAndUnpostedReceipts) {
  ASSERT_TRUE(
      runner_.Run(*report_, book_,
                  {{"edBegDate", Variant("2026-02-12")}, {"edEndDate", Variant("2026-03-01")}}));
  Row p9 = {"P9", "2026-03-01", "Remontas", "1", "VNT", "40", "<null>"};
  EXPECT_EQ(runner_.Rows(), (Table{kP7, kP10, p9}));
  book_->Connection().Execute(R"(UPDATE "T$THDocument" SET "IsPosted" = 1 WHERE "IDC" = 8)");
  ASSERT_TRUE(
      runner_.Run(*report_, book_,
                  {{"edBegDate", Variant("2026-02-15")}, {"edEndDate", Variant("2026-02-15")}}));
  EXPECT_EQ(runner_.Rows(), (Table{{"P8", "2026-02-15", "Remontas", "1", "VNT", "50", "<null>"}}));
}

TEST_F(WriteOffSvydTest, CancelledFormKeepsTheHeaderValues) {
  EXPECT_FALSE(runner_.Run(*report_, book_, {}, /*cancel=*/true));
  EXPECT_TRUE(runner_.Op().Errors().empty());
  EXPECT_EQ(runner_.ValueNames(),
            (std::vector<std::string>{"BegDate", "EndDate", "Number", "cName1", "cName2", "cName3",
                                      "cName4", "cEnterprise", "PlantCode", "Director"}));
  EXPECT_EQ(runner_.Value("BegDate"), "");
  EXPECT_EQ(runner_.Value("cName4"), "");
  EXPECT_EQ(runner_.Value("cEnterprise"), "UAB Testas");
}

TEST_F(WriteOffSvydTest, FormErrorsAreShownAsRaised) {
  // A person the catalogue does not hold is the form's error: its own number, not the report's.
  EXPECT_FALSE(RunFebruary({{"cbMember1", Variant("NOPE")}}));
  ASSERT_EQ(runner_.Op().Errors().size(), 1u);
  EXPECT_EQ(runner_.Op().Errors()[0].number, kErrInvalidCall);
  EXPECT_NE(runner_.Op().Errors()[0].description.find("NOPE"), std::string::npos);
  EXPECT_FALSE(runner_.Values().ExistsField("DataList"));
  // A rate missing for the day leaves the converted sum empty rather than failing.
  book_->Connection().Execute(R"(DELETE FROM "T$REFCurrencyRate")");
  ASSERT_TRUE(RunFebruary()) << runner_.FirstError();
  EXPECT_EQ(runner_.Rows()[0][5], "<null>");
  EXPECT_EQ(runner_.Rows()[2][5], "30");
}

// --- The generated company, with some of its receipt goods made category 3 and some receipts
// in dollars, against a computation over its rows ---

std::shared_ptr<host::AppContext> BookWithServices() {
  static std::shared_ptr<host::AppContext> book = [] {
    auto b = testing::NewGeneratedBook(7);
    testing::RawReader r(*b);
    b->Connection().Execute(
        "UPDATE " + r.Table("REFGood") +
        " SET \"Category\" = 3 WHERE \"IsGroup\" = 0 AND \"Code\" IN (SELECT s.\"GoodCode\""
        " FROM " +
        r.Table("THGoodSpec") + " s WHERE s.\"IDC\" % 7 = 0)");
    b->Connection().Execute(
        "UPDATE " + r.Table("THDocument") +
        " SET \"CurrencyCode\" = 'USD' WHERE \"DocTypeCode\" = 'PISF' AND \"IDC\" % 3 = 0");
    return b;
  }();
  return book;
}

Table Expected(host::AppContext& book, const std::string& beg, const std::string& end) {
  BookFacts f(book);
  testing::RawReader r(book);
  std::map<std::pair<int64_t, int64_t>, std::string> comments;
  r.Each("SELECT \"DocID\", \"PosNumb\", \"Comment\" FROM " + r.Table("PISFTHGoodSpec"),
         [&](auto& s) {
           if (!s.IsNull(2)) comments[{s.GetInt64(0), s.GetInt64(1)}] = s.GetText(2);
         });
  std::vector<std::tuple<std::string, std::string, double>> rates;  // currency, from, rate
  r.Each("SELECT \"CurrencyCode\", \"RateDate\", \"Rate\" FROM " + r.Table("REFCurrencyRate"),
         [&](auto& s) {
           rates.emplace_back(s.GetText(0), s.GetText(1).substr(0, 10),
                              s.GetCurrency(2).ToDouble());
         });
  Table rows;
  for (const auto& [id, s] : f.specs) {
    const BookFacts::Doc& d = f.DocOf(s);
    if (d.type != "PISF" || !d.posted || d.date < beg || d.date > end) continue;
    if (s.good.empty() || f.goods.at(s.good).category != 3) continue;
    const double amount = s.summa - s.vat;
    std::string summa = Num(amount);
    if (!d.currency.empty() && d.currency != "EUR") {
      std::string best;
      double rate = 0;
      for (const auto& [currency, from, value] : rates) {
        if (currency == d.currency && from <= d.date && from > best) {
          best = from;
          rate = value;
        }
      }
      summa = rate == 0 ? "<null>" : Money(amount / rate);
    }
    auto comment = comments.find({s.doc, s.pos});
    rows.push_back({d.number, d.date, f.goods.at(s.good).name, Num(s.amount), s.unit, summa,
                    comment == comments.end() ? "<null>" : comment->second});
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(WriteOffSvydSampleTest, MatchesTheComputationOverTheBook) {
  auto book = BookWithServices();
  for (auto [beg, end] : {std::pair{"2026-01-01", "2026-12-31"}, {"2026-04-01", "2026-04-30"}}) {
    ReportRunner runner;
    CRepWriteOffSvyd report;
    ASSERT_TRUE(
        runner.Run(report, book, {{"edBegDate", Variant(beg)}, {"edEndDate", Variant(end)}}))
        << runner.FirstError();
    Table rows = runner.Rows();
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
      return std::tie(a[1], a[2]) < std::tie(b[1], b[2]);
    })) << "ordered by date and good name";
    std::sort(rows.begin(), rows.end());
    Table expected = Expected(*book, beg, end);
    EXPECT_TRUE(rows == expected) << rows.size() << " rows, " << expected.size() << " expected\n"
                                  << testing::TableDiff(rows, expected);
    EXPECT_FALSE(expected.empty()) << beg;
    // The printed totals against the computed rows: quantities per unit, sums without VAT.
    std::map<std::string, double> sums;
    for (const Row& row : expected) {
      testing::Add(sums, "Amount|" + row[4], std::stod(row[3]));
      if (row[5] != "<null>") testing::Add(sums, "Summa", std::stod(row[5]));
    }
    host::PrintedReport printed = testing::LaidOut("CRepWriteOffSvyd", runner.Values(), book);
    EXPECT_EQ(testing::PrintedSums(printed.tables.at(0)), testing::AsText(sums)) << beg;
  }
}

}  // namespace
}  // namespace qts::reports
