// What the benchmarks share: the alternating comparison of the system's operation with raw
// backend calls, a raw read of every row of a statement, and a report's whole Run.
#ifndef QTS_BENCH_BENCH_COMMON_H_
#define QTS_BENCH_BENCH_COMMON_H_

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
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

// Seconds spent by each side over all rounds.
struct Totals {
  double raw = 0;
  double system = 0;
  int64_t rounds = 0;
};

// Runs `raw` and `system` (each returns its seconds) once per iteration, alternating which goes
// first so neither always runs on a warmer cache; the system's seconds are the iteration's
// time.
template <class Raw, class System>
Totals Alternate(benchmark::State& state, Raw&& raw, System&& system) {
  Totals t;
  for (auto _ : state) {
    double r = 0;
    double s = 0;
    if (t.rounds++ % 2 == 0) {
      r = raw();
      s = system();
    } else {
      s = system();
      r = raw();
    }
    t.raw += r;
    t.system += s;
    state.SetIterationTime(s);
  }
  return t;
}

// The counters every comparison prints: raw_ms, <system>_ms (per round) and the ratio.
inline void ReportRatio(benchmark::State& state, const Totals& t, const std::string& system) {
  const double rounds = static_cast<double>(t.rounds);
  state.counters["raw_ms"] = t.raw * 1000 / rounds;
  state.counters[system + "_ms"] = t.system * 1000 / rounds;
  state.counters["ratio"] = t.system / t.raw;
}

// `sql` prepared and stepped by hand, every column read by its storage class; returns the
// seconds taken and the row count in `rows`.
inline double RawRead(sqlite3* db, const std::string& sql, long& rows) {
  auto started = Clock::now();
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
  return SecondsSince(started);
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
// read; returns the seconds taken and the data list's row count in `rows`. `values_out`, when
// given, receives what the report handed over.
inline double ReportRun(qts::host::IReportExec& report, qts::host::ScriptedOperator& op,
                        const std::shared_ptr<qts::host::AppContext>& book, const Filling& filling,
                        long& rows, qts::host::NamedValueListPtr* values_out = nullptr) {
  auto started = Clock::now();
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
  if (rows > 0) {
    const size_t columns = rs->Fields().Count();
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
      for (size_t i = 0; i < columns; ++i) seen += rs->Value(i).IsNull() ? 0 : 1;
    }
  }
  benchmark::DoNotOptimize(seen);
  return SecondsSince(started);
}

}  // namespace qts::bench

#endif  // QTS_BENCH_BENCH_COMMON_H_
