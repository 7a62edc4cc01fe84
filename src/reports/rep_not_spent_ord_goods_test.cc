#include "reports/rep_not_spent_ord_goods.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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
using testing::Table;

// --- A small book whose numbers are worked out by hand ---
//
// On the sample book (G1: 11 kg free for 118 today, stock S1 7 and S2 4; G3 without stock or
// fixed rest): requirement REQ-1 (author 7, February) asks G1 10, G2 5 and G3 2; G1 is ordered
// 6 + 2 (PIS and POD), G2 ordered 5 and spent 5, G3 ordered 2 and spent 3. REQ-2 (author 99,
// no person record) has G3 4 ordered. REQ-3 (author 7, March) has G1 1 ordered.
void SeedOrders(db::Connection& c) {
  const char* statements[] = {
      R"(INSERT INTO "T$REFPerson"("Code","Name","UserId","FirstName","LastName") VALUES
         ('P7','Ona',7,'Ona','Onaitė'))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","Code","DocumentDate",
         "StoreCode","IsPosted","Author") VALUES
         (10,'PRS','R1','REQ-1','2026-02-01','S1',1,7),(11,'PIS','O1',NULL,'2026-02-02','S1',1,7),
         (12,'POD','O2',NULL,'2026-02-03','S1',1,7),(13,'PRSF','F1',NULL,'2026-02-04','S1',0,7),
         (14,'PRS','R2','REQ-2','2026-02-05','S1',1,99),(15,'PIS','O3',NULL,'2026-02-06','S1',1,99),
         (16,'PRS','R3','REQ-3','2026-03-15','S1',1,7),(17,'PIS','O4',NULL,'2026-03-16','S1',1,7))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount") VALUES
         (101,10,1,'G1','KG',10,10),(102,10,2,'G2','VNT',5,5),(103,10,3,'G3','L',2,2),
         (111,11,1,'G1','KG',6,6),(112,11,2,'G2','VNT',5,5),(113,11,3,'G3','L',2,2),
         (121,12,1,'G1','KG',2,2),(131,13,1,'G2','VNT',5,5),(132,13,2,'G3','L',3,3),
         (141,14,1,'G3','L',4,4),(151,15,1,'G3','L',4,4),(161,16,1,'G1','KG',1,1),
         (171,17,1,'G1','KG',1,1))",
      R"(INSERT INTO "T$THGoodContent"("SpecID","CorSpecID","GoodCode","AmountAccount") VALUES
         (111,101,'G1',6),(121,101,'G1',2),(112,102,'G2',5),(131,102,'G2',5),(113,103,'G3',2),
         (132,103,'G3',3),(151,141,'G3',4),(171,161,'G1',1))",
  };
  for (const char* sql : statements) qts::host::schema::testing::Seed(c, sql);
}

class NotSpentOrdGoodsTest : public host::testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    SeedOrders(book_->Connection());
  }
  bool RunFebruary(std::vector<std::pair<std::string, Variant>> more = {}) {
    more.insert(more.begin(),
                {{"edBegDate", Variant("2026-02-01")}, {"edEndDate", Variant("2026-02-28")}});
    return runner_.Run(*report_, book_, std::move(more));
  }

  ReportRunner runner_;
  std::shared_ptr<CRepNotSpentOrdGoods> report_ = std::make_shared<CRepNotSpentOrdGoods>();
};

// The documented columns.
constexpr size_t kListed = 12;

// Order rows: Author, Code, GoodCode, Amount, Name, UnitCode, Summa, Person, then Rest,
// StoreCode, RestSumma, RestsList; rest rows carry the good and the rest only.
const std::vector<std::string> kG1Req1 = {"7",     "REQ-1",          "G1", "8", "Flour", "KG",
                                          "85.82", "7 : Ona Onaitė", "0",  "",  "0",     "0"};
const std::vector<std::string> kG1S1 = {"0", "", "G1", "0",  "",      "",
                                        "0", "", "7",  "S1", "75.09", "1"};
const std::vector<std::string> kG1S2 = {"0", "", "G1", "0",  "",      "",
                                        "0", "", "4",  "S2", "42.91", "1"};
const std::vector<std::string> kG3Req2 = {"99", "REQ-2", "G3", "4", "Oil", "L",
                                          "0",  "99",    "0",  "",  "0",   "0"};

TEST_F(NotSpentOrdGoodsTest, OrderRowsThenRestRowsPerGood) {
  ASSERT_TRUE(RunFebruary()) << runner_.FirstError();
  // G2 is fully spent and G3 of REQ-1 over-spent: neither gives a row. G3 has no stock, so it
  // has no rest rows; it has no fixed rest, so its value is 0. The author without a person
  // record shows the number alone.
  EXPECT_EQ(runner_.Rows(kListed), (Table{kG1Req1, kG1S1, kG1S2, kG3Req2}));
  // Exactly the documented columns, in their order and with their kinds; the fixed rest the
  // values come from (G1 11 kg for 118) adds none of its own.
  EXPECT_EQ(
      runner_.Columns(),
      (std::vector<std::string>{"Author", "Code", "GoodCode", "Amount", "Name", "UnitCode", "Summa",
                                "Person", "Rest", "StoreCode", "RestSumma", "RestsList"}));
  std::vector<int32_t> kinds;
  host::RecordsetPtr rs = runner_.DataList();
  for (size_t i = 0; i < rs->Fields().Count(); ++i) kinds.push_back(rs->Fields().Item(i).Kind());
  EXPECT_EQ(kinds, (std::vector<int32_t>{2, 15, 7, 20, 16, 7, 19, 15, 20, 7, 19, 20}));
  EXPECT_EQ(runner_.ValueNames(), (std::vector<std::string>{"BegDate", "EndDate", "StoreCode",
                                                            "GoodCode", "GoodGroup", "DataList"}));
  EXPECT_EQ(runner_.Value("BegDate"), "2026-02-01");
  EXPECT_EQ(runner_.Value("EndDate"), "2026-02-28");
  const host::FormDescription& shown = runner_.Op().Forms().back().form;
  EXPECT_EQ(shown.caption, "Ataskaitos parametrai");
  EXPECT_EQ(shown.At("edEndDate").caption, "iki :");
  EXPECT_EQ(shown.At("selStore").caption, "Sandėlis :");
}

TEST_F(NotSpentOrdGoodsTest, StoresLimitOnlyTheRestRows) {
  ASSERT_TRUE(RunFebruary({{"selStore", Variant("S2")}})) << runner_.FirstError();
  EXPECT_EQ(runner_.Value("StoreCode"), "'S2'");
  EXPECT_EQ(runner_.Rows(kListed), (Table{kG1Req1, kG1S2, kG3Req2}));
}

TEST_F(NotSpentOrdGoodsTest, GoodsSelectionAndGroupEcho) {
  ASSERT_TRUE(RunFebruary({{"selGood", Variant("'G3'")}})) << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(kListed), (Table{kG3Req2}));

  ASSERT_TRUE(RunFebruary({{"selGood", Variant("GR")}})) << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(kListed), (Table{kG1Req1, kG1S1, kG1S2}));
  EXPECT_EQ(runner_.Value("GoodGroup"), "GR");
  EXPECT_EQ(runner_.Value("GoodCode"), "GR") << "the group is printed in the goods field";
}

TEST_F(NotSpentOrdGoodsTest, PeriodBoundsAreInclusive) {
  ASSERT_TRUE(
      runner_.Run(*report_, book_,
                  {{"edBegDate", Variant("2026-02-05")}, {"edEndDate", Variant("2026-03-15")}}))
      << runner_.FirstError();
  const std::vector<std::string> g1_req3 = {"7",     "REQ-3",          "G1", "1", "Flour", "KG",
                                            "10.73", "7 : Ona Onaitė", "0",  "",  "0",     "0"};
  EXPECT_EQ(runner_.Rows(kListed), (Table{g1_req3, kG1S1, kG1S2, kG3Req2}));
  // A period without requirements: printed, empty.
  ASSERT_TRUE(
      runner_.Run(*report_, book_,
                  {{"edBegDate", Variant("2025-01-01")}, {"edEndDate", Variant("2025-12-31")}}));
  EXPECT_TRUE(runner_.Rows(kListed).empty());
}

TEST_F(NotSpentOrdGoodsTest, CancelledFormLeavesTheDeclaredValuesEmpty) {
  EXPECT_FALSE(runner_.Run(*report_, book_, {{"selStore", Variant("S1")}}, /*cancel=*/true));
  EXPECT_TRUE(runner_.Op().Errors().empty());
  ASSERT_EQ(runner_.Values().Count(), 5u);
  for (const auto& e : runner_.Values().Entries()) EXPECT_TRUE(e->Value().IsEmpty()) << e->Name();
}

TEST_F(NotSpentOrdGoodsTest, ErrorsAreShownWithTheReportNumber) {
  // A store selection that is not a list of codes is refused before any SQL runs.
  EXPECT_FALSE(
      RunFebruary({{"selStore", Variant("'S1' OR 1=1")}, {"selStore.SelType", Variant("1")}}));
  ASSERT_EQ(runner_.Op().Errors().size(), 1u);
  EXPECT_EQ(runner_.Op().Errors()[0].number, kErrComponent);
  EXPECT_FALSE(runner_.Values().ExistsField("DataList"));
  EXPECT_EQ(report_->BusyCursor(), nullptr) << "the handler releases the busy cursor";
}

TEST_F(NotSpentOrdGoodsTest, EmptiedDateIsTheFormsErrorShownAsRaised) {
  EXPECT_FALSE(runner_.Run(*report_, book_, {{"edEndDate", Variant("")}}));
  ASSERT_EQ(runner_.Op().Errors().size(), 1u);
  EXPECT_EQ(runner_.Op().Errors()[0].number, kErrInvalidUseOfNull);
  EXPECT_EQ(runner_.Op().Errors()[0].source, "frmRepNotSpentGoods");
  EXPECT_NE(runner_.Op().Errors()[0].description.find("edEndDate"), std::string::npos);
}

// --- The generated sample company against a computation over its rows ---

struct Selection {
  const char* beg;
  const char* end;
  const char* stores;  // "" or a quoted list
  const char* goods;   // selGood text: "", a quoted list or a group
};

Table Expected(const BookFacts& f, const Selection& sel) {
  const std::string today = testing::Today();
  const std::set<std::string> stores = testing::QuotedCodes(sel.stores);
  const std::set<std::string> goods = testing::QuotedCodes(sel.goods);
  const std::string group = std::string(sel.goods).find('\'') == std::string::npos ? sel.goods : "";

  std::map<std::tuple<int64_t, std::string, std::string>, double> balance;
  for (const auto& [id, s] : f.specs) {
    const BookFacts::Doc& d = f.DocOf(s);
    if (d.type != "PRS" || d.date < sel.beg || d.date > sel.end) continue;
    if (!goods.empty() && !goods.count(s.good)) continue;
    if (!group.empty() && (f.goods.at(s.good).group || !f.Below(s.good, group))) continue;
    double ordered = 0, spent = 0;
    bool has_order = false;
    for (const BookFacts::Content& c : f.contents) {
      if (c.cor_spec != id) continue;
      const std::string& type = f.DocOf(f.specs.at(c.spec)).type;
      if (type == "PIS" || type == "POD") {
        ordered += c.amount;
        has_order = true;
      }
      if (type == "PRSF") spent += c.amount;
    }
    if (has_order) balance[{d.author, d.code, s.good}] += ordered - spent;
  }
  auto fix = f.FixRests(today);
  Table rows;
  std::set<std::string> ordered_goods;
  for (const auto& [key, amount] : balance) {
    const auto& [author, code, good] = key;
    if (!(RoundDecimal(amount, 4) > 0)) continue;
    ordered_goods.insert(good);
    if (!f.account_units.count(good)) continue;
    std::string person = std::to_string(author);
    if (auto p = f.persons_by_user.find(author); p != f.persons_by_user.end()) {
      person += " : " + p->second.first + " " + p->second.last;
    }
    rows.push_back({std::to_string(author), code, good, Num(amount), f.goods.at(good).name,
                    f.account_units.at(good), Money(BookFacts::Valued(amount, fix, good)), person,
                    "0", "", "0", "0"});
  }
  for (const auto& [key, rest] : f.StoreRests(today)) {
    const auto& [good, store] = key;
    if (!ordered_goods.count(good) || !(RoundDecimal(rest, 4) > 0)) continue;
    if (!stores.empty() && !stores.count(store)) continue;
    rows.push_back({"0", "", good, "0", "", "", "0", "", Num(rest), store,
                    Money(BookFacts::Valued(rest, fix, good)), "1"});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    return std::tie(a[2], a[9], a[1]) < std::tie(b[2], b[9], b[1]);
  });
  return rows;
}

// The generated company spends every requirement in full; here a third of every second
// requirement row's spending is left, so that ordered goods stay open.
std::shared_ptr<host::AppContext> BookWithOpenOrders() {
  static std::shared_ptr<host::AppContext> book = [] {
    auto b = testing::NewGeneratedBook(7);
    testing::RawReader r(*b);
    b->Connection().Execute("UPDATE " + r.Table("THGoodContent") +
                            " SET \"AmountAccount\" = ROUND(\"AmountAccount\" / 3, 0) WHERE "
                            "\"CorSpecID\" % 2 = 0 AND \"SpecID\" IN"
                            " (SELECT s.\"IDC\" FROM " +
                            r.Table("THGoodSpec") + " s JOIN " + r.Table("THDocument") +
                            " d ON d.\"IDC\" = s.\"DocID\" WHERE d.\"DocTypeCode\" = 'PRSF')");
    return b;
  }();
  return book;
}

class NotSpentOrdGoodsSampleTest : public ::testing::TestWithParam<Selection> {};

TEST_P(NotSpentOrdGoodsSampleTest, MatchesTheComputationOverTheBook) {
  const Selection& sel = GetParam();
  auto book = BookWithOpenOrders();
  ReportRunner runner;
  CRepNotSpentOrdGoods report;
  ASSERT_TRUE(runner.Run(report, book,
                         {{"edBegDate", Variant(sel.beg)},
                          {"edEndDate", Variant(sel.end)},
                          {"selStore", Variant(sel.stores)},
                          {"selGood", Variant(sel.goods)}}))
      << runner.FirstError();
  Table expected = Expected(BookFacts(*book), sel);
  EXPECT_EQ(runner.Rows(kListed), expected);
  // The printed totals against the computed rows: order rows give the not spent quantities
  // and sums, rest rows the rests, each quantity in its good's unit (rest rows carry none).
  std::map<std::string, double> sums;
  std::map<std::string, std::string> units;
  for (const testing::Row& row : expected) {
    if (row[11] == "0") units[row[2]] = row[5];
  }
  for (const testing::Row& row : expected) {
    if (row[11] == "0") {
      testing::Add(sums, "Amount|" + row[5], std::stod(row[3]));
      testing::Add(sums, "Summa", std::stod(row[6]));
    } else {
      testing::Add(sums, "Rest|" + units.at(row[2]), std::stod(row[8]));
      testing::Add(sums, "RestSumma", std::stod(row[10]));
    }
  }
  host::PrintedReport printed = testing::LaidOut("CRepNotSpentOrdGoods", runner.Values(), book);
  EXPECT_EQ(testing::PrintedSums(printed.tables.at(0)), testing::AsText(sums));
  if (std::string(sel.goods).empty() && std::string(sel.beg) == "2026-01-01") {
    EXPECT_GT(expected.size(), 5u) << "the sample should have open orders";
  }
}

INSTANTIATE_TEST_SUITE_P(Selections, NotSpentOrdGoodsSampleTest,
                         ::testing::Values(Selection{"2026-01-01", "2026-12-31", "", ""},
                                           Selection{"2026-03-01", "2026-06-30", "'CS'", ""},
                                           Selection{"2026-01-01", "2026-12-31", "'GS'", ""},
                                           Selection{"2026-01-01", "2026-12-31", "", "G-PRK"}));

}  // namespace
}  // namespace qts::reports
