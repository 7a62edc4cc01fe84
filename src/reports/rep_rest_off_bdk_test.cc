#include "reports/rep_rest_off_bdk.h"

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
#include "host/services/enterprise_info.h"
#include "reports/testing/book_facts.h"
#include "reports/testing/printed_totals.h"
#include "reports/testing/report_harness.h"

namespace qts::reports {
namespace {

using testing::BookFacts;
using testing::Cell;
using testing::Num;
using testing::ReportRunner;
using testing::Row;
using testing::Table;

// On the sample book only G1 is of goods category 0 (G2 is category 1): receipt row 11
// (document P1, 2026-01-10, 10 kg, price (100 - 21) / 10) lost 3 kg to write-off W1 on
// 2026-01-25; row 21 (P2, 2026-01-20, 4 kg for 48) has no write-off. P1 is from supplier C1.
void SeedSuppliers(db::Connection& c) {
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$REFClient"("Code","Name") VALUES ('C1','Tiekėjas UAB'))");
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$FixCategory"("Code","Name") VALUES (0,'Pagrindinė'),(1,'Kita'))");
  qts::host::schema::testing::Seed(
      c, R"(INSERT INTO "T$THPartyAttribute"("DocID","RolePartyCode","PartyCode") VALUES
               (1,'PAR','C1'),(2,'DB','C1'))");
}

Row P1(std::string free) {
  return {"1",  "2026-01-10", "P1",  "2026.01.10:P1", "G1",           "Flour",
          "10", "KG",         "7.9", "<null>",        std::move(free)};
}
Row P2(std::string free) {
  return {"2", "2026-01-20", "P2", "2026.01.20:P2", "G1",           "Flour",
          "4", "KG",         "12", "<null>",        std::move(free)};
}
Row Fixed(Row row, std::string amount, std::string code, std::string date) {
  row.pop_back();
  row.insert(row.end(), {std::move(amount), std::move(code), std::move(date)});
  return row;
}

class CategoryReportTest : public host::testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    SeedSuppliers(book_->Connection());
  }
  bool RunRest(const char* date, std::vector<std::pair<std::string, Variant>> more = {}) {
    more.insert(more.begin(), {"edRepDate", Variant(date)});
    return runner_.Run(rest_, book_, std::move(more));
  }
  bool RunWriteOff(std::vector<std::pair<std::string, Variant>> more = {}) {
    more.insert(more.begin(),
                {{"edBegDate", Variant("2026-01-01")}, {"edEndDate", Variant("2026-01-31")}});
    return runner_.Run(write_off_, book_, std::move(more));
  }
  void WriteOffRow21(const char* date) {
    book_->Connection().Execute(
        std::string(R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate",
          "StoreCode","IsPosted") VALUES (5,'MMO','W2',')") +
        date + R"(','S2',1))");
    qts::host::schema::testing::Seed(
        book_->Connection(), R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode",
          "UnitCode","Amount","AmountAccount") VALUES (51,5,1,'G1','KG',4,4))");
    qts::host::schema::testing::Seed(book_->Connection(),
                                     R"(INSERT INTO "T$THGoodSpecFixLog"("GoodCode","OutcomeSpecID",
          "IncomeSpecID","Amount") VALUES ('G1',51,21,4))");
  }

  ReportRunner runner_;
  CRepGoodRestBDK rest_;
  CRepWriteOffBDK write_off_;
};

TEST_F(CategoryReportTest, RestsOnTheReportDate) {
  ASSERT_TRUE(RunRest("2026-01-31")) << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(), (Table{P1("7"), P2("4")}));
  EXPECT_EQ(runner_.Columns(),
            (std::vector<std::string>{"IDC", "DocumentDate", "Number", "DocCode", "GoodCode",
                                      "GoodName", "AmountAccount", "AccUnitCode", "Price",
                                      "CurrencyCode", "FreeAmount"}));
  EXPECT_EQ(runner_.ValueNames(),
            (std::vector<std::string>{"MyPlant", "Client", "ClientN", "FixCat", "FixCatN",
                                      "RepDate", "DataList"}));
  host::EnterpriseInfo enterprise;
  enterprise.Init(book_);
  EXPECT_EQ(runner_.Value("MyPlant"), enterprise.UnitName());
  EXPECT_EQ(runner_.Value("FixCat"), "-1") << "no category chosen";
  EXPECT_EQ(runner_.Value("RepDate"), "2026-01-31");
  const host::FormDescription& shown = runner_.Op().Forms().back().form;
  EXPECT_EQ(shown.caption, "Ataskaitos parametrai");
  EXPECT_EQ(shown.At("lblTitle").caption, "PREKIŲ LIKUČIAI PAGAL BDK");
  EXPECT_EQ(shown.At("edRepDate").caption, "Data :");
  EXPECT_EQ(shown.At("cbFixCat").caption, "Nurašymo kategorija :");
  EXPECT_EQ(shown.At("cbClient").caption, "Tiekėjas :");

  // Before the write-off the whole row is free; before P2 only P1 is there.
  ASSERT_TRUE(RunRest("2026-01-24"));
  EXPECT_EQ(runner_.Rows(), (Table{P1("10"), P2("4")}));
  ASSERT_TRUE(RunRest("2026-01-15"));
  EXPECT_EQ(runner_.Rows(), (Table{P1("10")}));
}

TEST_F(CategoryReportTest, RowsWithoutFreeQuantityAreDropped) {
  WriteOffRow21("2026-02-01");
  ASSERT_TRUE(RunRest("2026-01-31"));
  EXPECT_EQ(runner_.Rows(), (Table{P1("7"), P2("4")}));
  ASSERT_TRUE(RunRest("2026-02-01"));
  EXPECT_EQ(runner_.Rows(), (Table{P1("7")}));
}

TEST_F(CategoryReportTest, SupplierAndCategoryFilters) {
  ASSERT_TRUE(RunRest("2026-01-31", {{"cbClient", Variant("C1")}})) << runner_.FirstError();
  EXPECT_EQ(runner_.Rows(), (Table{P1("7")})) << "a party of another role does not count";
  EXPECT_EQ(runner_.Value("Client"), "C1");
  EXPECT_EQ(runner_.Value("ClientN"), "Tiekėjas UAB");

  // Category 0 is a real filter (all rows here carry 0); category 1 leaves nothing.
  ASSERT_TRUE(RunRest("2026-01-31", {{"cbClient", Variant("")}, {"cbFixCat", Variant("0")}}));
  EXPECT_EQ(runner_.Rows(), (Table{P1("7"), P2("4")}));
  EXPECT_EQ(runner_.Value("FixCat"), "0");
  EXPECT_EQ(runner_.Value("FixCatN"), "Pagrindinė");
  book_->Connection().Execute(R"(UPDATE "T$THGoodSpec" SET "FixCategory" = 1 WHERE "IDC" = 21)");
  ASSERT_TRUE(RunRest("2026-01-31", {{"cbFixCat", Variant("0")}}));
  EXPECT_EQ(runner_.Rows(), (Table{P1("7")}));
  ASSERT_TRUE(RunRest("2026-01-31", {{"cbFixCat", Variant("1")}}));
  EXPECT_EQ(runner_.Rows(), (Table{P2("4")}));
}

TEST_F(CategoryReportTest, WriteOffsOfThePeriod) {
  ASSERT_TRUE(RunWriteOff()) << runner_.FirstError();
  const Row p1_fixed = Fixed(P1(""), "3", "MMO:2026.01.25:W1", "2026-01-25");
  const Row p2_none = Fixed(P2(""), "<null>", "<null>", "<null>");
  // A receipt row without a write-off is listed once, with empty write-off columns.
  EXPECT_EQ(runner_.Rows(), (Table{p1_fixed, p2_none}));
  EXPECT_EQ(runner_.Columns().back(), "FixDocDate");
  EXPECT_EQ(runner_.ValueNames(),
            (std::vector<std::string>{"MyPlant", "Client", "ClientN", "FixCat", "FixCatN",
                                      "BegDate", "EndDate", "DataList"}));

  ASSERT_TRUE(RunWriteOff({{"chOnlyOnFix", Variant("1")}}));
  EXPECT_EQ(runner_.Rows(), (Table{p1_fixed}));

  // A later write-off counts whatever its date: the period is the receipts'.
  WriteOffRow21("2026-02-01");
  ASSERT_TRUE(RunWriteOff({{"chOnlyOnFix", Variant("0")}}));
  EXPECT_EQ(runner_.Rows(),
            (Table{p1_fixed, Fixed(P2(""), "4", "MMO:2026.02.01:W2", "2026-02-01")}));
}

TEST_F(CategoryReportTest, WriteOffPeriodFromTheRunParameters) {
  ReportRunner runner;
  ASSERT_TRUE(runner.Run(write_off_, book_, {}, false,
                         {{"_StartDate", Variant(Date::FromYmd(2026, 1, 15))},
                          {"_EndDate", Variant(Date::FromYmd(2026, 1, 31))}}))
      << runner.FirstError();
  EXPECT_EQ(runner.Value("BegDate"), "2026-01-15");
  EXPECT_EQ(runner.Value("EndDate"), "2026-01-31");
  const host::FormDescription& shown = runner.Op().Forms().back().form;
  EXPECT_EQ(Cell(shown.At("edBegDate").value), "2026-01-15") << "the form showed the period";
  EXPECT_EQ(shown.At("lblTitle").caption, "NURAŠYMAS PAGAL BDK");
  EXPECT_EQ(shown.At("chOnlyOnFix").caption, "Parodyti prekės turinčias nurašymą");
  EXPECT_EQ(runner.Rows(), (Table{Fixed(P2(""), "<null>", "<null>", "<null>")}));
  // Only one of the two: the form's own default (today) stays.
  ASSERT_TRUE(runner.Run(write_off_, book_, {}, false,
                         {{"_StartDate", Variant(Date::FromYmd(2026, 1, 15))}}));
  EXPECT_EQ(runner.Value("BegDate"), testing::Today());
}

TEST_F(CategoryReportTest, CancelAndErrors) {
  EXPECT_FALSE(runner_.Run(rest_, book_, {}, /*cancel=*/true));
  EXPECT_EQ(runner_.Values().Count(), 0u) << "nothing is declared before the form";
  EXPECT_FALSE(runner_.Run(write_off_, book_, {}, /*cancel=*/true));
  EXPECT_TRUE(runner_.Op().Errors().empty());

  // A category that is not a number, and a supplier the book does not know: shown as raised.
  EXPECT_FALSE(RunRest("2026-01-31", {{"cbFixCat", Variant("x")}}));
  ASSERT_EQ(runner_.Op().Errors().size(), 1u);
  EXPECT_EQ(runner_.Op().Errors()[0].number, kErrTypeMismatch);
  EXPECT_EQ(runner_.Values().Count(), 0u);
  EXPECT_FALSE(RunWriteOff({{"cbFixCat", Variant("")}, {"cbClient", Variant("NOPE")}}));
  ASSERT_EQ(runner_.Op().Errors().size(), 2u);
  EXPECT_EQ(runner_.Op().Errors()[1].number, kErrInvalidCall);
  EXPECT_NE(runner_.Op().Errors()[1].description.find("NOPE"), std::string::npos);
}

// --- The generated company against a computation over its rows ---

struct Case {
  CategoryReport report;
  const char* beg;  // write-off report only
  const char* end;  // the report date of the rests report
  const char* client;
  int category;  // -1 none
  bool only_fixed;
};

Table Expected(host::AppContext& book, const Case& c) {
  BookFacts f(book);
  testing::RawReader r(book);
  std::map<int64_t, std::string> suppliers;
  r.Each("SELECT \"DocID\", \"PartyCode\" FROM " + r.Table("THPartyAttribute") +
             " WHERE \"RolePartyCode\" = 'PAR'",
         [&](auto& s) { suppliers[s.GetInt64(0)] = s.IsNull(1) ? "" : s.GetText(1); });
  const bool write_off = c.report == CategoryReport::kWriteOff;
  auto date102 = [](std::string d) { return d.replace(4, 1, ".").replace(7, 1, "."); };
  std::map<Row, double> sums;
  std::map<Row, bool> null_sum;
  for (const auto& [id, s] : f.specs) {
    const BookFacts::Doc& d = f.DocOf(s);
    if (d.type != "PISF" || !d.posted || d.date > c.end) continue;
    if (write_off && d.date < c.beg) continue;
    if (s.good.empty() || f.goods.at(s.good).category != 0 || !f.account_units.count(s.good)) {
      continue;
    }
    if (*c.client && (!suppliers.count(s.doc) || suppliers.at(s.doc) != c.client)) continue;
    if (c.category >= 0 && s.fix_category != c.category) continue;
    double price = s.amount == 0 ? 0 : RoundDecimal((s.summa - s.vat) / s.amount, 4);
    Row key = {std::to_string(s.doc),
               d.date,
               d.number,
               date102(d.date) + ":" + d.number,
               s.good,
               f.goods.at(s.good).name,
               Num(s.amount_account),
               f.account_units.at(s.good),
               Num(price),
               d.currency.empty() ? "<null>" : d.currency};
    if (!write_off) {
      double free = s.amount_account - f.Linked(id, c.end);
      if (RoundDecimal(free, 4) == 0) continue;
      sums[key] += free;
      continue;
    }
    bool any = false;
    for (const BookFacts::Link& l : f.links) {
      if (l.income != id) continue;
      any = true;
      const BookFacts::Doc& out = f.DocOf(f.specs.at(l.outcome));
      Row k = key;
      k.insert(k.end(), {out.type + ":" + date102(out.date) + ":" + out.number, out.date});
      sums[k] += l.amount;
    }
    if (!any && !c.only_fixed) {
      Row k = key;
      k.insert(k.end(), {"<null>", "<null>"});
      null_sum[k] = true;
    }
  }
  Table rows;
  for (const auto& [key, sum] : sums) {
    Row row = key;
    if (write_off) {
      row.insert(row.end() - 2, Num(sum));
    } else {
      row.push_back(Num(sum));
    }
    rows.push_back(row);
  }
  for (const auto& [key, unused] : null_sum) {
    Row row = key;
    row.insert(row.end() - 2, "<null>");
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

class CategoryReportSampleTest : public ::testing::TestWithParam<Case> {};

TEST_P(CategoryReportSampleTest, MatchesTheComputationOverTheBook) {
  const Case& c = GetParam();
  auto book = testing::GeneratedBook();
  ReportRunner runner;
  CRepGoodRestBDK rest;
  CRepWriteOffBDK write_off;
  const std::string category = c.category < 0 ? "" : std::to_string(c.category);
  bool printed = c.report == CategoryReport::kRest
                     ? runner.Run(rest, book,
                                  {{"edRepDate", Variant(c.end)},
                                   {"cbClient", Variant(c.client)},
                                   {"cbFixCat", Variant(category)}})
                     : runner.Run(write_off, book,
                                  {{"edBegDate", Variant(c.beg)},
                                   {"edEndDate", Variant(c.end)},
                                   {"cbClient", Variant(c.client)},
                                   {"cbFixCat", Variant(category)},
                                   {"chOnlyOnFix", Variant(c.only_fixed ? "1" : "0")}});
  ASSERT_TRUE(printed) << runner.FirstError();
  Table rows = runner.Rows();
  const bool write_off_case = c.report == CategoryReport::kWriteOff;
  // The backend sorts a missing write-off date (Null) first.
  auto key = [&](const Row& r) {
    return std::tuple(r[1], r[2], write_off_case && r[12] != "<null>" ? r[12] : "");
  };
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    return key(a) < key(b);
  })) << "ordered by document date and number";
  std::sort(rows.begin(), rows.end());
  Table expected = Expected(*book, c);
  EXPECT_TRUE(rows == expected) << rows.size() << " rows, " << expected.size() << " expected\n"
                                << testing::TableDiff(rows, expected);
  // The printed totals against the computed rows, per unit. A receipt row with several
  // write-offs is one group: its received quantity counts once.
  std::map<std::string, double> sums;
  std::set<std::vector<std::string>> receipt_rows;
  for (const Row& row : expected) {
    if (receipt_rows.insert({row[0], row[4], row[6], row[8]}).second || !write_off_case) {
      testing::Add(sums, "AmountAccount|" + row[7], std::stod(row[6]));
    }
    if (!write_off_case) {
      testing::Add(sums, "FreeAmount|" + row[7], std::stod(row[10]));
    } else if (row[10] != "<null>") {
      testing::Add(sums, "FixAmount|" + row[7], std::stod(row[10]));
    }
  }
  host::PrintedReport page = testing::LaidOut(
      write_off_case ? "CRepWriteOffBDK" : "CRepGoodRestBDK", runner.Values(), book);
  EXPECT_EQ(testing::PrintedSums(page.tables.at(0)), testing::AsText(sums));
  if (!*c.client && c.category < 0) {
    EXPECT_GT(expected.size(), 20u) << "a thin sample";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CategoryReportSampleTest,
    ::testing::Values(Case{CategoryReport::kRest, "", "2026-06-30", "", -1, false},
                      Case{CategoryReport::kRest, "", "2026-12-31", "", 2, false},
                      Case{CategoryReport::kRest, "", "2026-09-30", "K0022", 0, false},
                      Case{CategoryReport::kWriteOff, "2026-03-01", "2026-04-30", "", -1, false},
                      Case{CategoryReport::kWriteOff, "2026-01-01", "2026-12-31", "", 1, true},
                      Case{CategoryReport::kWriteOff, "2026-01-01", "2026-06-30", "K0028", -1,
                           false}));

}  // namespace
}  // namespace qts::reports
