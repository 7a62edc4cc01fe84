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
// written together or not at all); the raw loop does not.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/schema/schema.h"

namespace {

using qts::Currency;
using qts::Variant;
using qts::host::AppContext;
using qts::host::THDocument;
using qts::host::THGoodSpec;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 100'000;
constexpr const char* kCode = "B";

void Check(int code, int expected, sqlite3* db) {
  if (code != expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

struct Book {
  std::shared_ptr<AppContext> context;
  int32_t doc = 0;
  sqlite3* raw = nullptr;
};

Book NewBook() {
  Book b;
  b.context = AppContext::CreateBook(":memory:", kCode);
  auto& c = b.context->Connection();
  c.Execute("INSERT INTO \"B$REFGood\"(\"Code\",\"Name\") VALUES ('G1','Flour'),('G2','Box')");
  c.Execute(
      "INSERT INTO \"B$REFGoodUnit\"(\"GoodCode\",\"UnitCode\",\"Rate\") VALUES "
      "('G1','KG',10000),('G1','T',10000000),('G2','VNT',10000),('G2','BOX',125000)");  // rates in
                                                                                        // ten-thousandths
  THDocument doc(b.context);
  doc.BeginInsert();
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  b.doc = doc.EndInsert();
  b.raw = dynamic_cast<qts::db::SqliteConnection&>(c).Handle();
  return b;
}

const char* Good(int i) { return i % 2 == 0 ? "G1" : "G2"; }
const char* Unit(int i) { return i % 2 == 0 ? "T" : "BOX"; }
double Amount(int i) { return 1 + (i % 97) * 0.25; }

std::vector<std::string> Columns(const std::string& table) {
  std::vector<std::string> names;
  for (const auto& c : qts::host::schema::FindSourceDef(table)->columns) names.push_back(c.name);
  return names;
}

std::string Joined(const std::vector<std::string>& names, size_t first, const char* suffix) {
  std::string out;
  for (size_t i = first; i < names.size(); ++i) {
    if (!out.empty()) out += ", ";
    out += "\"" + names[i] + "\"" + suffix;
  }
  return out;
}

std::string Placeholders(size_t n) {
  std::string out;
  for (size_t i = 1; i <= n; ++i) out += (i > 1 ? ", ?" : "?") + std::to_string(i);
  return out;
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
      sqlite3_bind_text(s, p, Good(i), -1, SQLITE_STATIC);
    } else if (n == "UnitCode") {
      sqlite3_bind_text(s, p, Unit(i), -1, SQLITE_STATIC);
    } else if (n == "Amount") {
      sqlite3_bind_int64(s, p, std::llround(Amount(i) * 10000));  // ten-thousandths
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
  sqlite3_bind_text(rate, 1, Good(i), -1, SQLITE_STATIC);
  sqlite3_bind_text(rate, 2, Unit(i), -1, SQLITE_STATIC);
  double r = sqlite3_step(rate) == SQLITE_ROW ? sqlite3_column_int64(rate, 0) / 10000.0 : 1;
  sqlite3_reset(rate);
  return r;
}

double RawInsert() {
  Book b = NewBook();
  const auto spec = Columns("THGoodSpec");
  const auto add = Columns("MMOTHGoodSpec");
  const std::string insert = "INSERT INTO \"B$THGoodSpec\"(" + Joined(spec, 1, "") + ") VALUES (" +
                             Placeholders(spec.size() - 1) + ")";
  const std::string insert_add = "INSERT INTO \"B$MMOTHGoodSpec\"(" + Joined(add, 0, "") +
                                 ") VALUES (" + Placeholders(add.size()) + ")";
  const char* rate_sql =
      "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = ?1 AND \"UnitCode\" = ?2";
  auto started = Clock::now();
  Check(sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  sqlite3_stmt* s = nullptr;
  sqlite3_stmt* a = nullptr;
  sqlite3_stmt* rate = nullptr;
  Check(sqlite3_prepare_v2(b.raw, insert.c_str(), -1, &s, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, insert_add.c_str(), -1, &a, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, rate_sql, -1, &rate, nullptr), SQLITE_OK, b.raw);
  for (int i = 1; i <= kRows; ++i) {
    BindRawRow(s, spec, b.doc, i, Amount(i) * RawRate(rate, i), i);
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
  return std::chrono::duration<double>(Clock::now() - started).count();
}

void SpecInsertAll(Book& b) {
  qts::db::Transaction transaction(b.context->Connection());
  THGoodSpec spec(b.context);
  for (int i = 1; i <= kRows; ++i) {
    spec.AddNew();
    auto& f = spec.Fields();
    f.Item("DocID").SetValue(Variant(b.doc));
    f.Item("PosNumb").SetValue(Variant(static_cast<int32_t>(i)));
    f.Item("GoodCode").SetValue(Variant(Good(i)));
    f.Item("UnitCode").SetValue(Variant(Unit(i)));
    f.Item("Amount").SetValue(Variant(Currency::FromDouble(Amount(i))));
    f.Item("AmountAccount").SetValue(Variant(Currency()));
    if (!spec.Update()) std::abort();
  }
  transaction.Commit();
}

double SpecInsert() {
  Book b = NewBook();
  auto started = Clock::now();
  SpecInsertAll(b);
  return std::chrono::duration<double>(Clock::now() - started).count();
}

double RawMoveUpdate() {
  Book b = NewBook();
  SpecInsertAll(b);
  const auto spec = Columns("THGoodSpec");
  const auto add = Columns("MMOTHGoodSpec");
  const std::string select = "SELECT " + Joined(spec, 0, "") +
                             ", (SELECT d.\"DocTypeCode\" FROM \"B$THDocument\" d WHERE d.\"IDC\" "
                             "= s.\"DocID\") FROM \"B$THGoodSpec\" s WHERE \"IDC\" = ?1";
  const std::string select_add = "SELECT " + Joined(add, 0, "") +
                                 " FROM \"B$MMOTHGoodSpec\" WHERE \"DocID\" = ?1 AND "
                                 "\"PosNumb\" = ?2";
  const std::string update =
      "UPDATE \"B$THGoodSpec\" SET \"Amount\" = ?1, \"AmountAccount\" = ?2 WHERE \"IDC\" = ?3";
  const char* rate_sql =
      "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = ?1 AND \"UnitCode\" = ?2";
  auto started = Clock::now();
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
    sqlite3_bind_int64(upd, 1, std::llround((Amount(i) + 1) * 10000));  // ten-thousandths
    sqlite3_bind_int64(upd, 2, std::llround((Amount(i) + 1) * RawRate(rate, i) * 10000));
    sqlite3_bind_int64(upd, 3, i);
    Check(sqlite3_step(upd), SQLITE_DONE, b.raw);
    sqlite3_reset(upd);
  }
  for (sqlite3_stmt* s : {sel, sel_add, upd, rate}) sqlite3_finalize(s);
  Check(sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  return std::chrono::duration<double>(Clock::now() - started).count();
}

double SpecMoveUpdate() {
  Book b = NewBook();
  SpecInsertAll(b);
  auto started = Clock::now();
  {
    qts::db::Transaction transaction(b.context->Connection());
    THGoodSpec spec(b.context);
    for (int i = 1; i <= kRows; ++i) {
      if (!spec.MoveToID(i)) std::abort();
      auto& f = spec.Fields();
      f.Item("Amount").SetValue(Variant(Currency::FromDouble(Amount(i) + 1)));
      f.Item("AmountAccount").SetValue(Variant(Currency()));
      if (!spec.UpdateByID(i)) std::abort();
    }
    transaction.Commit();
  }
  return std::chrono::duration<double>(Clock::now() - started).count();
}

template <double (*Raw)(), double (*System)()>
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
