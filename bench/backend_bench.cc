// The backend wrapper against raw SQLite calls doing the same work in the same run: 100,000
// prepared inserts in one transaction. The ratio (wrapper time / raw time) is the overhead
// the wrapper adds over the physical limit.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench_common.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"

namespace {

constexpr int kRows = 100'000;
constexpr const char* kSchema =
    "CREATE TABLE spec(id INTEGER PRIMARY KEY, code TEXT NOT NULL, qty REAL, amount REAL)";
constexpr const char* kInsert = "INSERT INTO spec(id, code, qty, amount) VALUES (?, ?, ?, ?)";

void Check(int code, int expected, sqlite3* db) {
  if (code != expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

// The codes differ per row so the text binding copies real data.
std::string Code(int i) { return "ITEM-" + std::to_string(i % 5000); }

qts::bench::Span RawInsert() {
  sqlite3* db = nullptr;
  Check(sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr),
        SQLITE_OK, db);
  Check(sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr), SQLITE_OK, db);
  const qts::bench::Stopwatch watch;
  Check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, db);
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db, kInsert, -1, &stmt, nullptr), SQLITE_OK, db);
  for (int i = 1; i <= kRows; ++i) {
    std::string code = Code(i);
    sqlite3_bind_int64(stmt, 1, i);
    sqlite3_bind_text(stmt, 2, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
    sqlite3_bind_double(stmt, 3, i * 0.5);
    sqlite3_bind_double(stmt, 4, i * 1.25);
    Check(sqlite3_step(stmt), SQLITE_DONE, db);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, db);
  const qts::bench::Span span = watch.Elapsed();
  sqlite3_close(db);
  return span;
}

// One statement handle held across the loop.
qts::bench::Span WrapperInsert() {
  auto connection = qts::db::SqliteConnection::Open(qts::db::SqliteConnection::kMemory);
  connection->Execute(kSchema);
  const qts::bench::Stopwatch watch;
  {
    qts::db::Transaction transaction(*connection);
    qts::db::StatementHandle insert = connection->Prepare(kInsert);
    for (int i = 1; i <= kRows; ++i) {
      std::string code = Code(i);
      insert->BindInt64(1, i);
      insert->BindText(2, code);
      insert->BindDouble(3, i * 0.5);
      insert->BindDouble(4, i * 1.25);
      insert->Run();
      insert->Reset();
    }
    transaction.Commit();
  }
  return watch.Elapsed();
}

// Row-at-a-time callers: every row asks the connection for the statement again (a cache
// hit), binds Values, and hands the statement back.
qts::bench::Span WrapperCachedPerRow() {
  auto connection = qts::db::SqliteConnection::Open(qts::db::SqliteConnection::kMemory);
  connection->Execute(kSchema);
  const qts::bench::Stopwatch watch;
  {
    qts::db::Transaction transaction(*connection);
    for (int i = 1; i <= kRows; ++i) {
      connection->Execute(kInsert, {i, Code(i), i * 0.5, i * 1.25});
    }
    transaction.Commit();
  }
  return watch.Elapsed();
}

template <qts::bench::Span (*Wrapper)()>
void Compare(benchmark::State& state) {
  const qts::bench::Totals t = qts::bench::Alternate(state, RawInsert, Wrapper);
  qts::bench::ReportRatio(state, t, "wrapper");
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK_TEMPLATE(Compare, WrapperInsert)
    ->Name("Insert100kHeldStatement_vs_raw")
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Compare, WrapperCachedPerRow)
    ->Name("Insert100kCachedPerRow_vs_raw")
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
