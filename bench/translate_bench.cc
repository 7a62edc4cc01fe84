// The T-SQL translator against SQLite's own parse of the statement it emits, in the same run:
// translating the packaging declaration (the largest statement the system sends) versus a
// raw sqlite3_prepare_v2 of the translation on a book opened by the SQLite backend. The
// ratio (translate / prepare) is what translation adds over the backend's unavoidable parse;
// "us_per_translation" shows the absolute cost.
//
// The raw calls are looked up in the SQLite library the backend has loaded, so this
// benchmark needs no link-time dependency of its own on it.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "db/sqlite/sqlite_connection.h"
#include "sql/testing/corpus.h"
#include "sql/testing/test_catalogue.h"
#include "sql/translator.h"

namespace {

using Clock = std::chrono::steady_clock;
using qts::sql::Dialect;

constexpr int kRounds = 300;

const std::string& Statement() {
  static const std::string sql =
      qts::sql::testing::PackagingDeclarationSql("20240101", "20241231", false);
  return sql;
}

struct RawApi {
  decltype(&sqlite3_prepare_v2) prepare;
  decltype(&sqlite3_finalize) finalize;
};

RawApi LoadRawApi() {
  RawApi api{
      reinterpret_cast<decltype(&sqlite3_prepare_v2)>(dlsym(RTLD_DEFAULT, "sqlite3_prepare_v2")),
      reinterpret_cast<decltype(&sqlite3_finalize)>(dlsym(RTLD_DEFAULT, "sqlite3_finalize"))};
  if (api.prepare == nullptr || api.finalize == nullptr) {
    std::fprintf(stderr, "the SQLite library is not loaded\n");
    std::abort();
  }
  return api;
}

// An in-memory book with every table of the test catalogue.
std::unique_ptr<qts::db::SqliteConnection> OpenBook() {
  auto book = qts::db::SqliteConnection::Open(qts::db::SqliteConnection::kMemory);
  const auto& catalogue = qts::sql::testing::TestCatalogue();
  for (const qts::sql::SourceInfo* source : catalogue.Sources()) {
    std::string ddl = "CREATE TABLE \"" + catalogue.PhysicalName(source->name) + "\" (";
    for (size_t i = 0; i < source->columns.size(); ++i) {
      ddl += (i ? ", \"" : "\"") + source->columns[i].name + "\"";
    }
    ddl += ")";
    book->Execute(ddl);
  }
  return book;
}

double TranslateSeconds(int rounds) {
  const auto& catalogue = qts::sql::testing::TestCatalogue();
  auto started = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    std::string sql = qts::sql::Translate(Statement(), catalogue, Dialect::kSqlite);
    benchmark::DoNotOptimize(sql);
  }
  return std::chrono::duration<double>(Clock::now() - started).count();
}

double PrepareSeconds(const RawApi& api, sqlite3* db, const std::string& sql, int rounds) {
  auto started = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    sqlite3_stmt* stmt = nullptr;
    if (api.prepare(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "prepare failed\n");
      std::abort();
    }
    api.finalize(stmt);
  }
  return std::chrono::duration<double>(Clock::now() - started).count();
}

void BM_TranslateVsPrepare(benchmark::State& state) {
  auto book = OpenBook();
  RawApi api = LoadRawApi();
  std::string translated =
      qts::sql::Translate(Statement(), qts::sql::testing::TestCatalogue(), Dialect::kSqlite);
  double translate = 0;
  double prepare = 0;
  for (auto _ : state) {
    translate += TranslateSeconds(kRounds);
    prepare += PrepareSeconds(api, book->Handle(), translated, kRounds);
  }
  double runs = static_cast<double>(state.iterations()) * kRounds;
  state.counters["ratio"] = translate / prepare;
  state.counters["us_per_translation"] = translate / runs * 1e6;
  state.counters["us_per_prepare"] = prepare / runs * 1e6;
  state.counters["tsql_bytes"] = static_cast<double>(Statement().size());
}
BENCHMARK(BM_TranslateVsPrepare)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TranslatePostgres(benchmark::State& state) {
  const auto& catalogue = qts::sql::testing::TestCatalogue();
  for (auto _ : state) {
    std::string sql = qts::sql::Translate(Statement(), catalogue, Dialect::kPostgres);
    benchmark::DoNotOptimize(sql);
  }
}
BENCHMARK(BM_TranslatePostgres)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
