// The document rows object against raw SQLite calls doing the same database work in the same
// run, on books with the real schema:
//   - AddNew + Update of 100,000 rows of one "MMO" document in one transaction, against a raw
//     loop that per row looks up the unit rate, inserts the row (every column bound) and
//     inserts its additional row;
//   - MoveToID + UpdateByID of 100,000 rows in one transaction, changing each row's quantity,
//     against a raw loop that per row reads the row (with its document's type) and its
//     additional row, looks up the unit rate and updates the two quantities (the rows object
//     writes only the columns that changed since it read the row).
// The ratio (rows object time / raw time) is what the host's row-at-a-time calls cost over the
// physical limit. The rows object also opens a savepoint per write (row and additional row are
// written together or not at all); the raw loop does not. The book, its rows' values and the
// rows object's side are spec_rows.h's, shared with the PostgreSQL benchmark.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "host/data/app_context.h"
#include "spec_rows.h"

namespace {

namespace spec_rows = qts::bench::spec_rows;

using qts::bench::Check;
using qts::bench::Span;
using qts::bench::Stopwatch;
using qts::host::AppContext;

constexpr int kRows = 100'000;

struct Book {
  std::shared_ptr<AppContext> context;
  int32_t doc = 0;
  sqlite3* raw = nullptr;
};

Book NewBook() {
  Book b;
  b.context = AppContext::CreateBook(":memory:", "B");
  b.doc = spec_rows::NewWriteOff(b.context);
  b.raw = qts::bench::RawHandle(*b.context);
  return b;
}

// Binds the row values the host object would bind: the columns set by the caller plus every
// other column's default.
void BindRawRow(sqlite3_stmt* s, const std::vector<std::string>& cols, int32_t doc, int pos,
                double amount_account, int i) {
  for (size_t k = 1; k < cols.size(); ++k) {
    const std::string& n = cols[k];
    int p = static_cast<int>(k);
    if (n == "DocID") {
      sqlite3_bind_int64(s, p, doc);
    } else if (n == "PosNumb") {
      sqlite3_bind_int64(s, p, pos);
    } else if (n == "GoodCode") {
      sqlite3_bind_text(s, p, spec_rows::Good(i), -1, SQLITE_STATIC);
    } else if (n == "UnitCode") {
      sqlite3_bind_text(s, p, spec_rows::Unit(i), -1, SQLITE_STATIC);
    } else if (n == "Amount") {
      sqlite3_bind_int64(s, p, std::llround(spec_rows::Amount(i) * 10000));  // ten-thousandths
    } else if (n == "AmountAccount") {
      sqlite3_bind_int64(s, p, std::llround(amount_account * 10000));
    } else if (n == "CountryCode" || n == "BOperCode") {
      sqlite3_bind_null(s, p);
    } else {
      sqlite3_bind_int64(s, p, 0);
    }
  }
}

double RawRate(sqlite3_stmt* rate, int i) {
  sqlite3_bind_text(rate, 1, spec_rows::Good(i), -1, SQLITE_STATIC);
  sqlite3_bind_text(rate, 2, spec_rows::Unit(i), -1, SQLITE_STATIC);
  double r = sqlite3_step(rate) == SQLITE_ROW ? sqlite3_column_int64(rate, 0) / 10000.0 : 1;
  sqlite3_reset(rate);
  return r;
}

Span RawInsert() {
  Book b = NewBook();
  const auto spec = spec_rows::Columns("THGoodSpec");
  const auto add = spec_rows::Columns("MMOTHGoodSpec");
  const std::string insert = "INSERT INTO \"B$THGoodSpec\"(" + spec_rows::Joined(spec, 1) +
                             ") VALUES (" + spec_rows::Placeholders(spec.size() - 1, '?') + ")";
  const std::string insert_add = "INSERT INTO \"B$MMOTHGoodSpec\"(" + spec_rows::Joined(add, 0) +
                                 ") VALUES (" + spec_rows::Placeholders(add.size(), '?') + ")";
  const char* rate_sql =
      "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = ?1 AND \"UnitCode\" = ?2";
  const Stopwatch watch;
  Check(sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  sqlite3_stmt* s = nullptr;
  sqlite3_stmt* a = nullptr;
  sqlite3_stmt* rate = nullptr;
  Check(sqlite3_prepare_v2(b.raw, insert.c_str(), -1, &s, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, insert_add.c_str(), -1, &a, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, rate_sql, -1, &rate, nullptr), SQLITE_OK, b.raw);
  for (int i = 1; i <= kRows; ++i) {
    BindRawRow(s, spec, b.doc, i, spec_rows::Amount(i) * RawRate(rate, i), i);
    Check(sqlite3_step(s), SQLITE_DONE, b.raw);
    sqlite3_reset(s);
    sqlite3_bind_int64(a, 1, b.doc);
    sqlite3_bind_int64(a, 2, i);
    for (size_t k = 2; k < add.size(); ++k) sqlite3_bind_null(a, static_cast<int>(k + 1));
    Check(sqlite3_step(a), SQLITE_DONE, b.raw);
    sqlite3_reset(a);
  }
  sqlite3_finalize(s);
  sqlite3_finalize(a);
  sqlite3_finalize(rate);
  Check(sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  return watch.Elapsed();
}

Span SpecInsert() {
  Book b = NewBook();
  const Stopwatch watch;
  spec_rows::InsertRows(b.context, b.doc, kRows);
  return watch.Elapsed();
}

Span RawMoveUpdate() {
  Book b = NewBook();
  spec_rows::InsertRows(b.context, b.doc, kRows);
  const auto spec = spec_rows::Columns("THGoodSpec");
  const auto add = spec_rows::Columns("MMOTHGoodSpec");
  const std::string select = "SELECT " + spec_rows::Joined(spec, 0) +
                             ", (SELECT d.\"DocTypeCode\" FROM \"B$THDocument\" d WHERE d.\"IDC\" "
                             "= s.\"DocID\") FROM \"B$THGoodSpec\" s WHERE \"IDC\" = ?1";
  const std::string select_add = "SELECT " + spec_rows::Joined(add, 0) +
                                 " FROM \"B$MMOTHGoodSpec\" WHERE \"DocID\" = ?1 AND "
                                 "\"PosNumb\" = ?2";
  const std::string update =
      "UPDATE \"B$THGoodSpec\" SET \"Amount\" = ?1, \"AmountAccount\" = ?2 WHERE \"IDC\" = ?3";
  const char* rate_sql =
      "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = ?1 AND \"UnitCode\" = ?2";
  const Stopwatch watch;
  Check(sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  sqlite3_stmt *sel = nullptr, *sel_add = nullptr, *upd = nullptr, *rate = nullptr;
  Check(sqlite3_prepare_v2(b.raw, select.c_str(), -1, &sel, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, select_add.c_str(), -1, &sel_add, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, update.c_str(), -1, &upd, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, rate_sql, -1, &rate, nullptr), SQLITE_OK, b.raw);
  for (int i = 1; i <= kRows; ++i) {
    sqlite3_bind_int64(sel, 1, i);
    Check(sqlite3_step(sel), SQLITE_ROW, b.raw);
    const int pos = sqlite3_column_int(sel, 2);
    sqlite3_reset(sel);
    sqlite3_bind_int64(sel_add, 1, b.doc);
    sqlite3_bind_int64(sel_add, 2, pos);
    Check(sqlite3_step(sel_add), SQLITE_ROW, b.raw);
    sqlite3_reset(sel_add);
    sqlite3_bind_int64(upd, 1,
                       std::llround((spec_rows::Amount(i) + 1) * 10000));  // ten-thousandths
    sqlite3_bind_int64(upd, 2, std::llround((spec_rows::Amount(i) + 1) * RawRate(rate, i) * 10000));
    sqlite3_bind_int64(upd, 3, i);
    Check(sqlite3_step(upd), SQLITE_DONE, b.raw);
    sqlite3_reset(upd);
  }
  for (sqlite3_stmt* s : {sel, sel_add, upd, rate}) sqlite3_finalize(s);
  Check(sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  return watch.Elapsed();
}

Span SpecMoveUpdate() {
  Book b = NewBook();
  spec_rows::InsertRows(b.context, b.doc, kRows);
  const Stopwatch watch;
  spec_rows::UpdateRows(b.context, 1, kRows);
  return watch.Elapsed();
}

template <Span (*Raw)(), Span (*System)()>
void Compare(benchmark::State& state) {
  const qts::bench::Totals t = qts::bench::Alternate(state, Raw, System);
  qts::bench::ReportRatio(state, t, "rows_object");
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK_TEMPLATE(Compare, RawInsert, SpecInsert)
    ->Name("SpecAddNewUpdate100k_vs_raw")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Compare, RawMoveUpdate, SpecMoveUpdate)
    ->Name("SpecMoveToIDUpdateByID100k_vs_raw")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
