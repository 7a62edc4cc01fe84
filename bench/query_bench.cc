// The query builder against raw SQLite calls doing the same read in the same run: 100,000 rows
// of 10 columns opened through builder + translator + Recordset, versus the translated
// statement stepped with sqlite3 calls that read every column. And a Recordset Filter over
// 100,000 rows versus a plain loop over the same values. Ratios are wrapper time / raw time.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "core/currency.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/recordset.h"

namespace {

constexpr int kRows = 100'000;
using Clock = std::chrono::steady_clock;

std::shared_ptr<qts::host::AppContext> MakeBook() {
  auto book = qts::host::AppContext::CreateBook(":memory:", "B");
  qts::db::Connection& c = book->Connection();
  qts::db::Transaction transaction(c);
  c.Execute(
      "INSERT INTO \"B$THDocument\"(\"IDC\", \"DocTypeCode\", \"Number\", \"IsPosted\") "
      "VALUES (1, 'PISF', 'N1', 1)");
  qts::db::StatementHandle insert = c.Prepare(
      "INSERT INTO \"B$THGoodSpec\"(\"DocID\", \"PosNumb\", \"GoodCode\", \"UnitCode\", "
      "\"Amount\", \"AmountAccount\", \"Price\", \"Summa\", \"BOperCode\") "
      "VALUES (1, ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  for (int i = 1; i <= kRows; ++i) {
    // Quantities and money are bound as money, as the book keeps them.
    insert->BindAll({i, "GOOD-" + std::to_string(i % 5000), i % 3 ? "KG" : "VNT",
                     qts::Currency::FromDouble(i * 0.5), qts::Currency::FromDouble(i * 0.5),
                     qts::Currency::FromDouble((i % 100) * 1.25),
                     qts::Currency::FromDouble(i * 0.625), i % 7 ? "B1" : "B2"});
    insert->Run();
    insert->Reset();
  }
  transaction.Commit();
  return book;
}

qts::host::QueryPtr TenColumns(qts::host::AppContext& book) {
  qts::host::QueryPtr q = book.CreateQuery("THGoodSpec");
  q->Fields().KeepOnly({"IDC", "DocID", "PosNumb", "GoodCode", "UnitCode", "Amount",
                        "AmountAccount", "Price", "Summa", "BOperCode"});
  return q;
}

qts::bench::Span QueryOpen(qts::host::AppContext& book, long& rows) {
  const qts::bench::Stopwatch watch;
  qts::host::QueryPtr q = TenColumns(book);
  q->Open();
  rows = q->RecordCount();
  return watch.Elapsed();
}

void OpenVersusRaw(benchmark::State& state) {
  auto book = MakeBook();
  const std::string sql = TenColumns(*book)->TranslatedText();
  sqlite3* db = static_cast<qts::db::SqliteConnection&>(book->Connection()).Handle();
  const qts::bench::Totals t = qts::bench::Alternate(
      state,
      [&] {
        long rows = 0;
        const qts::bench::Span span = qts::bench::RawRead(db, sql, rows);
        if (rows != kRows) state.SkipWithError("row count differs");
        return span;
      },
      [&] {
        long rows = 0;
        const qts::bench::Span span = QueryOpen(*book, rows);
        if (rows != kRows) state.SkipWithError("row count differs");
        return span;
      });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  qts::bench::ReportRatio(state, t, "query");
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetItemsProcessed(state.iterations() * kRows);
}

// Filter: the Recordset's criteria against a loop over the same Currency values collecting the
// matching rows.
void FilterVersusLoop(benchmark::State& state) {
  auto book = MakeBook();
  qts::host::QueryPtr q = TenColumns(*book);
  q->Open();
  qts::host::RecordsetPtr rs = q->OpenRecordset();
  std::vector<qts::Currency> amounts;
  amounts.reserve(kRows);
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
    amounts.push_back(rs->Value(size_t{5}).AsCurrency());
  }
  const qts::Currency limit = qts::Currency::FromLong(25'000);
  double filter_total = 0;
  double loop_total = 0;
  int64_t round = 0;
  for (auto _ : state) {
    ++round;
    auto started = Clock::now();
    rs->SetFilter(qts::Variant("Amount > 25000 AND UnitCode = 'KG'"));
    long shown = rs->RecordCount();
    double filter = std::chrono::duration<double>(Clock::now() - started).count();
    rs->SetFilter(qts::Variant(int32_t{0}));

    started = Clock::now();
    std::vector<uint32_t> matching;
    for (uint32_t i = 0; i < amounts.size(); ++i) {
      if (amounts[i] > limit && (i + 1) % 3 != 0) matching.push_back(i);
    }
    double loop = std::chrono::duration<double>(Clock::now() - started).count();
    if (static_cast<long>(matching.size()) != shown) state.SkipWithError("filters disagree");
    benchmark::DoNotOptimize(matching.data());
    filter_total += filter;
    loop_total += loop;
    state.SetIterationTime(filter);
  }
  state.counters["loop_ms"] = loop_total * 1000 / static_cast<double>(round);
  state.counters["filter_ms"] = filter_total * 1000 / static_cast<double>(round);
  state.counters["ratio"] = filter_total / loop_total;
}

BENCHMARK(OpenVersusRaw)
    ->Name("QueryOpen100kx10_vs_raw")
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FilterVersusLoop)
    ->Name("RecordsetFilter100k_vs_loop")
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
