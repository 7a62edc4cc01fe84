// The system on a PostgreSQL server against raw libpq calls doing the same work in the same run
// (the server is the private one scripts/bench starts, named by QTS_BENCH_PG):
//   - the stock reports: each report's whole Run on the generated sample company copied to the
//     server, against the report's final statement (the longest one its Run prepared) executed
//     with PQexec, every cell of the result read;
//   - the document rows object: AddNew + Update, and MoveToID + UpdateByID, of 10,000 rows of
//     one "MMO" document in one transaction, against raw loops that per row do the statements
//     the documents benchmark's raw SQLite loops do, as prepared statements (PQprepare +
//     PQexecPrepared). The rows object also sets a savepoint per write; the raw loop does not.
// Counters: both times per round and the ratio (system / raw). The CPU counters (cpu_ratio,
// cpu_min_ratio) count this process's thread only: the server's work is in neither side's, so
// here they compare the client's share of the work, not the work. The rows object's book,
// values and side are spec_rows.h's, as in the documents benchmark.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_common.h"
#include "db/postgres/pg_connection.h"
#include "host/data/app_context.h"
#include "host/data/book_copy.h"
#include "host/interfaces.h"
#include "host/sample/sample_book.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"
#include "reports/rep_not_spent_manuf_goods.h"
#include "reports/rep_not_spent_ord_goods.h"
#include "reports/rep_rest_off_bdk.h"
#include "reports/rep_store_rest_by_term.h"
#include "reports/rep_write_off_svyd.h"
#include "spec_rows.h"

namespace {

namespace spec_rows = qts::bench::spec_rows;

using qts::bench::Filling;
using qts::host::AppContext;

constexpr int kRows = 10'000;

std::string Server() {
  const char* address = std::getenv("QTS_BENCH_PG");
  if (address == nullptr || *address == '\0') {
    std::fprintf(stderr, "postgres_bench: QTS_BENCH_PG names no server (scripts/bench sets it)\n");
    std::exit(1);
  }
  return address;
}

// A new empty schema on the server; the address of a connection that works in it.
std::string NewSchema() {
  static int serial = 0;
  const std::string name = "bench_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
  auto admin = qts::db::PgConnection::Open(Server());
  admin->Execute("DROP SCHEMA IF EXISTS " + name + " CASCADE; CREATE SCHEMA " + name);
  return Server() + " options='-csearch_path=" + name + "'";
}

struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultClearer>;

void Check(PGresult* r, ExecStatusType want, PGconn* conn) {
  if (PQresultStatus(r) != want) {
    std::fprintf(stderr, "postgres: %s\n", PQerrorMessage(conn));
    std::abort();
  }
}

// --- Reports --------------------------------------------------------------------------------

std::shared_ptr<AppContext> ReportsBook() {
  static std::shared_ptr<AppContext> book = [] {
    auto file = AppContext::CreateBook(":memory:", "GEN");
    qts::host::sample::GenerateSampleBook(*file, qts::host::sample::SampleSize::kSmall, 7);
    return qts::host::CopyBook(*file, NewSchema());
  }();
  return book;
}

// The statement executed by hand, every cell read.
qts::bench::Span RawRead(PGconn* conn, const std::string& sql, long& rows) {
  const qts::bench::Stopwatch watch;
  Result r(PQexec(conn, sql.c_str()));
  Check(r.get(), PGRES_TUPLES_OK, conn);
  rows = PQntuples(r.get());
  const int columns = PQnfields(r.get());
  size_t bytes = 0;
  for (int row = 0; row < rows; ++row) {
    for (int c = 0; c < columns; ++c) {
      if (!PQgetisnull(r.get(), row, c))
        bytes += std::string_view(PQgetvalue(r.get(), row, c)).size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  return watch.Elapsed();
}

template <class Report>
void ReportVersusRaw(benchmark::State& state, const Filling& filling) {
  qts::bench::UseTemporarySettings("pg_bench");
  auto book = ReportsBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scope(op);
  auto& connection = dynamic_cast<qts::db::PgConnection&>(book->Connection());
  Report report;
  long report_rows = 0;
  std::string sql;
  // The traced run prepares every statement anew: Google Benchmark calls this function more
  // than once, and a statement kept from an earlier call would not be traced.
  connection.ClearStatementCache();
  connection.SetTrace([&](const std::string& text) {
    if (text.size() > sql.size()) sql = text;
  });
  qts::bench::ReportRun(report, *op, book, filling, report_rows);
  connection.SetTrace(nullptr);
  // Parameters of the final statement are the shape cache's; the raw side gets none, so the
  // statement must have been written with its literals (a report's statement is).
  if (sql.find("$1") != std::string::npos) {
    state.SkipWithError("the report's statement has parameters");
    return;
  }
  const qts::bench::Totals t = qts::bench::Alternate(
      state,
      [&] {
        long raw_rows = 0;
        const qts::bench::Span span = RawRead(connection.Handle(), sql, raw_rows);
        if (raw_rows != report_rows) state.SkipWithError("row count differs");
        return span;
      },
      [&] { return qts::bench::ReportRun(report, *op, book, filling, report_rows); });
  state.counters["rows"] = static_cast<double>(report_rows);
  qts::bench::ReportRatio(state, t, "run");
}

void StoreRestByTerm(benchmark::State& state) {
  ReportVersusRaw<qts::reports::CRepStoreRestByTerm>(state, qts::bench::kStoreRestByTerm);
}
void NotSpentOrdGoods(benchmark::State& state) {
  ReportVersusRaw<qts::reports::CRepNotSpentOrdGoods>(state, qts::bench::kYearAllStoresAndGoods);
}
void NotSpentManufGoods(benchmark::State& state) {
  ReportVersusRaw<qts::reports::CRepNotSpentManufGoods>(state, qts::bench::kYearAllStoresAndGoods);
}
void GoodRestBDK(benchmark::State& state) {
  ReportVersusRaw<qts::reports::CRepGoodRestBDK>(state, qts::bench::kGoodRestBDK);
}
void WriteOffBDK(benchmark::State& state) {
  ReportVersusRaw<qts::reports::CRepWriteOffBDK>(state, qts::bench::kYear);
}
void WriteOffSvyd(benchmark::State& state) {
  ReportVersusRaw<qts::reports::CRepWriteOffSvyd>(state, qts::bench::kWriteOffSvyd);
}

// --- The document rows object ----------------------------------------------------------------

struct Book {
  std::shared_ptr<AppContext> context;
  int32_t doc = 0;
  PGconn* raw = nullptr;
};

Book NewBook() {
  Book b;
  b.context = AppContext::CreateBook(NewSchema(), "B");
  b.doc = spec_rows::NewWriteOff(b.context);
  b.raw = dynamic_cast<qts::db::PgConnection&>(b.context->Connection()).Handle();
  return b;
}

void Prepare(PGconn* conn, const char* name, const std::string& sql) {
  Result r(PQprepare(conn, name, sql.c_str(), 0, nullptr));
  Check(r.get(), PGRES_COMMAND_OK, conn);
}

Result Exec(PGconn* conn, const char* name, const std::vector<std::string>& values,
            const std::vector<bool>& nulls, ExecStatusType want) {
  std::vector<const char*> pointers(values.size());
  for (size_t i = 0; i < values.size(); ++i) pointers[i] = nulls[i] ? nullptr : values[i].c_str();
  Result r(PQexecPrepared(conn, name, static_cast<int>(values.size()), pointers.data(), nullptr,
                          nullptr, 0));
  Check(r.get(), want, conn);
  return r;
}

double RawRate(PGconn* conn, int i) {
  Result r =
      Exec(conn, "rate", {spec_rows::Good(i), spec_rows::Unit(i)}, {false, false}, PGRES_TUPLES_OK);
  return PQntuples(r.get()) > 0 ? std::atof(PQgetvalue(r.get(), 0, 0)) : 1;
}

std::string Number(double x) { return fmt::format("{}", x); }

qts::bench::Span RawInsert() {
  Book b = NewBook();
  const auto spec = spec_rows::Columns("THGoodSpec");
  const auto add = spec_rows::Columns("MMOTHGoodSpec");
  Prepare(b.raw, "ins",
          "INSERT INTO \"B$THGoodSpec\"(" + spec_rows::Joined(spec, 1) + ") VALUES (" +
              spec_rows::Placeholders(spec.size() - 1, '$') + ") RETURNING \"IDC\"");
  Prepare(b.raw, "ins_add",
          "INSERT INTO \"B$MMOTHGoodSpec\"(" + spec_rows::Joined(add, 0) + ") VALUES (" +
              spec_rows::Placeholders(add.size(), '$') + ")");
  Prepare(b.raw, "rate",
          "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = $1 AND \"UnitCode\" = $2");
  const qts::bench::Stopwatch watch;
  Result(PQexec(b.raw, "BEGIN"));
  std::vector<std::string> values(spec.size() - 1);
  std::vector<bool> nulls(spec.size() - 1);
  std::vector<std::string> add_values(add.size());
  std::vector<bool> add_nulls(add.size(), true);
  add_nulls[0] = add_nulls[1] = false;
  for (int i = 1; i <= kRows; ++i) {
    const double account = spec_rows::Amount(i) * RawRate(b.raw, i);
    for (size_t k = 1; k < spec.size(); ++k) {
      const std::string& n = spec[k];
      std::string& v = values[k - 1];
      nulls[k - 1] = false;
      if (n == "DocID")
        v = std::to_string(b.doc);
      else if (n == "PosNumb")
        v = std::to_string(i);
      else if (n == "GoodCode")
        v = spec_rows::Good(i);
      else if (n == "UnitCode")
        v = spec_rows::Unit(i);
      else if (n == "Amount")
        v = Number(spec_rows::Amount(i));
      else if (n == "AmountAccount")
        v = Number(account);
      else if (n == "CountryCode" || n == "BOperCode")
        nulls[k - 1] = true;
      else
        v = "0";
    }
    Exec(b.raw, "ins", values, nulls, PGRES_TUPLES_OK);
    add_values[0] = std::to_string(b.doc);
    add_values[1] = std::to_string(i);
    Exec(b.raw, "ins_add", add_values, add_nulls, PGRES_COMMAND_OK);
  }
  Result(PQexec(b.raw, "COMMIT"));
  const qts::bench::Span span = watch.Elapsed();
  for (const char* name : {"ins", "ins_add", "rate"}) {
    Result(PQexec(b.raw, (std::string("DEALLOCATE ") + name).c_str()));
  }
  return span;
}

qts::bench::Span SpecInsert() {
  Book b = NewBook();
  const qts::bench::Stopwatch watch;
  spec_rows::InsertRows(b.context, b.doc, kRows);
  return watch.Elapsed();
}

// The first row's key: the rows were numbered in one run from it.
int FirstRow(PGconn* conn) {
  Result r(PQexec(conn, "SELECT MIN(\"IDC\") FROM \"B$THGoodSpec\""));
  Check(r.get(), PGRES_TUPLES_OK, conn);
  return std::atoi(PQgetvalue(r.get(), 0, 0));
}

qts::bench::Span RawMoveUpdate() {
  Book b = NewBook();
  spec_rows::InsertRows(b.context, b.doc, kRows);
  const auto spec = spec_rows::Columns("THGoodSpec");
  const auto add = spec_rows::Columns("MMOTHGoodSpec");
  Prepare(b.raw, "sel",
          "SELECT " + spec_rows::Joined(spec, 0) +
              ", (SELECT d.\"DocTypeCode\" FROM \"B$THDocument\" d WHERE d.\"IDC\" = s.\"DocID\") "
              "FROM \"B$THGoodSpec\" s WHERE \"IDC\" = $1");
  Prepare(b.raw, "sel_add",
          "SELECT " + spec_rows::Joined(add, 0) +
              " FROM \"B$MMOTHGoodSpec\" WHERE \"DocID\" = $1 AND \"PosNumb\" = $2");
  Prepare(b.raw, "upd",
          "UPDATE \"B$THGoodSpec\" SET \"Amount\" = $1, \"AmountAccount\" = $2 WHERE \"IDC\" = $3");
  Prepare(b.raw, "rate",
          "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = $1 AND \"UnitCode\" = $2");
  const int first = FirstRow(b.raw);
  const qts::bench::Stopwatch watch;
  Result(PQexec(b.raw, "BEGIN"));
  for (int i = 1; i <= kRows; ++i) {
    const std::string id = std::to_string(first + i - 1);
    Result row = Exec(b.raw, "sel", {id}, {false}, PGRES_TUPLES_OK);
    const std::string pos = PQgetvalue(row.get(), 0, 2);
    Exec(b.raw, "sel_add", {std::to_string(b.doc), pos}, {false, false}, PGRES_TUPLES_OK);
    const double rate = RawRate(b.raw, i);
    Exec(b.raw, "upd",
         {Number(spec_rows::Amount(i) + 1), Number((spec_rows::Amount(i) + 1) * rate), id},
         {false, false, false}, PGRES_COMMAND_OK);
  }
  Result(PQexec(b.raw, "COMMIT"));
  const qts::bench::Span span = watch.Elapsed();
  for (const char* name : {"sel", "sel_add", "upd", "rate"}) {
    Result(PQexec(b.raw, (std::string("DEALLOCATE ") + name).c_str()));
  }
  return span;
}

qts::bench::Span SpecMoveUpdate() {
  Book b = NewBook();
  spec_rows::InsertRows(b.context, b.doc, kRows);
  const int first = FirstRow(b.raw);
  const qts::bench::Stopwatch watch;
  spec_rows::UpdateRows(b.context, first, kRows);
  return watch.Elapsed();
}

template <qts::bench::Span (*Raw)(), qts::bench::Span (*System)()>
void Rows(benchmark::State& state) {
  const qts::bench::Totals t = qts::bench::Alternate(state, Raw, System);
  qts::bench::ReportRatio(state, t, "rows_object");
  state.SetItemsProcessed(state.iterations() * kRows);
}

benchmark::internal::Benchmark* Rounds(benchmark::internal::Benchmark* b) {
  return b->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
}

BENCHMARK(StoreRestByTerm)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(NotSpentOrdGoods)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(NotSpentManufGoods)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(GoodRestBDK)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(WriteOffBDK)->Apply([](auto* b) { Rounds(b); });
BENCHMARK(WriteOffSvyd)->Apply([](auto* b) { Rounds(b); });
BENCHMARK_TEMPLATE(Rows, RawInsert, SpecInsert)
    ->Name("PgSpecAddNewUpdate10k_vs_raw")
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Rows, RawMoveUpdate, SpecMoveUpdate)
    ->Name("PgSpecMoveToIDUpdateByID10k_vs_raw")
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
