// The write-off pricing of the material-document engine against raw SQLite calls doing the same
// database work in the same run, on a book with the real schema and one write-off of 10,000
// rows (each with its additional row):
//   - CMDocSupport::SetPriceWriteOff: the pricing query (rows of the document whose good has
//     category 0, with their additional fields), then per row the step process positions the
//     rows object, prices the row from its cost sum, raises SetPrice, copies the row back and
//     writes it, all in one transaction;
//   - a raw loop that runs the same query through one prepared statement and reads every
//     column, then per row reads the row (with its document's type) and its additional row,
//     computes the price and updates both, with prepared statements in one transaction.
// The ratio (engine time / raw time) is what the engine and the host's objects cost over the
// physical limit. The engine's rows object also opens a savepoint per write (row and
// additional row are written together or not at all); the raw loop does not.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "core/currency.h"
#include "core/variant.h"
#include "db/sqlite/sqlite_connection.h"
#include "engine/doc_engine.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/schema/schema.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace {

using qts::Variant;
using qts::host::AppContext;
using qts::host::THDocument;
using Clock = std::chrono::steady_clock;

constexpr int kRows = 10'000;
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

// A book with three goods and one unposted write-off of kRows rows: amounts 1..97 by 0.25,
// cost sums that do not divide evenly, each row with its additional row.
Book NewBook() {
  Book b;
  b.context = AppContext::CreateBook(":memory:", kCode);
  auto& c = b.context->Connection();
  c.Execute(
      "INSERT INTO \"B$REFGood\"(\"Code\",\"Name\",\"Category\") VALUES ('G1','Flour',0),"
      "('G2','Box',0),('G3','Pallet',1)");
  c.Execute(
      "INSERT INTO \"B$REFGoodUnit\"(\"GoodCode\",\"UnitCode\",\"Rate\",\"IsAccount\") VALUES "
      "('G1','KG',1,1),('G2','VNT',1,1),('G3','VNT',1,1)");
  THDocument doc(b.context);
  doc.BeginInsert();
  doc.Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  b.doc = doc.EndInsert();
  const std::string doc_id = std::to_string(b.doc);
  c.Execute(
      "INSERT INTO \"B$THGoodSpec\"(\"DocID\",\"PosNumb\",\"GoodCode\",\"UnitCode\",\"Amount\","
      "\"AmountAccount\",\"Price\",\"Summa\",\"CostSumm\") WITH RECURSIVE n(i) AS (SELECT 1 "
      "UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(kRows) + ") SELECT " + doc_id +
      ", i, CASE i % 2 WHEN 0 THEN 'G1' ELSE 'G2' END, CASE i % 2 WHEN 0 THEN 'KG' ELSE 'VNT' "
      "END, 1 + (i % 97) * 0.25, 1 + (i % 97) * 0.25, 0, 0, round(i * 1.37, 2) FROM n");
  c.Execute(
      "INSERT INTO \"B$MMOTHGoodSpec\"(\"DocID\",\"PosNumb\") SELECT \"DocID\", "
      "\"PosNumb\" FROM \"B$THGoodSpec\" WHERE \"DocID\" = " +
      doc_id);
  b.raw = dynamic_cast<qts::db::SqliteConnection&>(c).Handle();
  return b;
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

// Every row of the write-off must have been priced (no cost sum or amount is 0).
void CheckPriced(Book& b) {
  auto s = b.context->Connection().Prepare(
      "SELECT COUNT(*) FROM \"B$THGoodSpec\" WHERE \"Price\" > 0 AND \"DocID\" = " +
      std::to_string(b.doc));
  if (!s->Step() || s->GetInt64(0) != kRows) {
    std::fprintf(stderr, "the write-off was not priced\n");
    std::abort();
  }
}

// The price the engine sets: cost sum / amount as Currency (to even), then four places.
double Price(double cost, double amount) {
  if (amount == 0) return 0;
  return qts::Currency::FromDouble(cost / amount).ToDouble();
}

double RawPricing() {
  Book b = NewBook();
  const auto spec = Columns("THGoodSpec");
  const auto add = Columns("MMOTHGoodSpec");
  const std::string query = "SELECT " + Joined(spec, 0, "s.", "") + ", " +
                            Joined(add, 2, "a.", "") +
                            " FROM \"B$THGoodSpec\" s LEFT JOIN \"B$REFGood\" g ON g.\"Code\" = "
                            "s.\"GoodCode\" INNER JOIN \"B$MMOTHGoodSpec\" a ON s.\"DocID\" = "
                            "a.\"DocID\" AND s.\"PosNumb\" = a.\"PosNumb\" WHERE g.\"Category\" "
                            "= 0 AND s.\"DocID\" = ?1";
  const std::string select = "SELECT " + Joined(spec, 0, "s.", "") +
                             ", d.\"DocTypeCode\" FROM \"B$THGoodSpec\" s JOIN \"B$THDocument\" "
                             "d ON d.\"IDC\" = s.\"DocID\" WHERE s.\"IDC\" = ?1";
  const std::string select_add = "SELECT " + Joined(add, 0, "", "") +
                                 " FROM \"B$MMOTHGoodSpec\" WHERE \"DocID\" = ?1 AND "
                                 "\"PosNumb\" = ?2";
  const std::string update = "UPDATE \"B$THGoodSpec\" SET " + Joined(spec, 1, "", " = ?") +
                             " WHERE \"IDC\" = ?" + std::to_string(spec.size());
  const std::string update_add = "UPDATE \"B$MMOTHGoodSpec\" SET " + Joined(add, 2, "", " = ?") +
                                 " WHERE \"DocID\" = ? AND \"PosNumb\" = ?";
  const int price_col =
      static_cast<int>(std::find(spec.begin(), spec.end(), "Price") - spec.begin());
  const int amount_col =
      static_cast<int>(std::find(spec.begin(), spec.end(), "Amount") - spec.begin());
  const int cost_col =
      static_cast<int>(std::find(spec.begin(), spec.end(), "CostSumm") - spec.begin());
  auto started = Clock::now();
  Check(sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  sqlite3_stmt *q = nullptr, *sel = nullptr, *sel_add = nullptr, *upd = nullptr, *upd_add = nullptr;
  Check(sqlite3_prepare_v2(b.raw, query.c_str(), -1, &q, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, select.c_str(), -1, &sel, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, select_add.c_str(), -1, &sel_add, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, update.c_str(), -1, &upd, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, update_add.c_str(), -1, &upd_add, nullptr), SQLITE_OK, b.raw);
  // The pricing rows, every column read (the engine holds them in its row source).
  struct Row {
    int64_t idc;
    double amount, cost;
  };
  std::vector<Row> rows;
  sqlite3_bind_int64(q, 1, b.doc);
  const int width = sqlite3_column_count(q);
  while (sqlite3_step(q) == SQLITE_ROW) {
    for (int k = 0; k < width; ++k) (void)sqlite3_column_value(q, k);
    rows.push_back({sqlite3_column_int64(q, 0), sqlite3_column_double(q, amount_col),
                    sqlite3_column_double(q, cost_col)});
  }
  const int add_fields = static_cast<int>(add.size()) - 2;
  for (const Row& r : rows) {
    sqlite3_bind_int64(sel, 1, r.idc);
    Check(sqlite3_step(sel), SQLITE_ROW, b.raw);
    const int64_t pos = sqlite3_column_int64(sel, 2);
    for (size_t k = 1; k < spec.size(); ++k) {
      const int col = static_cast<int>(k);
      if (col == price_col) {
        sqlite3_bind_double(upd, col, Price(r.cost, r.amount));
      } else {
        sqlite3_bind_value(upd, col, sqlite3_column_value(sel, col));
      }
    }
    sqlite3_bind_int64(upd, static_cast<int>(spec.size()), r.idc);
    sqlite3_bind_int64(sel_add, 1, b.doc);
    sqlite3_bind_int64(sel_add, 2, pos);
    Check(sqlite3_step(sel_add), SQLITE_ROW, b.raw);
    for (int k = 1; k <= add_fields; ++k) {
      sqlite3_bind_value(upd_add, k, sqlite3_column_value(sel_add, k + 1));
    }
    sqlite3_bind_int64(upd_add, add_fields + 1, b.doc);
    sqlite3_bind_int64(upd_add, add_fields + 2, pos);
    Check(sqlite3_step(upd), SQLITE_DONE, b.raw);
    Check(sqlite3_step(upd_add), SQLITE_DONE, b.raw);
    for (sqlite3_stmt* s : {sel, sel_add, upd, upd_add}) sqlite3_reset(s);
  }
  for (sqlite3_stmt* s : {q, sel, sel_add, upd, upd_add}) sqlite3_finalize(s);
  Check(sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  if (rows.size() != static_cast<size_t>(kRows)) std::abort();
  CheckPriced(b);
  return seconds;
}

double EnginePricing() {
  Book b = NewBook();
  auto doc = std::make_shared<THDocument>(b.context);
  if (!doc->Load(b.doc)) std::abort();
  auto engine = std::make_shared<qts::engine::CMDocSupport>();
  engine->Init("MMO", nullptr, doc);
  auto started = Clock::now();
  engine->SetPriceWriteOff();
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  if (engine->CountStep() != kRows) std::abort();
  CheckPriced(b);
  return seconds;
}

template <double (*Raw)(), double (*System)()>
void Compare(benchmark::State& state) {
  // Progress goes to a scripted operator, not to a terminal.
  qts::host::ScopedOperator quiet(std::make_shared<qts::host::ScriptedOperator>());
  const qts::bench::Totals t = qts::bench::Alternate(state, Raw, System);
  qts::bench::ReportRatio(state, t, "engine");
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK_TEMPLATE(Compare, RawPricing, EnginePricing)
    ->Name("SetPriceWriteOff10k_vs_raw")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
