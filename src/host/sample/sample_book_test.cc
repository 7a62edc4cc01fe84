#include "host/sample/sample_book.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/documents/stock_facts.h"
#include "host/schema/schema.h"

namespace qts::host::sample {
namespace {

// Quantities compared in the book's four decimal places.
int64_t Ten4(double v) { return std::llround(v * 10000.0); }

std::shared_ptr<AppContext> MakeBook(SampleSize size, uint64_t seed) {
  auto book = AppContext::CreateBook(":memory:", "QTS");
  GenerateSampleBook(*book, size, seed);
  return book;
}

std::string Table(const AppContext& book, const std::string& logical) {
  return "\"" + schema::PhysicalName(book.Code(), logical) + "\"";
}

// FNV-1a over every row of every table, rows in primary-key order.
uint64_t Digest(AppContext& book) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    h = (h ^ 0xFF) * 1099511628211ull;
  };
  for (const schema::SourceDef& s : schema::Sources()) {
    if (s.kind != schema::SourceKind::kTable) continue;
    std::string order;
    for (const std::string& c : s.primary_key) order += (order.empty() ? "\"" : ", \"") + c + "\"";
    mix(s.name);
    auto st = book.Connection().Prepare("SELECT * FROM " + Table(book, s.name) +
                                        (order.empty() ? "" : " ORDER BY " + order));
    while (st->Step()) {
      for (int i = 0; i < st->ColumnCount(); ++i) {
        mix(st->IsNull(i) ? std::string("\x01null") : st->GetText(i));
      }
    }
  }
  return h;
}

// The rows of the book as the test reads them, independently of the generator.
struct Row {
  int64_t id, doc;
  std::string type, date, store, good;
  int64_t posted, is_stock, is_income, lot;
  int64_t account;  // ten-thousandths
};

struct Link {
  int64_t out, in, amount;
  std::string good;
};

class SampleBookTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    book_ = new std::shared_ptr<AppContext>(MakeBook(SampleSize::kSmall, 42));
    auto& c = Book().Connection();
    auto rows = c.Prepare(
        "SELECT s.\"IDC\", s.\"DocID\", d.\"DocTypeCode\", d.\"DocumentDate\", d.\"StoreCode\","
        " s.\"GoodCode\", d.\"IsPosted\", t.\"IsStock\", t.\"IsIncome\", s.\"LotPropertyID\","
        " s.\"AmountAccount\" FROM " +
        Table(Book(), "THGoodSpec") + " s JOIN " + Table(Book(), "THDocument") +
        " d ON d.\"IDC\" = s.\"DocID\" JOIN " + Table(Book(), "THDocType") +
        " t ON t.\"Code\" = d.\"DocTypeCode\" ORDER BY s.\"IDC\"");
    while (rows->Step()) {
      // Declarations (PACK) have no store and their rows no good.
      auto text = [&](int i) { return rows->IsNull(i) ? std::string() : rows->GetText(i); };
      Row r{rows->GetInt64(0),
            rows->GetInt64(1),
            rows->GetText(2),
            rows->GetText(3),
            text(4),
            text(5),
            rows->GetInt64(6),
            rows->GetInt64(7),
            rows->GetInt64(8),
            rows->GetInt64(9),
            Ten4(rows->GetCurrency(10).ToDouble())};
      rows_[r.id] = r;
    }
    auto links = c.Prepare(
        "SELECT \"OutcomeSpecID\", \"IncomeSpecID\", \"Amount\", \"GoodCode\""
        " FROM " +
        Table(Book(), "THGoodSpecFixLog") + " ORDER BY \"IDC\"");
    while (links->Step()) {
      links_.push_back(Link{links->GetInt64(0), links->GetInt64(1),
                            Ten4(links->GetCurrency(2).ToDouble()), links->GetText(3)});
    }
  }
  static void TearDownTestSuite() {
    delete book_;
    book_ = nullptr;
    rows_.clear();
    links_.clear();
  }

  static bool IsReceipt(const Row& r) {
    return r.posted == 1 && r.is_stock == 1 && r.is_income == 1;
  }
  static bool IsIssue(const Row& r) { return r.posted == 1 && r.is_stock == 1 && r.is_income == 0; }

  // Rows of a derived source run on the book: the first column as key, the last as quantity.
  static std::map<std::string, int64_t> Source(const std::string& tsql, int key_columns) {
    std::map<std::string, int64_t> out;
    auto st = Book().Connection().Prepare(schema::PhysicalSql(Book().Code(), tsql));
    while (st->Step()) {
      std::string key;
      for (int i = 0; i < key_columns; ++i) key += (st->IsNull(i) ? "" : st->GetText(i)) + "|";
      out[key] += Ten4(st->GetCurrency(key_columns).ToDouble());
    }
    return out;
  }

  static AppContext& Book() { return **book_; }
  static std::shared_ptr<AppContext>* book_;
  static std::map<int64_t, Row> rows_;
  static std::vector<Link> links_;
};

std::shared_ptr<AppContext>* SampleBookTest::book_ = nullptr;
std::map<int64_t, Row> SampleBookTest::rows_;
std::vector<Link> SampleBookTest::links_;

TEST(SampleSizeTest, ParsesTheTwoSizesInAnyCase) {
  EXPECT_EQ(ParseSampleSize("small"), SampleSize::kSmall);
  EXPECT_EQ(ParseSampleSize("LARGE"), SampleSize::kLarge);
  for (const char* bad : {"", "medium", "smal", "small "}) {
    EXPECT_QTS_ERROR(ParseSampleSize(bad), kErrInvalidCall) << bad;
  }
}

struct ScaleCase {
  SampleSize size;
  double scale;
  int per_day;  // 0: refused
};

class SampleScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(SampleScaleTest, DocumentsPerDayOrRefused) {
  const ScaleCase& c = GetParam();
  if (c.per_day == 0) {
    EXPECT_QTS_ERROR((void)DocumentsPerDay(c.size, c.scale), kErrInvalidCall);
  } else {
    EXPECT_EQ(DocumentsPerDay(c.size, c.scale), c.per_day);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scales, SampleScaleTest,
    ::testing::Values(ScaleCase{SampleSize::kLarge, 1, 160},
                      ScaleCase{SampleSize::kLarge, 0.25, 40},
                      ScaleCase{SampleSize::kLarge, 0.5, 80}, ScaleCase{SampleSize::kLarge, 2, 320},
                      ScaleCase{SampleSize::kLarge, 8, 1280},
                      ScaleCase{SampleSize::kLarge, 1.0 / 160, 1},
                      ScaleCase{SampleSize::kSmall, 1, 1}, ScaleCase{SampleSize::kSmall, 3, 3},
                      // Not a whole number of documents, none, or past eight large books.
                      ScaleCase{SampleSize::kSmall, 0.5, 0}, ScaleCase{SampleSize::kSmall, 2.5, 0},
                      ScaleCase{SampleSize::kLarge, 0.001, 0}, ScaleCase{SampleSize::kLarge, 0, 0},
                      ScaleCase{SampleSize::kLarge, -1, 0}, ScaleCase{SampleSize::kLarge, 8.25, 0},
                      ScaleCase{SampleSize::kLarge, std::nan(""), 0},
                      ScaleCase{SampleSize::kLarge, HUGE_VAL, 0}));

TEST(SampleBookScaleTest, TwiceTheScaleWritesAboutTwiceTheRowsAndKeepsItsFacts) {
  auto once = MakeBook(SampleSize::kSmall, 42);
  auto twice = AppContext::CreateBook(":memory:", "QTS");
  GenerateSampleBook(*twice, SampleSize::kSmall, 42, 2);
  const auto rows = [](AppContext& book) {
    db::StatementHandle s = book.PrepareTsql("SELECT COUNT(*) FROM THGoodSpec");
    return s->Step() ? s->GetInt64(0) : 0;
  };
  const int64_t base = rows(*once);
  const int64_t scaled = rows(*twice);
  // The monthly and weekly documents (fuel, vehicles) are not scaled; the daily trade is.
  EXPECT_GT(scaled, base * 17 / 10) << base << " rows at scale 1";
  EXPECT_LT(scaled, base * 23 / 10) << base << " rows at scale 1";
  // The references stay as they are.
  const BookCounts a = CountBook(*once);
  const BookCounts b = CountBook(*twice);
  const auto count = [](const BookCounts& c, const std::string& table) {
    for (const auto& [name, n] : c.tables) {
      if (name == table) return n;
    }
    return int64_t{0};
  };
  EXPECT_EQ(count(a, "REFGood"), count(b, "REFGood"));
  EXPECT_EQ(count(a, "STStore"), count(b, "STStore"));
  // The kept stock facts and the stock rules hold on the bigger book too.
  EXPECT_TRUE(StockFacts(*twice).Check().empty());
}

TEST(SampleBookScaleTest, ARefusedScaleWritesNothing) {
  auto book = AppContext::CreateBook(":memory:", "QTS");
  EXPECT_QTS_ERROR(GenerateSampleBook(*book, SampleSize::kSmall, 42, 0.5), kErrInvalidCall);
  for (const auto& [table, n] : CountBook(*book).tables) {
    EXPECT_TRUE(table == "Settings" || table == "THDocType" || table == "REFDates") << table;
  }
}

TEST(SampleBookDeterminismTest, SameSeedSameBookOtherSeedOtherBook) {
  auto a = MakeBook(SampleSize::kSmall, 42);
  auto b = MakeBook(SampleSize::kSmall, 42);
  auto c = MakeBook(SampleSize::kSmall, 43);
  const uint64_t da = Digest(*a);
  EXPECT_EQ(da, Digest(*b));
  EXPECT_NE(da, Digest(*c));
}

TEST(SampleBookRefusalTest, ABookWithDataIsRefusedAndLeftAsItWas) {
  auto book = MakeBook(SampleSize::kSmall, 1);
  const uint64_t before = Digest(*book);
  EXPECT_QTS_ERROR(GenerateSampleBook(*book, SampleSize::kSmall, 2), kErrInvalidCall);

  EXPECT_EQ(Digest(*book), before);
  EXPECT_EQ(book->Connection().TransactionDepth(), 0);
}

TEST_F(SampleBookTest, HoldsAFewThousandRowsOfEveryStockDocumentKind) {
  EXPECT_GT(rows_.size(), 2000u);
  EXPECT_LT(rows_.size(), 20000u);
  const BookCounts counts = CountBook(Book());
  std::map<std::string, int64_t> docs(counts.documents.begin(), counts.documents.end());
  for (const char* type : {"PISF", "PRSF", "TPPR", "MMO", "MNFC", "MO", "PRS", "TKL"}) {
    EXPECT_GT(docs[type], 0) << type;
  }
  EXPECT_GT(docs["PIS"] + docs["POD"], 0);
  std::map<std::string, int64_t> tables(counts.tables.begin(), counts.tables.end());
  EXPECT_EQ(tables["THGoodSpec"], static_cast<int64_t>(rows_.size()));
  EXPECT_EQ(tables["THGoodSpecFixLog"], static_cast<int64_t>(links_.size()));
  for (const char* t : {"REFGoodMaterial", "MFAssemblyChart", "MFACLabour", "MFACEquipment",
                        "STLot", "THGoodContent", "THPartyAttribute"}) {
    EXPECT_GT(tables[t], 0) << t;
  }
}

TEST_F(SampleBookTest, FixLogLinksMatchingPostedRowsWithinTheirQuantities) {
  std::map<int64_t, int64_t> used;     // receipt row -> linked quantity
  std::map<int64_t, int64_t> covered;  // outgoing row -> linked quantity
  for (const Link& l : links_) {
    const Row& out = rows_.at(l.out);
    const Row& in = rows_.at(l.in);
    EXPECT_TRUE(IsIssue(out)) << l.out;
    EXPECT_TRUE(IsReceipt(in)) << l.in;
    EXPECT_EQ(out.good, in.good);
    EXPECT_EQ(l.good, in.good);
    EXPECT_EQ(out.store, in.store);
    EXPECT_EQ(out.lot, in.lot);
    EXPECT_LE(in.date, out.date);
    EXPECT_GT(l.amount, 0);
    used[l.in] += l.amount;
    covered[l.out] += l.amount;
  }
  for (const auto& [id, amount] : used) EXPECT_LE(amount, rows_.at(id).account) << id;
  int issues = 0;
  for (const auto& [id, r] : rows_) {
    if (IsIssue(r)) {
      ++issues;
      EXPECT_EQ(covered[id], r.account) << "outgoing row " << id;
    } else {
      EXPECT_EQ(covered.count(id), 0u) << "row " << id << " moves no stock out";
    }
  }
  EXPECT_GT(issues, 100);
}

// Replays the outgoing rows in date order: each must have taken its receipts oldest first, so
// when it links a receipt, every older receipt of the same store, good and lot is used up.
TEST_F(SampleBookTest, FixLogIsFifoInDateOrder) {
  std::map<int64_t, std::vector<const Link*>> by_out;
  for (const Link& l : links_) by_out[l.out].push_back(&l);
  std::vector<const Row*> issues;
  for (const auto& [id, r] : rows_) {
    if (by_out.count(id) != 0) issues.push_back(&r);
  }
  std::stable_sort(issues.begin(), issues.end(),
                   [](const Row* a, const Row* b) { return a->date < b->date; });
  using Key = std::tuple<std::string, std::string, int64_t>;
  std::map<Key, std::vector<const Row*>> receipts;
  for (const auto& [id, r] : rows_) {
    if (IsReceipt(r)) receipts[{r.store, r.good, r.lot}].push_back(&r);
  }
  std::map<int64_t, int64_t> used;
  int checked = 0;
  for (const Row* out : issues) {
    int64_t newest = 0;
    for (const Link* l : by_out[out->id]) {
      used[l->in] += l->amount;
      newest = std::max(newest, l->in);
    }
    for (const Row* in : receipts[{out->store, out->good, out->lot}]) {
      if (in->id >= newest) break;
      EXPECT_EQ(used[in->id], in->account)
          << "row " << out->id << " took receipt " << newest << " before older " << in->id;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

TEST_F(SampleBookTest, NotFixedViewAgreesWithRowsMinusLinks) {
  std::map<std::string, int64_t> expected;
  std::map<int64_t, int64_t> linked;
  for (const Link& l : links_) linked[l.in] += l.amount;
  for (const auto& [id, r] : rows_) {
    if (IsReceipt(r)) expected[std::to_string(id) + "|"] = r.account - linked[id];
  }
  EXPECT_EQ(Source("SELECT IDC, AmountAccount FROM THGoodSpecNotFixed", 1), expected);
}

TEST_F(SampleBookTest, RestsOnADateAgreeWithSumsOverRows) {
  // Dates inside the year, at its end and before its first document.
  for (const char* date : {"2026-01-05", "2026-03-31", "2026-07-15", "2026-12-31", "2025-12-31"}) {
    SCOPED_TRACE(date);
    const std::string literal = std::string("'") + date + "'";
    std::map<std::string, int64_t> stock;
    std::map<std::string, int64_t> free;
    std::map<int64_t, int64_t> linked;  // links dated up to the date, per receipt row
    for (const Link& l : links_) {
      if (rows_.at(l.out).date <= date) linked[l.in] += l.amount;
    }
    for (const auto& [id, r] : rows_) {
      if (r.posted != 1 || r.is_stock != 1 || r.date > date) continue;
      stock[r.store + "|" + r.good + "|"] += r.is_income == 1 ? r.account : -r.account;
      if (r.is_income == 1) free[std::to_string(id) + "|"] = r.account - linked[id];
    }
    const auto rests = Source("SELECT r.StoreCode, r.GoodCode, r.Rest FROM (" +
                                  schema::SourceSql("STStoreRest", {{"DateRest", literal}}) + ") r",
                              2);
    EXPECT_EQ(rests, stock);
    const auto free_rests =
        Source("SELECT r.SpecID, r.FreeAmount FROM (" +
                   schema::SourceSql("THGoodSpecFreeRest", {{"DateRest", literal}}) + ") r",
               1);
    EXPECT_EQ(free_rests, free);
    for (const auto& [key, rest] : stock) EXPECT_GE(rest, 0) << key;
  }
}

TEST_F(SampleBookTest, FixedRestsAgreeWithFreeQuantitiesPerGoodAndCategory) {
  std::map<int64_t, int> category;
  auto st = Book().Connection().Prepare("SELECT \"IDC\", \"FixCategory\" FROM " +
                                        Table(Book(), "THGoodSpec"));
  while (st->Step()) category[st->GetInt64(0)] = static_cast<int>(st->GetInt64(1));
  const std::string date = "2026-09-30";
  std::map<int64_t, int64_t> linked;
  for (const Link& l : links_) {
    if (rows_.at(l.out).date <= date) linked[l.in] += l.amount;
  }
  std::map<std::string, int64_t> expected;
  std::set<int> categories;
  for (const auto& [id, r] : rows_) {
    if (!IsReceipt(r) || r.date > date) continue;
    expected[r.good + "|" + std::to_string(category[id]) + "|"] += r.account - linked[id];
    categories.insert(category[id]);
  }
  EXPECT_GE(categories.size(), 2u);
  EXPECT_EQ(
      Source("SELECT r.GoodCode, r.FixCategory, r.AmountAccount FROM (" +
                 schema::SourceSql("THDocGoodFixRest", {{"DateRest", "'" + date + "'"}}) + ") r",
             2),
      expected);
}

TEST_F(SampleBookTest, LotsHoldTheFinalRestPerStoreGoodAndLot) {
  std::map<std::string, int64_t> expected;
  for (const auto& [id, r] : rows_) {
    if (r.posted == 1 && r.is_stock == 1) {
      expected[r.store + "|" + r.good + "|" + std::to_string(r.lot) + "|"] +=
          r.is_income == 1 ? r.account : -r.account;
    }
  }
  EXPECT_EQ(Source("SELECT s.Code, l.GoodCode, l.AnalytID, l.RestAccount FROM STLot l"
                   " JOIN STStore s ON s.IDC = l.StoreId",
                   3),
            expected);
}

TEST_F(SampleBookTest, VehiclesHaveFuelAndGasLotsAndPeriodDocuments) {
  auto& c = Book().Connection();
  auto vehicles =
      c.Prepare("SELECT v.\"Code\", g.\"TrackingKind\", st.\"StoreKind\" FROM " +
                Table(Book(), "REFVehicle") + " v JOIN " + Table(Book(), "STLotProperty") +
                " p ON p.\"IDC\" = v.\"LotPropertyID\" JOIN " + Table(Book(), "REFGood") +
                " g ON g.\"Code\" = p.\"GoodCode\" JOIN " + Table(Book(), "STStore") +
                " st ON st.\"Code\" = v.\"StoreCode\"");
  std::set<std::string> codes;
  while (vehicles->Step()) {
    codes.insert(vehicles->GetText(0));
    EXPECT_EQ(vehicles->GetInt64(1), 100);
    EXPECT_EQ(vehicles->GetText(2), "ABKR");
  }
  ASSERT_GE(codes.size(), 2u);
  auto gas = c.Prepare("SELECT COUNT(*) FROM " + Table(Book(), "STLotProperty") + " p JOIN " +
                       Table(Book(), "REFGood") + " g ON g.\"Code\" = p.\"GoodCode\"" +
                       " WHERE g.\"TrackingKind\" = 101 AND g.\"SubCategory\" = 101");
  ASSERT_TRUE(gas->Step());
  EXPECT_GT(gas->GetInt64(0), 0);

  // Every vehicle has a waybill per month with its period in the additional fields; every
  // fuel write-off made for a waybill names the same vehicle and leaves the fuel store.
  std::map<std::string, int> waybills;
  auto tkl = c.Prepare("SELECT a.\"VehicleCode\", a.\"BegPeriod\", a.\"EndPeriod\" FROM " +
                       Table(Book(), "THDocument") + " d JOIN " + Table(Book(), "TKLTHDocument") +
                       " a ON a.\"DocID\" = d.\"IDC\" WHERE d.\"DocTypeCode\" = 'TKL'");
  while (tkl->Step()) {
    ++waybills[tkl->GetText(0)];
    const std::string begin = tkl->GetText(1);
    const std::string end = tkl->GetText(2);
    EXPECT_EQ(begin.substr(8), "01");
    EXPECT_EQ(begin.substr(0, 7), end.substr(0, 7));
    EXPECT_LT(begin, end);
  }
  for (const std::string& v : codes) EXPECT_EQ(waybills[v], 12) << v;
  auto mmo = c.Prepare("SELECT a.\"VehicleCode\", pa.\"VehicleCode\", d.\"StoreCode\" FROM " +
                       Table(Book(), "THDocument") + " d JOIN " + Table(Book(), "MMOTHDocument") +
                       " a ON a.\"DocID\" = d.\"IDC\" JOIN " + Table(Book(), "TKLTHDocument") +
                       " pa ON pa.\"DocID\" = d.\"ParentID\" WHERE d.\"DocTypeCode\" = 'MMO'");
  int write_offs = 0;
  while (mmo->Step()) {
    ++write_offs;
    EXPECT_EQ(mmo->GetText(0), mmo->GetText(1));
    EXPECT_EQ(mmo->GetText(2), "KS");
  }
  EXPECT_GT(write_offs, 0);
}

TEST_F(SampleBookTest, ManufacturedLotsNameTheirCustomerOrder) {
  auto st = Book().Connection().Prepare(
      "SELECT p.\"OrderInfo\", COUNT(mo.\"IDC\") FROM " + Table(Book(), "STLotProperty") +
      " p LEFT JOIN " + Table(Book(), "THDocument") + " mo ON mo.\"DocTypeCode\" = 'MO'" +
      " AND p.\"OrderInfo\" = (SELECT pa.\"PartyCode\" FROM " + Table(Book(), "THPartyAttribute") +
      " pa WHERE pa.\"DocID\" = mo.\"IDC\" AND pa.\"RolePartyCode\" = 'CUST') ||"
      " ':gamybos užsakymas#' || mo.\"Number\""
      " WHERE p.\"OrderInfo\" IS NOT NULL GROUP BY p.\"IDC\", p.\"OrderInfo\"");
  int lots = 0;
  while (st->Step()) {
    ++lots;
    EXPECT_EQ(st->GetInt64(1), 1) << st->GetText(0);
  }
  EXPECT_GT(lots, 0);
}

TEST_F(SampleBookTest, HoldsEveryDocumentKindTheComponentServes) {
  const BookCounts counts = CountBook(Book());
  std::map<std::string, int64_t> docs(counts.documents.begin(), counts.documents.end());
  for (const char* type : {"MKO", "MFC", "MNC", "MAC", "MAE"}) EXPECT_GT(docs[type], 0) << type;
  EXPECT_EQ(docs["PACK"], 0);  // declarations are the packaging form's to compute
  std::map<std::string, int64_t> tables(counts.tables.begin(), counts.tables.end());
  for (const char* t :
       {"STOrderSpec", "STPostLot", "MKOTHGoodSpec", "MFCTHGoodSpec", "MNCTHGoodSpec"}) {
    EXPECT_GT(tables[t], 0) << t;
  }
}

// Every posted stock row has one stock order row of its quantity, store and lot, priced at
// the row's cost; nothing else has one.
TEST_F(SampleBookTest, StockOrderRowsAndPostedLotsFollowThePostedStockRows) {
  auto st = Book().Connection().Prepare(
      "SELECT o.\"srcSpecID\", o.\"srcDocSpecID\", o.\"DocID\", o.\"AmountAccount\", s.\"Code\","
      " p.\"AnalytID\", p.\"AmountAccount\", o.\"Price\", g.\"CostSumm\", g.\"Amount\" FROM " +
      Table(Book(), "STOrderSpec") + " o JOIN " + Table(Book(), "STStore") +
      " s ON s.\"IDC\" = o.\"StoreId\" JOIN " + Table(Book(), "STPostLot") +
      " p ON p.\"SpecID\" = o.\"IDC\" JOIN " + Table(Book(), "THGoodSpec") +
      " g ON g.\"IDC\" = o.\"srcSpecID\"");
  std::set<int64_t> seen;
  while (st->Step()) {
    const int64_t id = st->GetInt64(0);
    EXPECT_TRUE(seen.insert(id).second) << "row " << id << " has two stock order rows";
    const Row& r = rows_.at(id);
    EXPECT_TRUE(IsReceipt(r) || IsIssue(r)) << id;
    EXPECT_EQ(st->GetInt64(1), id);
    EXPECT_EQ(st->GetInt64(2), r.doc);
    EXPECT_EQ(Ten4(st->GetCurrency(3).ToDouble()), r.account);
    EXPECT_EQ(st->GetText(4), r.store);
    EXPECT_EQ(st->GetInt64(5), r.lot);
    EXPECT_EQ(Ten4(st->GetCurrency(6).ToDouble()), r.account);
    EXPECT_NEAR(st->GetCurrency(7).ToDouble() * st->GetCurrency(9).ToDouble(),
                st->GetCurrency(8).ToDouble(), 0.0001 * st->GetCurrency(9).ToDouble())
        << id;
  }
  for (const auto& [id, r] : rows_) {
    if (IsReceipt(r) || IsIssue(r)) {
      EXPECT_TRUE(seen.count(id)) << "row " << id;
    }
  }
}

// Receipts in a foreign currency keep their cost in the accounting currency, converted with
// the rate in force on the document's day.
TEST_F(SampleBookTest, ForeignReceiptsCostInTheAccountingCurrency) {
  std::map<std::string, std::map<std::string, double>> rates;
  auto r = Book().Connection().Prepare("SELECT \"CurrencyCode\", \"RateDate\", \"Rate\" FROM " +
                                       Table(Book(), "REFCurrencyRate"));
  while (r->Step()) rates[r->GetText(0)][r->GetText(1)] = r->GetCurrency(2).ToDouble();
  auto st = Book().Connection().Prepare(
      "SELECT d.\"CurrencyCode\", d.\"DocumentDate\", s.\"Summa\", s.\"CostSumm\" FROM " +
      Table(Book(), "THGoodSpec") + " s JOIN " + Table(Book(), "THDocument") +
      " d ON d.\"IDC\" = s.\"DocID\" WHERE d.\"DocTypeCode\" = 'PISF' AND d.\"IsPosted\" = 1");
  std::set<std::string> currencies;
  while (st->Step()) {
    const std::string currency = st->GetText(0);
    currencies.insert(currency);
    double rate = 1;
    if (currency != "EUR") {
      const auto& by_date = rates.at(currency);
      auto it = by_date.upper_bound(st->GetText(1));
      ASSERT_NE(it, by_date.begin());
      rate = std::prev(it)->second;
    }
    EXPECT_EQ(Ten4(st->GetCurrency(3).ToDouble()),
              Ten4(std::round(st->GetCurrency(2).ToDouble() / rate * 100) / 100));
  }
  EXPECT_TRUE(currencies.count("EUR") && currencies.size() > 1);
}

// The packaging trade keeps to its own goods (sub-group G-PAK-PR): no document mixes them with
// other goods, so the rest of the book is what the seed gives without the trade. Its receipts
// come under PVM1, 10, 20 or no VAT direction, its sales go out under those too, its packed
// sales answer sales rows, and what customers send back is reusable packaging only.
TEST_F(SampleBookTest, PackagingTradeKeepsToItsGoodsAndCoversEveryDirection) {
  auto st = Book().Connection().Prepare(
      "SELECT d.\"IDC\", d.\"DocTypeCode\", COALESCE(v.\"VATDirection\", '-'),"
      " SUM(CASE WHEN g.\"ParentCode\" = 'G-PAK-PR' THEN 1 ELSE 0 END), COUNT(*),"
      " MIN(u.\"IsReusable\"),"
      " (SELECT COUNT(*) FROM " +
      Table(Book(), "THPartyAttribute") +
      " p WHERE p.\"DocID\" = d.\"IDC\" AND p.\"RolePartyCode\" = 'CUST') FROM " +
      Table(Book(), "THDocument") + " d JOIN " + Table(Book(), "THGoodSpec") +
      " s ON s.\"DocID\" = d.\"IDC\" JOIN " + Table(Book(), "REFGood") +
      " g ON g.\"Code\" = s.\"GoodCode\" JOIN " + Table(Book(), "REFGoodUnit") +
      " u ON u.\"GoodCode\" = s.\"GoodCode\" AND u.\"UnitCode\" = s.\"UnitCode\" LEFT JOIN"
      " (SELECT \"DocID\", \"VATDirection\" FROM " +
      Table(Book(), "PISFTHDocument") + " UNION ALL SELECT \"DocID\", \"VATDirection\" FROM " +
      Table(Book(), "PRSFTHDocument") + " UNION ALL SELECT \"DocID\", \"VATDirection\" FROM " +
      Table(Book(), "TPPRTHDocument") +
      ") v ON v.\"DocID\" = d.\"IDC\" GROUP BY d.\"IDC\", d.\"DocTypeCode\", v.\"VATDirection\"");
  std::map<std::string, std::set<std::string>> directions;  // per type
  int returns = 0;
  while (st->Step()) {
    const int64_t trade = st->GetInt64(3);
    if (trade == 0) continue;
    EXPECT_EQ(trade, st->GetInt64(4)) << "document " << st->GetInt64(0) << " mixes goods";
    const std::string type = st->GetText(1);
    directions[type].insert(st->GetText(2));
    if (type == "PISF" && st->GetInt64(6) > 0) {
      ++returns;
      EXPECT_EQ(st->GetInt64(5), 1) << "a return of packaging used once: " << st->GetInt64(0);
    }
  }
  EXPECT_GT(returns, 0);
  using Set = std::set<std::string>;
  EXPECT_EQ(directions["PISF"], (Set{"-", "10", "20", "PVM1"}));
  EXPECT_EQ(directions["PRSF"], (Set{"-", "10", "20", "PVM1"}));
  EXPECT_EQ(directions["TPPR"], (Set{"-", "10", "20", "PVM1"}));
  EXPECT_EQ(directions.size(), 3u) << "the trade writes receipts, sales and packed sales only";

  // Every packed sale's rows answer rows of a sale of the trade.
  auto packed = Book().Connection().Prepare(
      "SELECT COUNT(*), SUM(CASE WHEN o.\"DocTypeCode\" = 'PRSF' THEN 1 ELSE 0 END) FROM " +
      Table(Book(), "THGoodSpec") + " s JOIN " + Table(Book(), "THDocument") +
      " d ON d.\"IDC\" = s.\"DocID\" JOIN " + Table(Book(), "REFGood") +
      " g ON g.\"Code\" = s.\"GoodCode\" LEFT JOIN " + Table(Book(), "THGoodContent") +
      " c ON c.\"SpecID\" = s.\"IDC\" LEFT JOIN " + Table(Book(), "THGoodSpec") +
      " a ON a.\"IDC\" = c.\"CorSpecID\" LEFT JOIN " + Table(Book(), "THDocument") +
      " o ON o.\"IDC\" = a.\"DocID\" WHERE d.\"DocTypeCode\" = 'TPPR' AND g.\"ParentCode\" ="
      " 'G-PAK-PR'");
  ASSERT_TRUE(packed->Step());
  EXPECT_GT(packed->GetInt64(0), 0);
  EXPECT_EQ(packed->GetInt64(0), packed->GetInt64(1));
}

// Operation documents hang below a manufacturing order and follow its products' charts.
TEST_F(SampleBookTest, OperationDocumentsFollowTheChartsOfTheirOrder) {
  auto st = Book().Connection().Prepare(
      "SELECT d.\"DocTypeCode\", p.\"DocTypeCode\", o.\"GoodCode\", s.\"GoodCode\","
      " a.\"NormTime\", a.\"NormTimeSum\", s.\"Amount\", s.\"Price\", e.\"DeprecSum\" FROM " +
      Table(Book(), "THGoodSpec") + " s JOIN " + Table(Book(), "THDocument") +
      " d ON d.\"IDC\" = s.\"DocID\" JOIN " + Table(Book(), "THDocument") +
      " p ON p.\"IDC\" = d.\"ParentID\" JOIN (SELECT \"DocID\", \"PosNumb\", \"PrSpecID\","
      " \"NormTime\", \"NormTimeSum\", \"EqCode\" FROM " +
      Table(Book(), "MNCTHGoodSpec") +
      " UNION ALL SELECT \"DocID\", \"PosNumb\", \"PrSpecID\", \"NormTime\", \"NormTimeSum\","
      " \"EqCode\" FROM " +
      Table(Book(), "MACTHGoodSpec") +
      " UNION ALL SELECT \"DocID\", \"PosNumb\", \"PrSpecID\", \"NormTime\", \"NormTimeSum\","
      " \"EqCode\" FROM " +
      Table(Book(), "MAETHGoodSpec") +
      ") a ON a.\"DocID\" = s.\"DocID\""
      " AND a.\"PosNumb\" = s.\"PosNumb\" JOIN " +
      Table(Book(), "THGoodSpec") + " o ON o.\"IDC\" = a.\"PrSpecID\" LEFT JOIN " +
      Table(Book(), "MFEquipment") + " e ON e.\"Code\" = a.\"EqCode\"");
  std::set<std::string> kinds;
  while (st->Step()) {
    const std::string type = st->GetText(0);
    kinds.insert(type);
    EXPECT_EQ(st->GetText(1), "MO");
    EXPECT_EQ(st->GetText(2), st->GetText(3));
    if (type == "MNC") {
      EXPECT_EQ(Ten4(st->GetCurrency(5).ToDouble()),
                Ten4(st->GetCurrency(4).ToDouble() * st->GetCurrency(6).ToDouble()));
    } else if (type == "MAE") {
      EXPECT_EQ(Ten4(st->GetCurrency(7).ToDouble()), Ten4(st->GetCurrency(8).ToDouble()));
    }
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"MAC", "MAE", "MNC"}));
}

TEST_F(SampleBookTest, ContentLinksTieTheDocumentKindsTheyServe) {
  auto st = Book().Connection().Prepare(
      "SELECT s.\"DocID\", c.\"SpecID\", c.\"CorSpecID\" FROM " + Table(Book(), "THGoodContent") +
      " c JOIN " + Table(Book(), "THGoodSpec") + " s ON s.\"IDC\" = c.\"SpecID\"");
  std::set<std::string> kinds;
  while (st->Step()) {
    const Row& holder = rows_.at(st->GetInt64(1));
    const Row& target = rows_.at(st->GetInt64(2));
    const std::string kind = holder.type + ">" + target.type;
    kinds.insert(kind);
    EXPECT_TRUE(kind == "TPPR>PRSF" || kind == "PIS>PRS" || kind == "POD>PRS" || kind == "PRSF>PRS")
        << kind;
  }
  EXPECT_TRUE(kinds.count("TPPR>PRSF") && kinds.count("PRSF>PRS"));
}

TEST_F(SampleBookTest, NamesAreLithuanian) {
  auto st = Book().Connection().Prepare(
      "SELECT (SELECT \"Value\" FROM " + Table(Book(), "Settings") +
      " WHERE \"Name\" = 'EnterpriseName'), (SELECT \"Name\" FROM " + Table(Book(), "STStore") +
      " WHERE \"Code\" = 'CS'), (SELECT COUNT(*) FROM " + Table(Book(), "REFGood") +
      " WHERE \"Name\" IN ('Dyzelinas', 'Suskystintos dujos') OR \"Name\" LIKE 'Kartoninė dėžė%')");
  ASSERT_TRUE(st->Step());
  EXPECT_EQ(st->GetText(0), "UAB \"Pavyzdys\"");
  EXPECT_EQ(st->GetText(1), "Centrinis sandėlis");
  EXPECT_GE(st->GetInt64(2), 3);
}

}  // namespace
}  // namespace qts::host::sample
