// The write-off handler's row insertion against raw SQLite calls doing the same database work
// in the same run, on books with the real schema: 10,000 InsertSpecRec calls on one "MMO"
// document in one transaction, half of them adding to a row the document already has (the
// same item and unit), in a fixed shuffled order. The raw loop does per call what the
// insertion needs from the database: look up the document's row of the item and unit; for a
// merge, look up the unit rate and update the row's quantities; otherwise look up the rate and
// the next position and insert the row and its additional row.
// The ratio (handler time / raw time) is what the handler and the host's row objects cost over
// the physical limit: the handler finds the row through a T-SQL condition (translated per
// call), reads the written row back to report the accounting quantity it added, and each write
// runs in a savepoint of its own.
// The host's row search orders by position, so SQLite walks the document's rows per lookup (the
// (DocID, PosNumb) index serves the order); "ratio" compares with a raw loop that searches the
// same way. "ratio_vs_indexed" compares with a raw loop whose lookup uses the GoodCode index
// instead, to show what that search order costs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/currency.h"
#include "core/variant.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "handlers/item_write_off.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"

namespace {

using qts::Currency;
using qts::Variant;
using qts::host::AppContext;
using qts::host::THDocument;
using Clock = std::chrono::steady_clock;

constexpr int kCalls = 10'000;
constexpr int kItems = kCalls / 2;  // each item and unit comes twice: once new, once merged
constexpr const char* kCode = "B";
constexpr const char* kBoper = "BO-1";

void Check(int code, int expected, sqlite3* db) {
  if (code != expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

std::string GoodOf(int item) {
  char code[16];
  std::snprintf(code, sizeof code, "G%04d", item);
  return code;
}
const char* UnitOf(int item) { return item % 2 == 0 ? "KG" : "T"; }
int64_t AmountOf(int call) { return 10000 + (call % 97) * 2500; }  // scaled: 1 + 0.25 k

// The items of the calls, in a fixed shuffled order.
const std::vector<int>& CallItems() {
  static const std::vector<int> items = [] {
    std::vector<int> v;
    for (int i = 0; i < kCalls; ++i) v.push_back(i % kItems);
    std::shuffle(v.begin(), v.end(), std::mt19937(42));
    return v;
  }();
  return items;
}

struct Book {
  std::shared_ptr<AppContext> context;
  std::shared_ptr<THDocument> doc;
  int32_t doc_id = 0;
  sqlite3* raw = nullptr;
};

Book NewBook() {
  Book b;
  b.context = AppContext::CreateBook(":memory:", kCode);
  auto& c = b.context->Connection();
  {
    qts::db::Transaction transaction(c);
    for (int item = 0; item < kItems; ++item) {
      const std::string good = GoodOf(item);
      c.Execute("INSERT INTO \"B$REFGood\"(\"Code\",\"Name\") VALUES (?1, ?1)", {good});
      c.Execute(
          "INSERT INTO \"B$REFGoodUnit\"(\"GoodCode\",\"UnitCode\",\"Rate\",\"IsAccount\") "
          "VALUES (?1, 'KG', 1, 1), (?1, 'T', 1000, 0)",
          {good});
    }
    transaction.Commit();
  }
  b.doc = std::make_shared<THDocument>(b.context);
  b.doc->Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  b.doc->InitNew();
  b.doc->BeginInsert();
  b.doc_id = b.doc->EndInsert();
  b.raw = dynamic_cast<qts::db::SqliteConnection&>(c).Handle();
  return b;
}

double HandlerInsert() {
  Book b = NewBook();
  auto handler = std::make_shared<qts::handlers::CItemWriteOff>();
  handler->Init(b.doc);
  handler->SetDefaultBoper(kBoper);
  auto row = std::make_shared<qts::host::NamedValueList>();
  row->Add("GoodCode", 7);
  row->Add("UnitCode", 7);
  row->Add("Amount", 20);
  row->Add("AmountAccount", 20);
  const std::vector<int>& items = CallItems();
  auto started = Clock::now();
  {
    qts::db::Transaction transaction(b.context->Connection());
    for (int i = 0; i < kCalls; ++i) {
      row->Item("GoodCode").SetValue(Variant(GoodOf(items[i])));
      row->Item("UnitCode").SetValue(Variant(UnitOf(items[i])));
      row->Item("Amount").SetValue(Variant(Currency::FromScaled(AmountOf(i))));
      row->Item("AmountAccount").SetValue(Variant(Currency()));
      if (handler->InsertSpecRec(row) == 0) std::abort();
    }
    transaction.Commit();
  }
  return std::chrono::duration<double>(Clock::now() - started).count();
}

// `ordered`: the lookup takes the first matching row by position, as the host's row search
// does; SQLite then walks the document's rows through the (DocID, PosNumb) index. Without it
// the lookup goes through the GoodCode index: the limit for a lookup that need not order.
double RawInsert(bool ordered) {
  Book b = NewBook();
  const std::string spec = "\"B$THGoodSpec\"";
  const std::string find = "SELECT \"IDC\", \"Amount\" FROM " + spec +
                           " WHERE \"DocID\" = ?1 AND \"GoodCode\" = ?2 AND \"UnitCode\" = ?3" +
                           (ordered ? " ORDER BY \"DocID\", \"PosNumb\" LIMIT 1" : " LIMIT 1");
  const char* rate_sql =
      "SELECT \"Rate\" FROM \"B$REFGoodUnit\" WHERE \"GoodCode\" = ?1 AND \"UnitCode\" = ?2";
  const std::string update =
      "UPDATE " + spec + " SET \"Amount\" = ?1, \"AmountAccount\" = ?2 WHERE \"IDC\" = ?3";
  const std::string next_pos =
      "SELECT COALESCE(MAX(\"PosNumb\"), 0) + 1 FROM " + spec + " WHERE \"DocID\" = ?1";
  const std::string insert = "INSERT INTO " + spec +
                             "(\"DocID\", \"PosNumb\", \"GoodCode\", \"UnitCode\", \"Amount\","
                             " \"AmountAccount\", \"LotPropertyID\", \"BOperCode\")"
                             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, 0, ?7)";
  const char* insert_add =
      "INSERT INTO \"B$MMOTHGoodSpec\"(\"DocID\", \"PosNumb\") VALUES (?1, ?2)";
  const std::vector<int>& items = CallItems();
  auto started = Clock::now();
  Check(sqlite3_exec(b.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  sqlite3_stmt *sel = nullptr, *rate = nullptr, *upd = nullptr, *pos = nullptr, *ins = nullptr,
               *add = nullptr;
  Check(sqlite3_prepare_v2(b.raw, find.c_str(), -1, &sel, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, rate_sql, -1, &rate, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, update.c_str(), -1, &upd, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, next_pos.c_str(), -1, &pos, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, insert.c_str(), -1, &ins, nullptr), SQLITE_OK, b.raw);
  Check(sqlite3_prepare_v2(b.raw, insert_add, -1, &add, nullptr), SQLITE_OK, b.raw);
  for (int i = 0; i < kCalls; ++i) {
    const std::string good = GoodOf(items[i]);
    const char* unit = UnitOf(items[i]);
    const double amount = static_cast<double>(AmountOf(i)) / 10000.0;
    sqlite3_bind_text(rate, 1, good.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(rate, 2, unit, -1, SQLITE_STATIC);
    const double r = sqlite3_step(rate) == SQLITE_ROW ? sqlite3_column_double(rate, 0) : 1;
    sqlite3_reset(rate);
    sqlite3_bind_int64(sel, 1, b.doc_id);
    sqlite3_bind_text(sel, 2, good.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(sel, 3, unit, -1, SQLITE_STATIC);
    if (sqlite3_step(sel) == SQLITE_ROW) {
      const int64_t idc = sqlite3_column_int64(sel, 0);
      const double merged = std::round((sqlite3_column_double(sel, 1) + amount) * 1000) / 1000;
      sqlite3_reset(sel);
      sqlite3_bind_double(upd, 1, merged);
      sqlite3_bind_double(upd, 2, merged * r);
      sqlite3_bind_int64(upd, 3, idc);
      Check(sqlite3_step(upd), SQLITE_DONE, b.raw);
      sqlite3_reset(upd);
    } else {
      sqlite3_reset(sel);
      sqlite3_bind_int64(pos, 1, b.doc_id);
      Check(sqlite3_step(pos), SQLITE_ROW, b.raw);
      const int64_t p = sqlite3_column_int64(pos, 0);
      sqlite3_reset(pos);
      sqlite3_bind_int64(ins, 1, b.doc_id);
      sqlite3_bind_int64(ins, 2, p);
      sqlite3_bind_text(ins, 3, good.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(ins, 4, unit, -1, SQLITE_STATIC);
      sqlite3_bind_double(ins, 5, amount);
      sqlite3_bind_double(ins, 6, amount * r);
      sqlite3_bind_text(ins, 7, kBoper, -1, SQLITE_STATIC);
      Check(sqlite3_step(ins), SQLITE_DONE, b.raw);
      sqlite3_reset(ins);
      sqlite3_bind_int64(add, 1, b.doc_id);
      sqlite3_bind_int64(add, 2, p);
      Check(sqlite3_step(add), SQLITE_DONE, b.raw);
      sqlite3_reset(add);
    }
  }
  for (sqlite3_stmt* s : {sel, rate, upd, pos, ins, add}) sqlite3_finalize(s);
  Check(sqlite3_exec(b.raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, b.raw);
  return std::chrono::duration<double>(Clock::now() - started).count();
}

void InsertSpecRec10k(benchmark::State& state) {
  double raw_total = 0;
  double indexed_total = 0;
  double handler_total = 0;
  int64_t round = 0;
  for (auto _ : state) {
    // Alternate the order so neither side always runs on a warmer cache.
    double raw = 0;
    double handler = 0;
    if (round++ % 2 == 0) {
      raw = RawInsert(true);
      handler = HandlerInsert();
    } else {
      handler = HandlerInsert();
      raw = RawInsert(true);
    }
    indexed_total += RawInsert(false);
    raw_total += raw;
    handler_total += handler;
    state.SetIterationTime(handler);
  }
  const double rounds = static_cast<double>(round);
  state.counters["raw_ms"] = raw_total * 1000 / rounds;
  state.counters["raw_indexed_ms"] = indexed_total * 1000 / rounds;
  state.counters["handler_ms"] = handler_total * 1000 / rounds;
  state.counters["ratio"] = handler_total / raw_total;
  state.counters["ratio_vs_indexed"] = handler_total / indexed_total;
  state.SetItemsProcessed(state.iterations() * kCalls);
}

BENCHMARK(InsertSpecRec10k)
    ->Name("InsertSpecRec10kHalfMerged_vs_raw")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
