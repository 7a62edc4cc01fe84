// The write-off pricing of the material-document engine against raw SQLite calls doing the same
// reads and writes in the same run, on the benchmark book (bench_common.h: the large sample book
// under `make bench`) with a new write-off of 10,000 rows (each with its additional row) of
// the book's category-0 goods, made inside the run's transaction and rolled back after it:
//   - CMDocSupport::SetPriceWriteOff: the pricing query (rows of the document whose good has
//     category 0, with their additional fields), then per row the step process positions the
//     rows object, prices the row from its cost sum, raises SetPrice, copies the row back and
//     writes it, all in one transaction;
//   - a raw loop that runs the same query through one prepared statement and reads every
//     column, then per row reads the row and its additional row,
//     computes the price and the row sum and updates them, with prepared statements.
// The ratio (engine time / raw time) is what the engine and the host's objects cost over the
// physical limit.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_common.h"
#include "core/currency.h"
#include "core/variant.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "engine/doc_engine.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/schema/schema.h"
#include "host/ui/operator.h"
#include "host/ui/terminal_operator.h"

namespace {

using qts::Variant;
using qts::bench::Check;
using qts::bench::Span;
using qts::bench::Stopwatch;
using qts::bench::Table;
using qts::host::AppContext;
using qts::host::THDocument;

constexpr int kRows = 10'000;

// A new unposted write-off of kRows rows of the book's category-0 goods in their units:
// amounts 1..25 by 0.25, cost sums that do not divide evenly, each row with its additional row.
int32_t NewWriteOff(const std::shared_ptr<AppContext>& book) {
  auto& c = book->Connection();
  THDocument doc(book);
  doc.BeginInsert();
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  doc.Fields().Item("Number").SetValue(Variant("BENCH-1"));
  const int32_t id = doc.EndInsert();
  std::vector<std::pair<std::string, std::string>> pairs;
  auto goods = c.Prepare("SELECT u.\"GoodCode\", u.\"UnitCode\" FROM " +
                         Table(*book, "REFGoodUnit") + " u JOIN " + Table(*book, "REFGood") +
                         " g ON g.\"Code\" = u.\"GoodCode\" WHERE g.\"Category\" = 0 AND "
                         "g.\"IsGroup\" = 0 ORDER BY u.\"GoodCode\", u.\"UnitCode\"");
  while (goods->Step()) pairs.emplace_back(goods->GetText(0), goods->GetText(1));
  if (pairs.empty()) std::abort();
  auto row = c.Prepare("INSERT INTO " + Table(*book, "THGoodSpec") +
                       "(\"DocID\",\"PosNumb\",\"GoodCode\",\"UnitCode\",\"Amount\","
                       "\"AmountAccount\",\"Price\",\"Summa\",\"CostSumm\") VALUES "
                       "(?1, ?2, ?3, ?4, ?5, ?5, 0, 0, ?6)");
  auto add = c.Prepare("INSERT INTO " + Table(*book, "MMOTHGoodSpec") +
                       "(\"DocID\",\"PosNumb\") VALUES (?1, ?2)");
  for (int i = 1; i <= kRows; ++i) {
    const auto& [good, unit] = pairs[static_cast<size_t>(i) % pairs.size()];
    row->Bind(1, qts::db::Value(id));
    row->Bind(2, qts::db::Value(i));
    row->Bind(3, qts::db::Value(good));
    row->Bind(4, qts::db::Value(unit));
    row->Bind(5, qts::db::Value(qts::Currency::FromDouble(1 + (i % 97) * 0.25)));
    row->Bind(6, qts::db::Value(qts::Currency::FromDouble(std::round(i * 137.0) / 100)));
    row->Run();
    row->Reset();
    add->Bind(1, qts::db::Value(id));
    add->Bind(2, qts::db::Value(i));
    add->Run();
    add->Reset();
  }
  return id;
}

std::vector<std::string> Columns(const std::string& table) {
  std::vector<std::string> names;
  for (const auto& c : qts::host::schema::FindSourceDef(table)->columns) names.push_back(c.name);
  return names;
}

std::string Joined(const std::vector<std::string>& names, size_t first, const char* prefix,
                   const char* suffix) {
  std::string out;
  for (size_t i = first; i < names.size(); ++i) {
    if (!out.empty()) out += ", ";
    out += std::string(prefix) + "\"" + names[i] + "\"" + suffix;
  }
  return out;
}

// Every row of the write-off must have been priced, its sum the price times the amount to the
// cent (compared as money, as the book keeps it).
void CheckPriced(AppContext& book, int32_t doc) {
  auto s = book.Connection().Prepare("SELECT \"Price\", \"Amount\", \"Summa\" FROM " +
                                     Table(book, "THGoodSpec") + " WHERE \"DocID\" = ?1");
  s->Bind(1, qts::db::Value(doc));
  int priced = 0;
  while (s->Step()) {
    const qts::Currency price = s->GetCurrency(0);
    const qts::Currency sum = s->GetCurrency(2);
    const qts::Currency exact = qts::RoundCy(price * s->GetCurrency(1), 2);
    if (price > qts::Currency() && std::llabs((sum - exact).Scaled()) < 50) ++priced;
  }
  if (priced != kRows) {
    std::fprintf(stderr, "the write-off was not priced (%d of %d rows)\n", priced, kRows);
    std::abort();
  }
}

// The price the engine sets: cost sum / amount as Currency (to even), then four places.
double Price(double cost, double amount) {
  if (amount == 0) return 0;
  return qts::Currency::FromDouble(cost / amount).ToDouble();
}

Span RawPricing() {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  sqlite3* db = qts::bench::RawHandle(*book);
  qts::db::Transaction run(book->Connection());  // rolled back: the book stays as it was
  const int32_t doc = NewWriteOff(book);
  const auto spec = Columns("THGoodSpec");
  const auto add = Columns("MMOTHGoodSpec");
  const std::string query =
      "SELECT " + Joined(spec, 0, "s.", "") + ", " + Joined(add, 2, "a.", "") + " FROM " +
      Table(*book, "THGoodSpec") + " s LEFT JOIN " + Table(*book, "REFGood") +
      " g ON g.\"Code\" = s.\"GoodCode\" INNER JOIN " + Table(*book, "MMOTHGoodSpec") +
      " a ON s.\"DocID\" = a.\"DocID\" AND s.\"PosNumb\" = a.\"PosNumb\" "
      "WHERE g.\"Category\" = 0 AND s.\"DocID\" = ?1";
  // The document's type is known: the loop made the document.
  const std::string select = "SELECT " + Joined(spec, 0, "s.", "") + " FROM " +
                             Table(*book, "THGoodSpec") + " s WHERE s.\"IDC\" = ?1";
  const std::string select_add = "SELECT " + Joined(add, 0, "", "") + " FROM " +
                                 Table(*book, "MMOTHGoodSpec") +
                                 " WHERE \"DocID\" = ?1 AND \"PosNumb\" = ?2";
  const std::string update = "UPDATE " + Table(*book, "THGoodSpec") +
                             " SET \"Price\" = ?1, \"Summa\" = ?2 WHERE \"IDC\" = ?3";
  const int amount_col =
      static_cast<int>(std::find(spec.begin(), spec.end(), "Amount") - spec.begin());
  const int cost_col =
      static_cast<int>(std::find(spec.begin(), spec.end(), "CostSumm") - spec.begin());
  const Stopwatch watch;
  sqlite3_stmt *q = nullptr, *sel = nullptr, *sel_add = nullptr, *upd = nullptr;
  Check(sqlite3_prepare_v2(db, query.c_str(), -1, &q, nullptr), SQLITE_OK, db);
  Check(sqlite3_prepare_v2(db, select.c_str(), -1, &sel, nullptr), SQLITE_OK, db);
  Check(sqlite3_prepare_v2(db, select_add.c_str(), -1, &sel_add, nullptr), SQLITE_OK, db);
  Check(sqlite3_prepare_v2(db, update.c_str(), -1, &upd, nullptr), SQLITE_OK, db);
  // The pricing rows, every column read (the engine holds them in its row source).
  struct Row {
    int64_t idc;
    double amount, cost;
  };
  std::vector<Row> rows;
  sqlite3_bind_int64(q, 1, doc);
  const int width = sqlite3_column_count(q);
  while (sqlite3_step(q) == SQLITE_ROW) {
    for (int k = 0; k < width; ++k) benchmark::DoNotOptimize(sqlite3_column_value(q, k));
    // Money is kept in ten-thousandths.
    rows.push_back({sqlite3_column_int64(q, 0), sqlite3_column_int64(q, amount_col) / 10000.0,
                    sqlite3_column_int64(q, cost_col) / 10000.0});
  }
  const int row_width = static_cast<int>(spec.size());
  const int add_width = static_cast<int>(add.size());
  for (const Row& r : rows) {
    sqlite3_bind_int64(sel, 1, r.idc);
    Check(sqlite3_step(sel), SQLITE_ROW, db);
    for (int k = 0; k < row_width; ++k) benchmark::DoNotOptimize(sqlite3_column_value(sel, k));
    sqlite3_bind_int64(sel_add, 1, doc);
    sqlite3_bind_int64(sel_add, 2, sqlite3_column_int64(sel, 2));
    Check(sqlite3_step(sel_add), SQLITE_ROW, db);
    for (int k = 0; k < add_width; ++k) benchmark::DoNotOptimize(sqlite3_column_value(sel_add, k));
    const double price = Price(r.cost, r.amount);
    sqlite3_bind_int64(upd, 1, qts::Currency::FromDouble(price).Scaled());
    sqlite3_bind_int64(upd, 2,
                       qts::RoundCy(qts::Currency::FromDouble(price * r.amount), 2).Scaled());
    sqlite3_bind_int64(upd, 3, r.idc);
    Check(sqlite3_step(upd), SQLITE_DONE, db);
    for (sqlite3_stmt* s : {sel, sel_add, upd}) sqlite3_reset(s);
  }
  for (sqlite3_stmt* s : {q, sel, sel_add, upd}) sqlite3_finalize(s);
  const Span span = watch.Elapsed();
  if (rows.size() != static_cast<size_t>(kRows)) std::abort();
  CheckPriced(*book, doc);
  return span;
}

Span EnginePricing() {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  qts::db::Transaction run(book->Connection());  // rolled back: the book stays as it was
  const int32_t id = NewWriteOff(book);
  auto doc = std::make_shared<THDocument>(book);
  if (!doc->Load(id)) std::abort();
  auto engine = std::make_shared<qts::engine::CMDocSupport>();
  engine->Init("MMO", nullptr, doc);
  const Stopwatch watch;
  engine->SetPriceWriteOff();
  const Span span = watch.Elapsed();
  if (engine->CountStep() != kRows) std::abort();
  CheckPriced(*book, id);
  return span;
}

template <Span (*Raw)(), Span (*System)()>
void Compare(benchmark::State& state) {
  // The operator `qts` uses when its output is not a terminal: progress is written as a line
  // at the start and the end of the process.
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  qts::host::ScopedOperator quiet(
      std::make_shared<qts::host::TerminalOperator>(in, out, err, false));
  const qts::bench::Totals t = qts::bench::Alternate(state, Raw, System);
  qts::bench::ReportRatio(state, t, "engine");
  state.SetLabel(qts::bench::SampleBookName());
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK_TEMPLATE(Compare, RawPricing, EnginePricing)
    ->Name("SetPriceWriteOff10k_vs_raw")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
