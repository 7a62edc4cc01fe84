// The kept stock facts: kept by every writer of links, read by the stock sources, which give the
// same rows as the aggregating statements over the links alone; Check finds what is not so and
// Rebuild repairs it. On a generated sample book, through the real schema and translator.
#include "host/documents/stock_facts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/convert.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/documents/th_good_spec_fix_log.h"
#include "host/sample/sample_book.h"
#include "host/schema/schema.h"
#include "host/services/document_service.h"
#include "host/testing/test_book.h"

namespace qts::host {
namespace {

using Kind = StockFactDifference::Kind;

// One sample book for the whole suite. Tests that write do so inside a transaction they roll
// back, so each starts from the book as generated.
class StockFactsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    book_ = testing::NewTestBook("SF");
    sample::GenerateSampleBook(*book_, sample::SampleSize::kSmall, 42);
  }
  static void TearDownTestSuite() { book_.reset(); }

  // Every row `tsql` gives, each as its cells joined by '|', sorted.
  static std::vector<std::string> RowsOf(const std::string& tsql) {
    db::StatementHandle s = book_->PrepareTsql(tsql);
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
  static int64_t Int(const std::string& tsql) {
    db::StatementHandle s = book_->PrepareTsql(tsql);
    return s->Step() && !s->IsNull(0) ? s->GetInt64(0) : 0;
  }
  static std::string Text(const std::string& tsql) {
    db::StatementHandle s = book_->PrepareTsql(tsql);
    return s->Step() && !s->IsNull(0) ? s->GetText(0) : std::string();
  }
  static Currency Money(const std::string& tsql) {
    db::StatementHandle s = book_->PrepareTsql(tsql);
    return s->Step() && !s->IsNull(0) ? s->GetCurrency(0) : Currency();
  }
  // The kept consumption of row `spec_id`, or -1 when it has none.
  static int64_t Kept(int64_t spec_id) {
    db::StatementHandle s =
        book_->PrepareTsql("SELECT Amount FROM THGoodSpecFixed WHERE SpecID = ?");
    s->BindInt64(1, spec_id);
    return s->Step() ? s->GetCurrency(0).Scaled() : -1;
  }
  // A posted outgoing stock document with rows that consumed receipts: the n-th such, by IDC.
  static int32_t PostedOutgoing(int n) {
    db::StatementHandle s = book_->PrepareTsql(
        "SELECT DISTINCT o.DocID FROM THGoodSpecFixLog l"
        " INNER JOIN THGoodSpec o ON o.IDC = l.OutcomeSpecID"
        " INNER JOIN THDocument d ON d.IDC = o.DocID WHERE d.IsPosted = 1 AND l.Type = 0"
        " ORDER BY o.DocID");
    for (int i = 0; s->Step(); ++i) {
      if (i == n) return static_cast<int32_t>(s->GetInt64(0));
    }
    ADD_FAILURE() << "the sample book has fewer than " << n + 1 << " posted outgoing documents";
    return 0;
  }
  static std::vector<StockFactDifference> Check() { return StockFacts(*book_).Check(); }
  // The differences in the kept facts alone, leaving out the stock rules.
  static std::vector<StockFactDifference> KeptFactDifferences() {
    std::vector<StockFactDifference> found = Check();
    found.erase(std::remove_if(found.begin(), found.end(),
                               [](const StockFactDifference& d) { return !d.repairable; }),
                found.end());
    return found;
  }
  static std::string Describe(const std::vector<StockFactDifference>& found) {
    std::string out;
    for (const auto& d : found) out += d.what + ": " + d.kept + " / " + d.recomputed + "\n";
    return out;
  }

  static std::shared_ptr<AppContext> book_;
};

std::shared_ptr<AppContext> StockFactsTest::book_;

// --- The stock sources read the kept facts and give what the links alone give ---

struct SourceCase {
  const char* source;
  const char* date;  // the DateRest literal; "" for a view
};

class StockSourceRows : public StockFactsTest, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(StockSourceRows, SameRowsAsTheAggregatingStatementOverTheLinks) {
  const SourceCase& c = GetParam();
  std::map<std::string, std::string> literals;
  if (*c.date) literals["DateRest"] = c.date;
  const std::string kept = schema::SourceSql(c.source, literals);
  const std::string plain = schema::PlainSourceSql(c.source, literals);
  ASSERT_NE(kept, plain) << "the source reads no kept facts";
  const std::vector<std::string> rows = RowsOf(kept);
  EXPECT_GT(rows.size(), 10u);
  EXPECT_EQ(rows, RowsOf(plain));
}

INSTANTIATE_TEST_SUITE_P(SampleBook, StockSourceRows,
                         ::testing::Values(SourceCase{"THGoodSpecNotFixed", ""},
                                           SourceCase{"THGoodSpecFreeRest", "'2026-02-01'"},
                                           SourceCase{"THGoodSpecFreeRest", "'2026-06-30'"},
                                           SourceCase{"THGoodSpecFreeRest", "'2026-12-31'"},
                                           SourceCase{"THGoodSpecFreeRest", "'9999-12-31'"},
                                           SourceCase{"THDocGoodFixRest", "'2026-01-15'"},
                                           SourceCase{"THDocGoodFixRest", "'2026-06-30'"},
                                           SourceCase{"THDocGoodFixRest", "'2026-12-31'"},
                                           SourceCase{"THDocGoodFixRest", "'9999-12-31'"},
                                           SourceCase{"STStoreRest", "'2026-01-15'"},
                                           SourceCase{"STStoreRest", "'2026-06-30'"},
                                           SourceCase{"STStoreRest", "'2026-12-06'"},
                                           SourceCase{"STStoreRest", "'2026-12-31'"},
                                           SourceCase{"STStoreRest", "'9999-12-31'"}),
                         [](const auto& info) {
                           std::string date = info.param.date;
                           date.erase(std::remove_if(date.begin(), date.end(),
                                                     [](char ch) { return ch < '0' || ch > '9'; }),
                                      date.end());
                           return std::string(info.param.source) + (date.empty() ? "" : "_" + date);
                         });

// A date in the middle of the year must count the links up to it only: the free quantities on
// it are more than what is left after every link.
TEST_F(StockFactsTest, FreeQuantityOnAnEarlierDateCountsOnlyTheLinksUpToIt) {
  const std::string mid = schema::SourceSql("THGoodSpecFreeRest", {{"DateRest", "'2026-06-30'"}});
  const std::string end = schema::SourceSql("THGoodSpecFreeRest", {{"DateRest", "'9999-12-31'"}});
  const std::string receipts_by_mid = " WHERE r.SpecID IN (SELECT x.SpecID FROM (" + mid + ") x)";
  EXPECT_GT(Money("SELECT SUM(r.FreeAmount) FROM (" + mid + ") r"),
            Money("SELECT SUM(r.FreeAmount) FROM (" + end + ") r" + receipts_by_mid));
}

// The stock rests and fixed rests keep what the aggregating statements do with odd rows: a
// store, good or fixing category that is NULL (apart from '' and 0), rows without a quantity (a
// rest of NULL when none has one) or without a cost, receipts of quantity 0, documents without
// a date (never up to a date), an odd receipt consumed in part, and a date of NULL (no rests).
TEST_F(StockFactsTest, RestsOfOddRowsAreTheAggregatingStatements) {
  db::Transaction scope(book_->Connection());
  const auto document = [](const char* type, const char* date, const char* store) {
    book_->ExecuteTsql(std::string("INSERT INTO THDocument (DocTypeCode, Number, DocumentDate,"
                                   " StoreCode, IsPosted) VALUES (?, ?, ") +
                           date + ", " + store + ", 1)",
                       {std::string(type), "ODD-" + std::to_string(Int("SELECT COUNT(IDC) FROM "
                                                                       "THDocument"))});
    return Int("SELECT MAX(IDC) FROM THDocument");
  };
  int pos = 0;
  const auto row = [&pos](int64_t doc, const char* good, const char* amount) {
    book_->ExecuteTsql(std::string("INSERT INTO THGoodSpec (DocID, PosNumb, GoodCode,"
                                   " AmountAccount) VALUES (?, ?, ") +
                           good + ", " + amount + ")",
                       {doc, int64_t{++pos}});
  };
  const std::string good = "'" + Text("SELECT MIN(GoodCode) FROM THGoodSpec") + "'";
  const int64_t no_store = document("PISF", "'2026-03-01'", "NULL");
  row(no_store, good.c_str(), "7");
  row(no_store, "NULL", "5");
  row(no_store, "''", "3");
  const int64_t undated = document("PRSF", "NULL", "'CS'");
  row(undated, good.c_str(), "2");
  row(undated, "NULL", "1");
  const int64_t unvalued = document("PISF", "'2026-06-01'", "'CS'");
  row(unvalued, "'ODD-NO-QUANTITY'", "NULL");
  row(unvalued, good.c_str(), "NULL");
  const int64_t late = document("PISF", "'2026-09-01'", "''");
  row(late, "NULL", "4");
  // Receipts with a fixing category of NULL, a cost of NULL, a quantity of 0, no date.
  const auto receipt = [&pos](int64_t doc, const char* good, const char* category,
                              const char* amount, const char* cost) {
    book_->ExecuteTsql(std::string("INSERT INTO THGoodSpec (DocID, PosNumb, GoodCode, FixCategory,"
                                   " AmountAccount, CostSumm) VALUES (?, ?, ") +
                           good + ", " + category + ", " + amount + ", " + cost + ")",
                       {doc, int64_t{++pos}});
    return Int("SELECT MAX(IDC) FROM THGoodSpec");
  };
  const int64_t odd = document("PISF", "'2026-04-01'", "'CS'");
  const int64_t uncategorised = receipt(odd, "'ODD-FIX'", "NULL", "10", "33.33");
  receipt(odd, "'ODD-FIX'", "NULL", "5", "NULL");
  receipt(odd, "'ODD-FIX'", "2", "0", "1.5");
  receipt(odd, "'ODD-COSTLESS'", "0", "6", "NULL");
  receipt(odd, "'ODD-EMPTY'", "0", "0", "NULL");
  receipt(odd, "NULL", "NULL", "1", "1");
  const int64_t undated_receipt = document("PISF", "NULL", "'CS'");
  receipt(undated_receipt, "'ODD-FIX'", "NULL", "7", "7");
  // Consumed in part on 2026-05-01 and, by an undated document, after every date.
  const int64_t taker = document("PRSF", "'2026-05-01'", "'CS'");
  const int64_t taken = receipt(taker, "'ODD-FIX'", "0", "3", "NULL");
  const int64_t undated_taken = receipt(undated, "'ODD-FIX'", "0", "1", "NULL");
  book_->ExecuteTsql(
      "INSERT INTO THGoodSpecFixLog (GoodCode, OutcomeSpecID, IncomeSpecID, Amount,"
      " Type) VALUES ('ODD-FIX', ?, ?, 3, 0), ('ODD-FIX', ?, ?, 1, 0)",
      {taken, uncategorised, undated_taken, uncategorised});
  StockFacts(*book_).Rebuild();

  for (const char* date :
       {"'2026-01-01'", "'2026-04-15'", "'2026-06-30'", "'2026-12-31'", "NULL"}) {
    const std::map<std::string, std::string> literals{{"DateRest", date}};
    for (const char* source : {"STStoreRest", "THDocGoodFixRest"}) {
      EXPECT_EQ(RowsOf(schema::SourceSql(source, literals)),
                RowsOf(schema::PlainSourceSql(source, literals)))
          << source << " on " << date;
    }
  }
  // The odd receipts' fixed rests on 2026-06-30: of 10 at 33.33, 3 taken by then (1 more
  // later), and 5 of no cost in category NULL; 0 at 1.5 in category 2; 6 of no cost; 0 of no
  // cost; none of a row without a quantity; the NULL good's in category 0 (from 2026-03-01, of
  // cost 0) and NULL.
  std::vector<std::string> odd_rests;
  {
    db::StatementHandle s =
        book_->PrepareTsql("SELECT r.GoodCode, r.FixCategory, r.AmountAccount, r.CostSumm FROM (" +
                           schema::SourceSql("THDocGoodFixRest", {{"DateRest", "'2026-06-30'"}}) +
                           ") r WHERE r.GoodCode LIKE 'ODD-%' OR r.GoodCode IS NULL");
    const auto cell = [&s](int c, bool money) {
      if (s->IsNull(c)) return std::string("NULL");
      return money ? s->GetCurrency(c).ToString() : s->GetText(c);
    };
    while (s->Step()) {
      odd_rests.push_back(cell(0, false) + "|" + cell(1, false) + "|" + cell(2, true) + "|" +
                          cell(3, true));
    }
    std::sort(odd_rests.begin(), odd_rests.end());
  }
  EXPECT_EQ(odd_rests,
            (std::vector<std::string>{"NULL|0|5|0", "NULL|NULL|1|1", "ODD-COSTLESS|0|6|NULL",
                                      "ODD-EMPTY|0|0|0", "ODD-FIX|2|0|0", "ODD-FIX|NULL|12|23.33",
                                      "ODD-NO-QUANTITY|0|NULL|NULL"}));
  // The odd keys are there, apart from each other: not vacuously equal.
  const std::vector<std::string> rests = RowsOf(
      "SELECT r.StoreCode, r.GoodCode, CASE WHEN r.Rest IS NULL THEN 'none' ELSE 'some' END"
      " FROM (" +
      schema::SourceSql("STStoreRest", {{"DateRest", "'2026-12-31'"}}) +
      ") r WHERE r.StoreCode IS NULL OR r.GoodCode IS NULL OR r.StoreCode = ''"
      " OR r.GoodCode = '' OR r.Rest IS NULL");
  std::vector<std::string> expected{"CS|NULL|some",
                                    "CS|ODD-NO-QUANTITY|none",
                                    "NULL|" + good.substr(1, good.size() - 2) + "|some",
                                    "NULL||some",
                                    "NULL|NULL|some",
                                    "|NULL|some"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rests, expected);
  EXPECT_TRUE(RowsOf(schema::SourceSql("STStoreRest", {{"DateRest", "NULL"}})).empty());
  const std::vector<StockFactDifference> found = KeptFactDifferences();
  EXPECT_TRUE(found.empty()) << Describe(found);
}

// --- Their plans: no full scan of the fix log, nor of the rows per output row ---

// The plan SQLite makes for a stock source, one line per step, each indented by its depth.
struct PlanCase {
  const char* source;
  const char* date;
  // Whether the aggregating statement over the links alone scans the fix log.
  bool plain_scans;
  // Whether the source reads every row of the rows table once (a view of every receipt);
  // otherwise it reads the kept facts and the rows of the period after the date only.
  bool reads_every_row;
};

class StockSourcePlans : public ::testing::TestWithParam<PlanCase> {
 protected:
  static void SetUpTestSuite() {
    book_ = AppContext::CreateBook(":memory:", "QP");  // EXPLAIN QUERY PLAN is SQLite's
    sample::GenerateSampleBook(*book_, sample::SampleSize::kSmall, 42);
    book_->Connection().Execute("ANALYZE");
  }
  static void TearDownTestSuite() { book_.reset(); }

  static std::vector<std::string> Plan(const std::string& tsql) {
    db::StatementHandle translated = book_->PrepareTsql(tsql);
    db::StatementHandle s = book_->Connection().Prepare("EXPLAIN QUERY PLAN " + translated->Sql());
    std::map<int64_t, int> depth;
    std::vector<std::string> lines;
    while (s->Step()) {
      const int d = depth[s->GetInt64(0)] = depth[s->GetInt64(1)] + 1;
      lines.push_back(std::string(2 * d, ' ') + s->GetText(3));
    }
    return lines;
  }
  static std::string Text(const std::vector<std::string>& plan) {
    std::string out;
    for (const std::string& line : plan) out += line + "\n";
    return out;
  }
  // The steps that read every row of the fix log ("l") or of the rows table ("s", "o") and
  // are not the one outer pass over the receipts: under a correlated subquery they run once
  // per output row. Without `row_pass`, no pass over every row of the rows table or of the
  // documents ("d") at all.
  static std::vector<std::string> ForbiddenScans(const std::vector<std::string>& plan,
                                                 bool row_pass = true) {
    std::vector<std::string> found;
    size_t correlated_depth = std::string::npos;
    for (const std::string& line : plan) {
      const size_t depth = line.find_first_not_of(' ');
      const std::string step = line.substr(depth);
      if (correlated_depth != std::string::npos && depth <= correlated_depth) {
        correlated_depth = std::string::npos;
      }
      if (step.rfind("CORRELATED", 0) == 0) correlated_depth = depth;
      const bool scan = step.rfind("SCAN ", 0) == 0;
      const std::string table = scan ? step.substr(5, step.find(' ', 5) - 5) : "";
      if (scan && table == "l") found.push_back(step);
      if (scan && (table == "s" || table == "o") && correlated_depth != std::string::npos) {
        found.push_back(step + " (per output row)");
      } else if (scan && (table == "s" || table == "o" || table == "d") && !row_pass) {
        found.push_back(step + " (every row)");
      }
    }
    return found;
  }

  static std::shared_ptr<AppContext> book_;
};

std::shared_ptr<AppContext> StockSourcePlans::book_;

TEST_P(StockSourcePlans, ReadTheKeptFactsWithoutScanningTheFixLog) {
  const PlanCase& c = GetParam();
  std::map<std::string, std::string> literals;
  if (*c.date) literals["DateRest"] = c.date;
  const std::vector<std::string> plan = Plan(schema::SourceSql(c.source, literals));
  EXPECT_TRUE(ForbiddenScans(plan, c.reads_every_row).empty()) << Text(plan);
  if (c.plain_scans) {
    // The aggregating statement over the links, as the source ran before, does scan the fix
    // log: the check above tells the two apart.
    const std::vector<std::string> plain = Plan(schema::PlainSourceSql(c.source, literals));
    EXPECT_FALSE(ForbiddenScans(plain).empty()) << Text(plain);
  }
  if (c.plain_scans && !c.reads_every_row) {
    // Summing the receipts up to the date, as the source did before, reads them all.
    const std::vector<std::string> plain = Plan(schema::PlainSourceSql(c.source, literals));
    EXPECT_FALSE(ForbiddenScans(plain, false).empty()) << Text(plain);
  }
}

INSTANTIATE_TEST_SUITE_P(
    SampleBook, StockSourcePlans,
    ::testing::Values(PlanCase{"THGoodSpecNotFixed", "", true, true},
                      PlanCase{"THGoodSpecFreeRest", "'2026-12-31'", false, true},
                      PlanCase{"THDocGoodFixRest", "'2026-12-31'", true, false},
                      PlanCase{"STStoreRest", "'2026-12-31'", false, false}),
    [](const auto& info) { return std::string(info.param.source); });

// A book as a person's is, without statistics: the not-fixed receipts of one store without a
// lot are found through the store's documents and, in each, the rows of the lot by the lot
// index, which carries the document. The lot index alone led this plan to read every row of lot
// 0 (nearly all rows) once for every document of the store.
TEST(StockSourceLotPlan, FindsTheRowsOfALotThroughTheirDocuments) {
  auto book = AppContext::CreateBook(":memory:", "LP");
  sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 42);
  const auto plan = [&] {
    db::StatementHandle translated = book->PrepareTsql(
        "SELECT n.GoodCode, SUM(n.AmountAccount) FROM THGoodSpecNotFixed n"
        " WHERE n.StoreCode = 'CS' AND n.LotPropertyID = 0 GROUP BY n.GoodCode");
    db::StatementHandle s = book->Connection().Prepare("EXPLAIN QUERY PLAN " + translated->Sql());
    std::vector<std::string> steps;
    while (s->Step()) steps.push_back(s->GetText(3));
    return steps;
  };
  const auto reads_lot_alone = [](const std::vector<std::string>& steps) {
    return std::any_of(steps.begin(), steps.end(), [](const std::string& step) {
      return step.rfind("SEARCH s ", 0) == 0 && step.find("LotPropertyID=?") != std::string::npos &&
             step.find("DocID=?") == std::string::npos;
    });
  };
  const std::vector<std::string> steps = plan();
  EXPECT_FALSE(reads_lot_alone(steps)) << ::testing::PrintToString(steps);
  EXPECT_TRUE(std::any_of(steps.begin(), steps.end(), [](const std::string& step) {
    return step.find("DocID=?") != std::string::npos;
  })) << ::testing::PrintToString(steps);
  // With the index on the lot alone, as version 6 had it, the plan reads the lot's rows.
  db::Connection& c = book->Connection();
  c.Execute(R"(DROP INDEX "LP$THGoodSpec$LotPropertyID_DocID")");
  c.Execute(R"(CREATE INDEX "LP$THGoodSpec$LotPropertyID" ON "LP$THGoodSpec" ("LotPropertyID"))");
  EXPECT_TRUE(reads_lot_alone(plan())) << ::testing::PrintToString(plan());
}

// --- Every writer of links keeps them ---

TEST_F(StockFactsTest, GeneratedSampleBookIsClean) {
  EXPECT_GT(Int("SELECT COUNT(SpecID) FROM THGoodSpecFixed"), 100);
  const std::vector<StockFactDifference> found = Check();
  EXPECT_TRUE(found.empty()) << Describe(found);
}

TEST_F(StockFactsTest, PostingUnpostingAndDeletingKeepTheFacts) {
  db::Transaction scope(book_->Connection());  // rolled back: the book stays as generated
  const int32_t id = PostedOutgoing(3);
  const std::set<int64_t> consumed = StockFacts(*book_).ConsumedByDocument(id);
  ASSERT_FALSE(consumed.empty());
  const int64_t receipt = *consumed.begin();
  const int64_t before = Kept(receipt);
  ASSERT_GT(before, 0);

  auto doc = std::make_shared<THDocument>(book_);
  ASSERT_TRUE(doc->Load(id));
  DocumentService service;
  service.Init(book_, doc);
  service.OpenDoc(false);
  EXPECT_LT(Kept(receipt), before);  // -1 when its only links were this document's
  std::vector<StockFactDifference> found = Check();
  EXPECT_TRUE(found.empty()) << "after unposting\n" << Describe(found);

  service.CloseDoc(Variant(), false);
  EXPECT_EQ(Kept(receipt), before);
  found = Check();
  EXPECT_TRUE(found.empty()) << "after posting again\n" << Describe(found);

  // A row deleted with its links, then the whole document with the rest of them. Deleting
  // rows of a posted document gives nothing back to the lots (qts doc delete unposts first),
  // so only the kept facts are looked at here.
  THGoodSpec rows(book_);
  const int64_t row =
      Int("SELECT MIN(o.IDC) FROM THGoodSpec o WHERE o.DocID = " + std::to_string(id));
  ASSERT_TRUE(rows.Delete(static_cast<int32_t>(row)));
  found = KeptFactDifferences();
  EXPECT_TRUE(found.empty()) << "after deleting a row\n" << Describe(found);
  ASSERT_TRUE(doc->Delete(id));
  EXPECT_LT(Kept(receipt), before);
  found = KeptFactDifferences();
  EXPECT_TRUE(found.empty()) << "after deleting the document\n" << Describe(found);
}

// Every write that changes what a posted stock document moves keeps the rests of the stores and
// goods it touches and the receipt totals of its goods and fixing categories, in the writer's
// transaction: a header's store or posting, a row's good, quantity, fixing category or cost, a
// row added or deleted, the document deleted. (Such writes bypass the lots; only the kept facts
// are looked at.)
TEST_F(StockFactsTest, EveryWriterOfPostedRowsKeepsTheRestsAndReceiptTotals) {
  db::Transaction scope(book_->Connection());
  const auto clean = [](const char* after) {
    const std::vector<StockFactDifference> found = KeptFactDifferences();
    EXPECT_TRUE(found.empty()) << "after " << after << "\n" << Describe(found);
  };
  // The kept rests and fixed rests and those the posted rows give, on the last day of the year
  // and after.
  const auto same_as_rows = [](const char* after) {
    for (const char* date : {"'2026-12-31'", "'9999-12-31'"}) {
      const std::map<std::string, std::string> literals{{"DateRest", date}};
      for (const char* source : {"STStoreRest", "THDocGoodFixRest"}) {
        EXPECT_EQ(RowsOf(schema::SourceSql(source, literals)),
                  RowsOf(schema::PlainSourceSql(source, literals)))
            << source << " after " << after << ", on " << date;
      }
    }
  };
  const auto kept_total = [](const std::string& good, int category) {
    return Money("SELECT Amount FROM THGoodFixTotal WHERE GoodCode = '" + good +
                 "' AND FixCategory = " + std::to_string(category) + " AND NullCodes = 0");
  };
  const auto kept_rest = [](const std::string& store, const std::string& good) {
    return Money("SELECT Rest FROM STStoreGoodRest WHERE StoreCode = '" + store +
                 "' AND GoodCode = '" + good + "' AND NullCodes = 0");
  };
  const int32_t id = static_cast<int32_t>(
      Int("SELECT MIN(IDC) FROM THDocument WHERE IsPosted = 1 AND DocTypeCode = 'PISF'"
          " AND StoreCode = 'CS'"));
  const std::string where = " WHERE DocID = " + std::to_string(id);
  const std::string good = Text("SELECT MIN(GoodCode) FROM THGoodSpec" + where);
  const Currency quantity =
      Money("SELECT SUM(AmountAccount) FROM THGoodSpec" + where + " AND GoodCode = '" + good + "'");
  ASSERT_GT(quantity, Currency());
  const std::string other = Text("SELECT MIN(Code) FROM STStore WHERE Code <> 'CS'");
  const Currency in_cs = kept_rest("CS", good);
  const Currency in_other = kept_rest(other, good);

  auto doc = std::make_shared<THDocument>(book_);
  ASSERT_TRUE(doc->Load(id));
  doc->Fields().Item("StoreCode").SetValue(Variant(other));
  ASSERT_TRUE(doc->Update());
  EXPECT_EQ(kept_rest("CS", good), in_cs - quantity);
  EXPECT_EQ(kept_rest(other, good), in_other + quantity);
  clean("moving a posted document to another store");

  THGoodSpec rows(book_);
  const int64_t row = Int("SELECT MIN(IDC) FROM THGoodSpec" + where);
  ASSERT_TRUE(rows.MoveToID(static_cast<int32_t>(row)));
  rows.Fields().Item("AmountAccount").SetValue(Variant(Currency::FromLong(12345)));
  ASSERT_TRUE(rows.UpdateByID(static_cast<int32_t>(row)));
  clean("changing a row's quantity");
  rows.Fields().Item("GoodCode").SetValue(Variant("ODD-GOOD"));
  ASSERT_TRUE(rows.UpdateByID(static_cast<int32_t>(row)));
  EXPECT_EQ(kept_rest(other, "ODD-GOOD"), Currency::FromLong(12345));
  clean("changing a row's good");
  rows.Fields().Item("FixCategory").SetValue(Variant(int32_t{7}));
  ASSERT_TRUE(rows.UpdateByID(static_cast<int32_t>(row)));
  EXPECT_EQ(kept_total("ODD-GOOD", 7), Currency::FromLong(12345));
  EXPECT_EQ(kept_total("ODD-GOOD", 0), Currency());
  clean("changing a row's fixing category");
  rows.Fields().Item("CostSumm").SetValue(Variant(Currency::FromScaled(10001)));
  ASSERT_TRUE(rows.UpdateByID(static_cast<int32_t>(row)));
  EXPECT_EQ(Money("SELECT Cost FROM THGoodFixTotal WHERE GoodCode = 'ODD-GOOD'"),
            Currency::FromScaled(10001));
  clean("changing a row's cost");
  same_as_rows("changing a receipt row");

  rows.AddNew();
  rows.Fields().Item("DocID").SetValue(Variant(id));
  rows.Fields().Item("GoodCode").SetValue(Variant(good));
  rows.Fields().Item("AmountAccount").SetValue(Variant(Currency::FromLong(3)));
  ASSERT_TRUE(rows.Update());
  clean("adding a row");
  ASSERT_TRUE(rows.Delete(static_cast<int32_t>(row)));
  EXPECT_EQ(kept_rest(other, "ODD-GOOD"), Currency());  // no row moves it any more
  EXPECT_EQ(Int("SELECT COUNT(*) FROM STStoreGoodRest WHERE GoodCode = 'ODD-GOOD'"), 0);
  EXPECT_EQ(Int("SELECT COUNT(*) FROM THGoodFixTotal WHERE GoodCode = 'ODD-GOOD'"), 0);
  clean("deleting a row");
  same_as_rows("writing the rows");

  const Currency posted_total = kept_total(good, 0);
  ASSERT_TRUE(doc->Unpost());
  EXPECT_LT(kept_total(good, 0), posted_total);
  clean("unposting the header");
  same_as_rows("unposting the header");
  doc->Fields().Item("IsPosted").SetValue(Variant(int32_t{1}));
  ASSERT_TRUE(doc->Update());
  EXPECT_EQ(kept_total(good, 0), posted_total);
  clean("posting the header again");
  ASSERT_TRUE(doc->Delete(id));
  EXPECT_EQ(kept_rest(other, good), in_other);
  clean("deleting the document");
  same_as_rows("deleting the document");
}

TEST_F(StockFactsTest, TheFixLogObjectKeepsTheFactsOfItsLinks) {
  db::Transaction scope(book_->Connection());
  const int32_t id = PostedOutgoing(5);
  const int64_t outgoing =
      Int("SELECT MIN(o.IDC) FROM THGoodSpec o WHERE o.DocID = " + std::to_string(id));
  // A receipt some links consume that still has stock left.
  const int64_t receipt =
      Int("SELECT MIN(n.IDC) FROM THGoodSpecNotFixed n INNER JOIN THGoodSpecFixed k"
          " ON k.SpecID = n.IDC WHERE n.AmountAccount > 0");
  const int64_t before = Kept(receipt);
  ASSERT_GT(before, 0);

  THGoodSpecFixLog links(book_);
  links.AddNew();
  links.Fields().Item("OutcomeSpecID").SetValue(Variant(static_cast<int32_t>(outgoing)));
  links.Fields().Item("IncomeSpecID").SetValue(Variant(static_cast<int32_t>(receipt)));
  links.Fields().Item("Amount").SetValue(Variant(Currency::FromScaled(1)));
  links.Fields().Item("Type").SetValue(Variant(int32_t{5}));
  links.Update();
  EXPECT_EQ(Kept(receipt), before + 1);
  EXPECT_TRUE(Check().empty());

  ASSERT_TRUE(links.Delete(CLng(links.Fields().Item("IDC").Value())));
  EXPECT_EQ(Kept(receipt), before);
  EXPECT_TRUE(Check().empty());

  // Links of a receipt nothing consumed yet: the first one makes its kept row, each later one
  // adds to it, a link without a quantity adds nothing, and the kept sum is the decimal sum of
  // the quantities, as the check recomputes it.
  const int64_t fresh =
      Int("SELECT MIN(s.IDC) FROM THGoodSpec s WHERE s.AmountAccount > 2 AND NOT EXISTS"
          " (SELECT 1 FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = s.IDC)");
  ASSERT_EQ(Kept(fresh), -1);
  const auto add = [&](const Variant& amount) {
    links.AddNew();
    links.Fields().Item("OutcomeSpecID").SetValue(Variant(static_cast<int32_t>(outgoing)));
    links.Fields().Item("IncomeSpecID").SetValue(Variant(static_cast<int32_t>(fresh)));
    links.Fields().Item("Amount").SetValue(amount);
    links.Update();
  };
  add(Variant::Null());
  EXPECT_EQ(Kept(fresh), 0);
  for (int i = 0; i < 10; ++i) add(Variant(0.1));
  add(Variant(Currency::FromScaled(3)));
  EXPECT_EQ(Kept(fresh), 10'003);
  EXPECT_TRUE(Check().empty()) << Describe(Check());
  ASSERT_TRUE(links.Delete(CLng(links.Fields().Item("IDC").Value())));
  EXPECT_EQ(Kept(fresh), 10'000);
  EXPECT_TRUE(Check().empty());
}

// --- Check finds what is wrong; Rebuild repairs the kept facts and nothing else ---

TEST_F(StockFactsTest, CheckFindsTamperedFactsAndRebuildRepairsThem) {
  db::Transaction scope(book_->Connection());
  const int64_t changed = Int("SELECT MIN(SpecID) FROM THGoodSpecFixed");
  const int64_t removed = Int("SELECT MAX(SpecID) FROM THGoodSpecFixed");
  const int64_t unlinked =
      Int("SELECT MIN(s.IDC) FROM THGoodSpec s WHERE NOT EXISTS"
          " (SELECT 1 FROM THGoodSpecFixLog l WHERE l.IncomeSpecID = s.IDC)");
  book_->ExecuteTsql("UPDATE THGoodSpecFixed SET Amount = Amount + 1 WHERE SpecID = ?", {changed});
  book_->ExecuteTsql("DELETE FROM THGoodSpecFixed WHERE SpecID = ?", {removed});
  book_->ExecuteTsql("INSERT INTO THGoodSpecFixed (SpecID, Amount) VALUES (?, 2)", {unlinked});

  std::vector<StockFactDifference> found = Check();
  ASSERT_EQ(found.size(), 3u) << Describe(found);
  std::map<Kind, std::string> by_kind;
  for (const auto& d : found) {
    EXPECT_TRUE(d.repairable);
    by_kind[d.kind] = d.what;
  }
  EXPECT_EQ(by_kind[Kind::kFixedWrong], "row " + std::to_string(changed));
  EXPECT_EQ(by_kind[Kind::kFixedMissing], "row " + std::to_string(removed));
  EXPECT_EQ(by_kind[Kind::kFixedExtra], "row " + std::to_string(unlinked));

  StockFacts(*book_).Rebuild();
  found = Check();
  EXPECT_TRUE(found.empty()) << Describe(found);
}

TEST_F(StockFactsTest, CheckFindsTamperedStoreRestsAndRebuildRepairsThem) {
  db::Transaction scope(book_->Connection());
  book_->ExecuteTsql(
      "UPDATE STStoreGoodRest SET Rest = Rest + 1 WHERE StoreCode = 'CS' AND GoodCode ="
      " (SELECT MIN(GoodCode) FROM STStoreGoodRest WHERE StoreCode = 'CS')",
      {});
  book_->ExecuteTsql(
      "UPDATE STStoreGoodRest SET Movements = Movements + 1 WHERE StoreCode = 'CS' AND GoodCode"
      " = (SELECT MAX(GoodCode) FROM STStoreGoodRest WHERE StoreCode = 'CS')",
      {});
  book_->ExecuteTsql(
      "DELETE FROM STStoreGoodRest WHERE StoreCode = 'GS' AND GoodCode ="
      " (SELECT MIN(GoodCode) FROM STStoreGoodRest WHERE StoreCode = 'GS')",
      {});
  book_->ExecuteTsql(
      "INSERT INTO STStoreGoodRest (StoreCode, GoodCode, NullCodes, Movements, Valued, Rest)"
      " VALUES ('CS', 'NO-SUCH-GOOD', 0, 1, 1, 2)",
      {});

  std::vector<StockFactDifference> found = Check();
  ASSERT_EQ(found.size(), 4u) << Describe(found);
  std::map<Kind, int> by_kind;
  for (const auto& d : found) {
    EXPECT_TRUE(d.repairable);
    ++by_kind[d.kind];
  }
  EXPECT_EQ(by_kind[Kind::kRestWrong], 2);
  EXPECT_EQ(by_kind[Kind::kRestMissing], 1);
  EXPECT_EQ(by_kind[Kind::kRestExtra], 1);
  const auto extra = std::find_if(found.begin(), found.end(),
                                  [](const auto& d) { return d.kind == Kind::kRestExtra; });
  EXPECT_EQ(extra->what, "good \"NO-SUCH-GOOD\" in store \"CS\"");

  StockFacts(*book_).Rebuild();
  found = Check();
  EXPECT_TRUE(found.empty()) << Describe(found);
}

// A kept receipt total tampered with is found and repaired, and until then the fixed rest reads
// it: the source reads the kept totals, not the receipts.
TEST_F(StockFactsTest, CheckFindsTamperedReceiptTotalsAndRebuildRepairsThem) {
  db::Transaction scope(book_->Connection());
  const std::map<std::string, std::string> on{{"DateRest", "'2026-12-31'"}};
  const std::vector<std::string> rests = RowsOf(schema::SourceSql("THDocGoodFixRest", on));
  // One kept total each: of the first good, the last and the second, each in its lowest
  // category.
  const std::string one =
      " AND FixCategory = (SELECT MIN(k.FixCategory) FROM THGoodFixTotal k"
      " WHERE k.GoodCode = THGoodFixTotal.GoodCode)";
  const std::string first = Text("SELECT MIN(GoodCode) FROM THGoodFixTotal");
  const std::string last = Text("SELECT MAX(GoodCode) FROM THGoodFixTotal");
  const std::string second =
      Text("SELECT MIN(GoodCode) FROM THGoodFixTotal WHERE GoodCode > '" + first + "'");
  book_->ExecuteTsql("UPDATE THGoodFixTotal SET Amount = Amount + 1 WHERE GoodCode = ?" + one,
                     {first});
  book_->ExecuteTsql("UPDATE THGoodFixTotal SET Cost = Cost - 1 WHERE GoodCode = ?" + one, {last});
  book_->ExecuteTsql("DELETE FROM THGoodFixTotal WHERE GoodCode = ?" + one, {second});
  book_->ExecuteTsql(
      "INSERT INTO THGoodFixTotal (GoodCode, FixCategory, NullCodes, Receipts, Valued, Costed,"
      " Amount, Cost) VALUES ('NO-SUCH-GOOD', 0, 0, 1, 1, 1, 2, 3)",
      {});
  EXPECT_NE(RowsOf(schema::SourceSql("THDocGoodFixRest", on)), rests);

  std::vector<StockFactDifference> found = Check();
  ASSERT_EQ(found.size(), 4u) << Describe(found);
  std::map<Kind, int> by_kind;
  for (const auto& d : found) {
    EXPECT_TRUE(d.repairable);
    ++by_kind[d.kind];
  }
  EXPECT_EQ(by_kind[Kind::kTotalWrong], 2);
  EXPECT_EQ(by_kind[Kind::kTotalMissing], 1);
  EXPECT_EQ(by_kind[Kind::kTotalExtra], 1);
  const auto extra = std::find_if(found.begin(), found.end(),
                                  [](const auto& d) { return d.kind == Kind::kTotalExtra; });
  EXPECT_EQ(extra->what, "receipts of good \"NO-SUCH-GOOD\" in fixing category 0");

  StockFacts(*book_).Rebuild();
  found = Check();
  EXPECT_TRUE(found.empty()) << Describe(found);
  EXPECT_EQ(RowsOf(schema::SourceSql("THDocGoodFixRest", on)), rests);
}

TEST_F(StockFactsTest, BrokenStockRulesAreReportedAndNotRepaired) {
  db::Transaction scope(book_->Connection());
  // A receipt taken beyond its quantity, and a lot whose rest is not its rows'.
  const int64_t receipt = Int("SELECT MIN(SpecID) FROM THGoodSpecFixed");
  const int64_t outgoing = Int("SELECT MIN(OutcomeSpecID) FROM THGoodSpecFixLog");
  const Currency quantity =
      Money("SELECT AmountAccount FROM THGoodSpec WHERE IDC = " + std::to_string(receipt));
  THGoodSpecFixLog links(book_);
  links.AddNew();
  links.Fields().Item("OutcomeSpecID").SetValue(Variant(static_cast<int32_t>(outgoing)));
  links.Fields().Item("IncomeSpecID").SetValue(Variant(static_cast<int32_t>(receipt)));
  links.Fields().Item("Amount").SetValue(Variant(quantity));
  links.Update();
  const int64_t lot = Int("SELECT MIN(IDC) FROM STLot WHERE RestAccount > 0");
  book_->ExecuteTsql("UPDATE STLot SET RestAccount = RestAccount + 1 WHERE IDC = ?", {lot});

  StockFacts(*book_).Rebuild();
  const std::vector<StockFactDifference> found = Check();
  ASSERT_EQ(found.size(), 2u) << Describe(found);
  EXPECT_EQ(found[0].kind, Kind::kOverConsumed);
  EXPECT_EQ(found[0].what.rfind("row " + std::to_string(receipt) + ": its links take ", 0), 0u)
      << found[0].what;
  EXPECT_EQ(found[1].kind, Kind::kLotWrong);
  for (const auto& d : found) EXPECT_FALSE(d.repairable);
}

}  // namespace
}  // namespace qts::host
