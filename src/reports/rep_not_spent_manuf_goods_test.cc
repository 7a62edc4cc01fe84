#include "reports/rep_not_spent_manuf_goods.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
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

// --- A small book worked out by hand ---
//
// On the sample book (G1: 11 kg free for 118 today; G2: 5 for 50; G3 has no fixed rest),
// manufacturing receipts of February posted lots of G1, G2 and G3 that name order MO-1 of
// customer C1 (author 7, a person). Further lots of the same goods: "C9#X" (no ':', so no
// customer), "C1:MO-9" (no '#', so the whole text is the number: order "C1:MO-9" of author 8,
// who has no person record), one without an order reference and one with no rest. The
// receipts' own rows carry fixing category 1, so the category-0 fixed rests stay as they were.
void SeedManufacturing(db::Connection& c) {
  const char* statements[] = {
      R"(INSERT INTO "T$REFPerson"("Code","Name","UserId","FirstName","LastName") VALUES
         ('P7','Ona',7,'Ona','Onaitė'))",
      R"(INSERT INTO "T$STLotProperty"("IDC","GoodCode","Name","OrderInfo") VALUES
         (1,'G1','A','C1:order text#MO-1'),(2,'G1','B','C9#X'),(3,'G2','C','C1:x#MO-1'),
         (4,'G3','D','C1:y#MO-1'),(5,'G1','E',NULL),(6,'G1','F',''),(7,'G2','G','C1:MO-9'))",
      R"(INSERT INTO "T$STLot"("GoodCode","UnitCode","StoreId","AnalytID","Rest","RestAccount")
         VALUES ('G1','KG',1,1,5,5),('G1','KG',1,1,2,2),('G1','KG',2,2,3,3),('G1','KG',1,5,4,4),
         ('G1','KG',1,6,4,4),('G2','VNT',1,3,6,6),('G3','L',1,4,1,1),('G1','KG',1,1,0,0),
         ('G2','VNT',2,7,1,1))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","StoreCode",
         "IsPosted","Author") VALUES (20,'MNFC','M1','2026-02-10','S1',1,7),
         (21,'MNFC','M2','2026-02-20','S1',1,7),(30,'MO','MO-1','2026-02-01','S1',1,7),
         (31,'MO','X','2026-02-01','S1',1,8),(32,'MO','C1:MO-9','2026-02-01','S1',1,8))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount","FixCategory") VALUES (201,20,1,'G1','KG',7,7,1),
         (211,21,1,'G2','VNT',6,6,1),(212,21,2,'G3','L',1,1,1))",
      R"(INSERT INTO "T$STOrderSpec"("IDC","srcDocSpecID","GoodCode") VALUES (1,201,'G1'),
         (2,211,'G2'),(3,212,'G3'))",
      R"(INSERT INTO "T$STPostLot"("SpecID","AnalytID","GoodCode") VALUES (1,1,'G1'),(2,3,'G2'),
         (3,4,'G3'))",
      R"(INSERT INTO "T$THPartyAttribute"("DocID","RolePartyCode","PartyCode") VALUES
         (30,'CUST','C1'),(31,'CUST','C9'),(32,'CUST','C1'),(30,'PAR','C9'))",
  };
  for (const char* sql : statements) qts::host::schema::testing::Seed(c, sql);
}

const Row kG1S1 = {"G1",    "Flour",         "KG", "1", "S1", "C1:order text#MO-1", "7", "7",
                   "75.09", "7 : Ona Onaitė"};
const Row kG1S2 = {"G1", "Flour", "KG", "2", "S2", "C9#X", "<null>", "3", "32.18", "<null>"};
const Row kG2S1 = {"G2", "Boxes", "VNT", "1", "S1", "C1:x#MO-1", "7", "6", "60", "7 : Ona Onaitė"};
const Row kG2S2 = {"G2", "Boxes", "VNT", "2", "S2", "C1:MO-9", "8", "1", "10", "<null>"};

class NotSpentManufGoodsTest : public host::testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    SeedManufacturing(book_->Connection());
  }
  bool RunPeriod(const char* beg, const char* end,
                 std::vector<std::pair<std::string, Variant>> more = {}) {
    more.insert(more.begin(), {{"edBegDate", Variant(beg)}, {"edEndDate", Variant(end)}});
    return runner_.Run(*report_, book_, std::move(more));
  }

  ReportRunner runner_;
  std::shared_ptr<CRepNotSpentManufGoods> report_ = std::make_shared<CRepNotSpentManufGoods>();
};

TEST_F(NotSpentManufGoodsTest, LotRestsPerGoodStoreAndOrder) {
  ASSERT_TRUE(RunPeriod("2026-02-01", "2026-02-28")) << runner_.FirstError();
  // G1's two lots of order MO-1 in S1 are summed (5 + 2, valued 53.64 + 21.45); G3 has no
  // fixed rest, so its lot is not listed; lots without a reference or without rest neither.
  EXPECT_EQ(runner_.Rows(), (Table{kG1S1, kG1S2, kG2S1, kG2S2}));
  EXPECT_EQ(runner_.Columns(),
            (std::vector<std::string>{"GoodCode", "Name", "UnitCode", "StoreId", "StoreCode",
                                      "OrderInfo", "Author", "Rest", "RestSumma", "Person"}));
  EXPECT_EQ(runner_.ValueNames(), (std::vector<std::string>{"BegDate", "EndDate", "StoreCode",
                                                            "GoodCode", "GoodGroup", "DataList"}));
}

TEST_F(NotSpentManufGoodsTest, OnlyGoodsManufacturedInThePeriod) {
  // Only document 21 (G2, G3) falls in the period.
  ASSERT_TRUE(RunPeriod("2026-02-11", "2026-02-20")) << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(), (Table{kG2S1, kG2S2}));
  // An unposted receipt does not count.
  book_->Connection().Execute(R"(UPDATE "T$THDocument" SET "IsPosted" = 0 WHERE "IDC" = 21)");
  ASSERT_TRUE(RunPeriod("2026-02-11", "2026-02-20")) << runner_.FirstError();
  EXPECT_TRUE(runner_.Rows().empty());
}

TEST_F(NotSpentManufGoodsTest, StoreAndGoodsSelections) {
  ASSERT_TRUE(RunPeriod("2026-02-01", "2026-02-28", {{"selStore", Variant("S2")}}));
  EXPECT_EQ(runner_.Rows(), (Table{kG1S2, kG2S2}));
  // The store choice is restored from the last run unless it is changed.
  ASSERT_TRUE(RunPeriod("2026-02-01", "2026-02-28", {{"selGood", Variant("G2")}}));
  EXPECT_EQ(runner_.Value("StoreCode"), "'S2'");
  EXPECT_EQ(runner_.Rows(), (Table{kG2S2}));
  ASSERT_TRUE(RunPeriod("2026-02-01", "2026-02-28",
                        {{"selGood", Variant("G2")}, {"selStore", Variant("")}}));
  EXPECT_EQ(runner_.Value("GoodCode"), "'G2'");
  EXPECT_EQ(runner_.Rows(), (Table{kG2S1, kG2S2}));
  ASSERT_TRUE(RunPeriod("2026-02-01", "2026-02-28",
                        {{"selGood", Variant("GR")}, {"selStore", Variant("")}}))
      << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(), (Table{kG1S1, kG1S2, kG2S1, kG2S2}));
  EXPECT_EQ(runner_.Value("GoodCode"), "GR");
}

TEST_F(NotSpentManufGoodsTest, ErrorsKeepTheirNumber) {
  EXPECT_FALSE(RunPeriod("2026-02-01", "2026-02-28",
                         {{"selGood", Variant("'G1' --")}, {"selGood.SelType", Variant("1")}}));
  ASSERT_EQ(runner_.Op().Errors().size(), 1u);
  EXPECT_NE(runner_.Op().Errors()[0].number, kErrComponent) << "shown as raised";
  EXPECT_FALSE(runner_.Values().ExistsField("DataList"));

  EXPECT_FALSE(runner_.Run(*report_, book_, {}, /*cancel=*/true));
  EXPECT_EQ(runner_.Op().Errors().size(), 1u) << "a cancelled form is not an error";
  EXPECT_EQ(runner_.Values().Count(), 5u);
}

// --- The generated company against a computation over its rows ---
//
// The generated company keeps no stock order rows; here every lot-carrying row of its
// manufacturing receipts gets one, with the posted lot, as the stock documents would.
std::shared_ptr<host::AppContext> BookWithPostedLots() {
  static std::shared_ptr<host::AppContext> book = [] {
    auto b = testing::NewGeneratedBook(7);
    testing::RawReader r(*b);
    const std::string made = " FROM " + r.Table("THGoodSpec") + " s JOIN " + r.Table("THDocument") +
                             " d ON d.\"IDC\" = s.\"DocID\" WHERE d.\"DocTypeCode\" = 'MNFC'"
                             " AND s.\"LotPropertyID\" > 0";
    b->Connection().Execute("INSERT INTO " + r.Table("STOrderSpec") +
                            "(\"srcDocSpecID\", \"GoodCode\") SELECT s.\"IDC\", s.\"GoodCode\"" +
                            made);
    b->Connection().Execute(
        "INSERT INTO " + r.Table("STPostLot") +
        "(\"SpecID\", \"AnalytID\", \"GoodCode\") SELECT o.\"IDC\", s.\"LotPropertyID\", "
        "s.\"GoodCode\"" +
        made.substr(0, made.find(" WHERE")) + " JOIN " + r.Table("STOrderSpec") +
        " o ON o.\"srcDocSpecID\" = s.\"IDC\"" + made.substr(made.find(" WHERE")));
    return b;
  }();
  return book;
}

struct Period {
  const char* beg;
  const char* end;
  const char* stores;
};

Table Expected(host::AppContext& book, const Period& p) {
  BookFacts f(book);
  testing::RawReader r(book);
  const std::set<std::string> stores = testing::QuotedCodes(p.stores);
  std::map<int64_t, std::string> order_info;  // lot property -> reference
  r.Each("SELECT \"IDC\", \"OrderInfo\" FROM " + r.Table("STLotProperty") +
             " WHERE \"OrderInfo\" IS NOT NULL AND \"OrderInfo\" <> ''",
         [&](auto& s) { order_info[s.GetInt64(0)] = s.GetText(1); });
  // Goods of posted manufacturing receipts of the period whose posted lots name an order.
  std::set<std::string> made;
  r.Each("SELECT s.\"DocID\", s.\"GoodCode\", pl.\"AnalytID\" FROM " + r.Table("THGoodSpec") +
             " s JOIN " + r.Table("STOrderSpec") + " o ON o.\"srcDocSpecID\" = s.\"IDC\" JOIN " +
             r.Table("STPostLot") + " pl ON pl.\"SpecID\" = o.\"IDC\"",
         [&](auto& s) {
           const BookFacts::Doc& d = f.docs.at(s.GetInt64(0));
           if (d.type == "MNFC" && d.posted && d.date >= p.beg && d.date <= p.end &&
               order_info.count(s.GetInt64(2))) {
             made.insert(s.GetText(1));
           }
         });
  std::map<std::pair<std::string, std::string>, int64_t> customer_orders;  // -> author
  r.Each("SELECT d.\"Number\", pa.\"PartyCode\", d.\"Author\" FROM " + r.Table("THDocument") +
             " d JOIN " + r.Table("THPartyAttribute") +
             " pa ON pa.\"DocID\" = d.\"IDC\" AND pa.\"RolePartyCode\" = 'CUST' WHERE "
             "d.\"DocTypeCode\" = 'MO'",
         [&](auto& s) {
           customer_orders.emplace(std::pair{s.GetText(0), s.GetText(1)}, s.GetInt64(2));
         });
  auto fix = f.FixRests(testing::Today());

  using Key = std::tuple<std::string, std::string, std::string, std::optional<int64_t>>;
  std::map<Key, std::pair<double, double>> sums;  // (good, store, reference, author)
  r.Each("SELECT \"GoodCode\", \"StoreId\", \"AnalytID\", \"Rest\", \"RestAccount\" FROM " +
             r.Table("STLot"),
         [&](auto& s) {
           const std::string good = s.GetText(0);
           const std::string store = f.store_codes.at(std::to_string(s.GetInt64(1)));
           auto info = order_info.find(s.GetInt64(2));
           if (!(s.GetCurrency(3).ToDouble() > 0) || info == order_info.end() || !fix.count(good) ||
               !made.count(good) || (!stores.empty() && !stores.count(store))) {
             return;
           }
           const std::string& text = info->second;
           std::optional<int64_t> author;
           size_t colon = text.find(':');
           if (colon != std::string::npos) {
             size_t hash = text.find('#');
             std::string number = hash == std::string::npos ? text : text.substr(hash + 1);
             auto order = customer_orders.find({number, text.substr(0, colon)});
             if (order != customer_orders.end()) author = order->second;
           }
           double rest = s.GetCurrency(4).ToDouble();
           auto& sum = sums[{good, store, text, author}];
           sum.first += rest;
           sum.second += BookFacts::Valued(rest, fix, good);
         });
  Table rows;
  for (const auto& [key, sum] : sums) {
    const auto& [good, store, text, author] = key;
    std::string store_id;
    for (const auto& [id, code] : f.store_codes) {
      if (code == store) store_id = id;
    }
    std::string person = "<null>";
    if (author) {
      if (auto it = f.persons_by_user.find(*author); it != f.persons_by_user.end()) {
        person = std::to_string(*author) + " : " + it->second.first + " " + it->second.last;
      }
    }
    rows.push_back({good, f.goods.at(good).name, f.account_units.at(good), store_id, store, text,
                    author ? std::to_string(*author) : "<null>", Num(sum.first), Money(sum.second),
                    person});
  }
  return rows;
}

class NotSpentManufGoodsSampleTest : public ::testing::TestWithParam<Period> {};

TEST_P(NotSpentManufGoodsSampleTest, MatchesTheComputationOverTheBook) {
  const Period& p = GetParam();
  auto book = BookWithPostedLots();
  ReportRunner runner;
  CRepNotSpentManufGoods report;
  ASSERT_TRUE(runner.Run(report, book,
                         {{"edBegDate", Variant(p.beg)},
                          {"edEndDate", Variant(p.end)},
                          {"selStore", Variant(p.stores)},
                          {"selGood", Variant("")}}))
      << runner.FirstError();
  Table rows = runner.Rows();
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return std::tie(a[0], a[4]) < std::tie(b[0], b[4]);
  })) << "ordered by good and store";
  // Rows of one good and store come in no particular order.
  std::sort(rows.begin(), rows.end());
  Table expected = Expected(*book, p);
  std::sort(expected.begin(), expected.end());
  EXPECT_TRUE(rows == expected) << rows.size() << " rows, " << expected.size() << " expected\n"
                                << testing::TableDiff(rows, expected);
  // The printed totals against the computed rows: rests per unit, their sums.
  std::map<std::string, double> sums;
  for (const Row& row : expected) {
    testing::Add(sums, "Rest|" + row[2], std::stod(row[7]));
    testing::Add(sums, "RestSumma", std::stod(row[8]));
  }
  host::PrintedReport printed = testing::LaidOut("CRepNotSpentManufGoods", runner.Values(), book);
  EXPECT_EQ(testing::PrintedSums(printed.tables.at(0)), testing::AsText(sums));
  if (std::string(p.stores).empty() && std::string(p.beg) == "2026-01-01") {
    EXPECT_GT(expected.size(), 3u) << "the sample should have manufactured lots in stock";
  }
}

INSTANTIATE_TEST_SUITE_P(Periods, NotSpentManufGoodsSampleTest,
                         ::testing::Values(Period{"2026-01-01", "2026-12-31", ""},
                                           Period{"2026-05-01", "2026-08-31", ""},
                                           Period{"2026-01-01", "2026-12-31", "'GS'"}));

}  // namespace
}  // namespace qts::reports
