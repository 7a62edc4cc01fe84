// What the benchmarks share: the alternating comparison of the system's operation with raw
// backend calls, a raw read of every row of a statement, and a report's whole Run.
#ifndef QTS_BENCH_BENCH_COMMON_H_
#define QTS_BENCH_BENCH_COMMON_H_

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/currency.h"
#include "core/date.h"
#include "core/variant.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/interfaces.h"
#include "host/sample/sample_book.h"
#include "host/ui/scripted_operator.h"

namespace qts::bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point started) {
  return std::chrono::duration<double>(Clock::now() - started).count();
}

// One measured span of one side: wall-clock seconds and the seconds of CPU spent in it. The
// wall clock counts whatever else the shared machine ran meanwhile against the side it hit;
// CPU time counts only the benchmark's own work, so a ratio of CPU times stays close on a
// loaded machine where the wall-clock ratio wanders (it still moves with what the shared caches
// and the core's frequency do). The CPU time is the calling thread's: the sides run on it alone
// (the book's SQLite starts no worker thread, and HTML and XLSX are drawn on the calling
// thread: strace -f sees no thread started), except where a Stopwatch is made on the process's
// clock -- PDF, whose text layout starts threads of its own.
struct Span {
  double wall = 0;
  double cpu = 0;
  Span& operator+=(const Span& other) {
    wall += other.wall;
    cpu += other.cpu;
    return *this;
  }
};

inline double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Started on construction; Elapsed() is the span since, by the wall clock and by `cpu_clock`
// (the calling thread's CPU time, or CLOCK_PROCESS_CPUTIME_ID for work that runs threads).
class Stopwatch {
 public:
  explicit Stopwatch(clockid_t cpu_clock = CLOCK_THREAD_CPUTIME_ID)
      : clock_(cpu_clock), wall_(Clock::now()), cpu_(CpuSeconds(clock_)) {}
  Span Elapsed() const { return {SecondsSince(wall_), CpuSeconds(clock_) - cpu_}; }

 private:
  clockid_t clock_;
  Clock::time_point wall_;
  double cpu_;
};

// Each side over all rounds: the sums and the fastest round, by the wall clock and by CPU
// time.
struct Totals {
  double raw = 0;
  double system = 0;
  double raw_cpu = 0;
  double system_cpu = 0;
  double raw_min = std::numeric_limits<double>::infinity();
  double system_min = std::numeric_limits<double>::infinity();
  double raw_cpu_min = std::numeric_limits<double>::infinity();
  double system_cpu_min = std::numeric_limits<double>::infinity();
  int64_t rounds = 0;
};

// Runs `raw` and `system` (each returns the Span it measured, a Stopwatch's Elapsed() around
// exactly the work compared, setting up left out) once per iteration, alternating which goes
// first so neither always runs on a warmer cache; the system's wall-clock seconds are the
// iteration's time.
template <class Raw, class System>
Totals Alternate(benchmark::State& state, Raw&& raw, System&& system) {
  static_assert(std::is_same_v<decltype(raw()), Span> && std::is_same_v<decltype(system()), Span>,
                "each side returns the Span of a Stopwatch");
  Totals t;
  for (auto _ : state) {
    Span r;
    Span s;
    if (t.rounds++ % 2 == 0) {
      r = raw();
      s = system();
    } else {
      s = system();
      r = raw();
    }
    t.raw += r.wall;
    t.system += s.wall;
    t.raw_cpu += r.cpu;
    t.system_cpu += s.cpu;
    t.raw_min = std::min(t.raw_min, r.wall);
    t.system_min = std::min(t.system_min, s.wall);
    t.raw_cpu_min = std::min(t.raw_cpu_min, r.cpu);
    t.system_cpu_min = std::min(t.system_cpu_min, s.cpu);
    state.SetIterationTime(s.wall);
  }
  return t;
}

// The system's side over the raw side: by the wall clock `ratio` (the sums' ratio) and
// `min_ratio` (the system's fastest round over the fastest raw round); by CPU time `cpu_ratio`
// and `cpu_min_ratio`, the same ratios of CPU seconds.
inline void ReportRatios(benchmark::State& state, const Totals& t) {
  if (t.rounds == 0) return;
  state.counters["ratio"] = t.system / t.raw;
  state.counters["min_ratio"] = t.system_min / t.raw_min;
  state.counters["cpu_ratio"] = t.system_cpu / t.raw_cpu;
  state.counters["cpu_min_ratio"] = t.system_cpu_min / t.raw_cpu_min;
}

// The counters every comparison prints: each side's mean round, raw_ms and <system>_ms by the
// wall clock, raw_cpu_ms and <system>_cpu_ms by CPU time, and the ratios.
inline void ReportRatio(benchmark::State& state, const Totals& t, const std::string& system) {
  if (t.rounds == 0) return;
  const double rounds = static_cast<double>(t.rounds);
  state.counters["raw_ms"] = t.raw * 1000 / rounds;
  state.counters[system + "_ms"] = t.system * 1000 / rounds;
  state.counters["raw_cpu_ms"] = t.raw_cpu * 1000 / rounds;
  state.counters[system + "_cpu_ms"] = t.system_cpu * 1000 / rounds;
  ReportRatios(state, t);
}

// `sql` prepared and stepped by hand, every column read by its storage class; returns the
// time taken and the row count in `rows`.
inline Span RawRead(sqlite3* db, const std::string& sql, long& rows) {
  const Stopwatch watch;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
  int64_t ints = 0;
  double reals = 0;
  size_t bytes = 0;
  rows = 0;
  const int columns = sqlite3_column_count(stmt);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          ints += sqlite3_column_int64(stmt, c);
          break;
        case SQLITE_FLOAT:
          reals += sqlite3_column_double(stmt, c);
          break;
        case SQLITE_TEXT:
          benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
          bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
          break;
        default:
          break;
      }
    }
    ++rows;
  }
  sqlite3_finalize(stmt);
  benchmark::DoNotOptimize(ints);
  benchmark::DoNotOptimize(reals);
  benchmark::DoNotOptimize(bytes);
  return watch.Elapsed();
}

// The book the document benchmarks work on: the large sample book at $QTS_BENCH_BOOK
// (scripts/bench creates it once, code "GEN", seed 7), or else a small sample book generated
// in memory for a quick run. Each run works inside a transaction it rolls back, so the book
// stays as it was for the next run and the next benchmark.
inline std::shared_ptr<qts::host::AppContext> SampleBook() {
  static std::shared_ptr<qts::host::AppContext> book = [] {
    const char* path = std::getenv("QTS_BENCH_BOOK");
    if (path != nullptr && *path != '\0') return qts::host::AppContext::Open(path, "GEN");
    auto b = qts::host::AppContext::CreateBook(":memory:", "GEN");
    qts::host::sample::GenerateSampleBook(*b, qts::host::sample::SampleSize::kSmall, 7);
    return b;
  }();
  return book;
}

// Which book SampleBook() is, for the benchmark's label.
inline const char* SampleBookName() {
  const char* path = std::getenv("QTS_BENCH_BOOK");
  return path != nullptr && *path != '\0' ? "large sample book" : "small sample book";
}

inline sqlite3* RawHandle(qts::host::AppContext& book) {
  return dynamic_cast<qts::db::SqliteConnection&>(book.Connection()).Handle();
}

// "<Code>$<logical>" quoted: a table of `book` for the raw side's SQL.
inline std::string Table(const qts::host::AppContext& book, const char* logical) {
  return "\"" + book.Code() + "$" + logical + "\"";
}

// Aborts the benchmark with SQLite's message unless `code` is `expected`.
inline void Check(int code, int expected, sqlite3* db) {
  if (code != expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

// A write-off (MMO) of `rows` rows in store GS, department GAM, dated 2026-12-31, numbered
// `number`, written into `book` in one transaction: each good of the book (items with their
// account unit, taken in code order and again from the first when they run out) at most once
// per unit, so no row merges. Returns its IDC.
inline int32_t WriteOffDocument(const std::shared_ptr<qts::host::AppContext>& context, int rows,
                                const char* number) {
  qts::host::AppContext& book = *context;
  std::vector<std::pair<std::string, std::string>> goods;
  {
    sqlite3* raw = RawHandle(book);
    sqlite3_stmt* s = nullptr;
    const std::string sql = "SELECT g.\"Code\", u.\"UnitCode\" FROM " + Table(book, "REFGood") +
                            " g JOIN " + Table(book, "REFGoodUnit") +
                            " u ON u.\"GoodCode\" = g.\"Code\" AND u.\"IsAccount\" = 1"
                            " WHERE COALESCE(g.\"IsGroup\", 0) = 0 ORDER BY g.\"Code\"";
    Check(sqlite3_prepare_v2(raw, sql.c_str(), -1, &s, nullptr), SQLITE_OK, raw);
    while (sqlite3_step(s) == SQLITE_ROW) {
      goods.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
    }
    sqlite3_finalize(s);
    if (goods.empty()) std::abort();
  }
  qts::db::Transaction transaction(book.Connection());
  qts::host::THDocument doc(context);
  doc.Fields().Item("DocTypeCode").SetValue(qts::Variant("MMO"));
  doc.InitNew();
  doc.BeginInsert();
  auto& f = doc.Fields();
  f.Item("Number").SetValue(qts::Variant(number));
  f.Item("DocumentDate").SetValue(qts::Variant(qts::Date::FromYmd(2026, 12, 31)));
  f.Item("StoreCode").SetValue(qts::Variant("GS"));
  f.Item("Department").SetValue(qts::Variant("GAM"));
  f.Item("Name").SetValue(qts::Variant("Benchmark write-off"));
  const int32_t idc = doc.EndInsert();
  qts::host::THGoodSpec spec(context);
  for (int i = 1; i <= rows; ++i) {
    const auto& [good, unit] = goods[static_cast<size_t>(i - 1) % goods.size()];
    spec.AddNew();
    auto& r = spec.Fields();
    r.Item("DocID").SetValue(qts::Variant(idc));
    r.Item("PosNumb").SetValue(qts::Variant(static_cast<int32_t>(i)));
    r.Item("GoodCode").SetValue(qts::Variant(good));
    r.Item("UnitCode").SetValue(qts::Variant(unit));
    r.Item("Amount").SetValue(qts::Variant(qts::Currency::FromScaled(10000 + (i % 97) * 2500)));
    r.Item("AmountAccount").SetValue(qts::Variant(qts::Currency()));
    r.Item("Price").SetValue(qts::Variant(qts::Currency::FromScaled(12345 + i)));
    r.Item("Summa").SetValue(qts::Variant(qts::Currency::FromScaled((12345 + i) * 2)));
    if (!spec.Update()) std::abort();
  }
  transaction.Commit();
  return idc;
}

inline void Exec(sqlite3* db, const char* sql) {
  Check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK, db);
}

// The reports write their last choices into the settings file: one throw-away file per
// process, named after `benchmark`.
inline void UseTemporarySettings(const char* benchmark) {
  static const std::string path =
      (std::filesystem::temp_directory_path() /
       (std::string("qts_") + benchmark + "_" + std::to_string(getpid()) + ".json"))
          .string();
  setenv("QTS_SETTINGS", path.c_str(), 1);
}

// A report's parameter form answers: control name and value.
using Filling = std::vector<std::pair<std::string, qts::Variant>>;

// The forms' fillings the report benchmarks run with: the sample year, every store and good.
inline const Filling kStoreRestByTerm = {{"edDayAmount", qts::Variant("60")},
                                         {"selStore", qts::Variant("")},
                                         {"selGood", qts::Variant("")}};
inline const Filling kYearAllStoresAndGoods = {{"edBegDate", qts::Variant("2026-01-01")},
                                               {"edEndDate", qts::Variant("2026-12-31")},
                                               {"selStore", qts::Variant("")},
                                               {"selGood", qts::Variant("")}};
inline const Filling kYear = {{"edBegDate", qts::Variant("2026-01-01")},
                              {"edEndDate", qts::Variant("2026-12-31")}};
inline const Filling kGoodRestBDK = {{"edRepDate", qts::Variant("2026-12-31")}};
inline const Filling kWriteOffSvyd = {{"edBegDate", qts::Variant("2026-01-01")},
                                      {"edEndDate", qts::Variant("2026-12-31")},
                                      {"edNumb", qts::Variant("A-1")}};

// One Run of `report` on `book` with its form filled by `filling`, every value of the data list
// read; returns the time taken and the data list's row count in `rows`. `values_out`, when
// given, receives what the report handed over, and the values are left for its reader (a
// printout reads them itself, once, as `qts report` does).
inline Span ReportRun(qts::host::IReportExec& report, qts::host::ScriptedOperator& op,
                      const std::shared_ptr<qts::host::AppContext>& book, const Filling& filling,
                      long& rows, qts::host::NamedValueListPtr* values_out = nullptr) {
  const Stopwatch watch;
  op.AnswerForm({"", true, filling});
  auto params = std::make_shared<qts::host::NamedValueList>();
  params->Add("Book", qts::host::Kind::kNone,
              qts::Variant(std::static_pointer_cast<qts::Object>(book)));
  auto values = std::make_shared<qts::host::NamedValueList>();
  if (!report.Run(params, values)) std::abort();
  if (values_out) *values_out = values;
  auto rs =
      std::dynamic_pointer_cast<qts::host::Recordset>(values->Item("DataList").Value().AsObject());
  rows = rs->RecordCount();
  size_t seen = 0;
  if (rows > 0 && !values_out) {
    const size_t columns = rs->Fields().Count();
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      for (size_t i = 0; i < columns; ++i) seen += rs->Value(i).IsNull() ? 0 : 1;
    }
  }
  benchmark::DoNotOptimize(seen);
  return watch.Elapsed();
}

}  // namespace qts::bench

#endif  // QTS_BENCH_BENCH_COMMON_H_
