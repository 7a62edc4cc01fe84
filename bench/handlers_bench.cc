// The write-off handler's row insertion against raw SQLite calls doing the same reads and writes
// in the same run, on the benchmark book (bench_common.h: the large sample book under
// `make bench`): 10,000 InsertSpecRec calls on a new "MMO" document, in one transaction, half of
// them adding to a row the document already has (the same item and unit), over 5,000 item and
// unit pairs of the book's unit list in a fixed shuffled order.
//
// Per call the handler finds the document's row of the item and unit, reads it, writes it back
// with the sum (or adds a row and its additional row), and reads the written row back to report
// the accounting quantity it added. The raw loop ("raw_ms", "ratio") makes those same reads and
// writes with prepared statements: the row search, the unit rate, the row and its additional
// row read, the changed quantities updated (or the next position read and both rows inserted),
// the row and its additional row read back. "raw_minimal_ms" only looks the row up and writes
// it, reading nothing back: the floor under any implementation.
// The handler's extra cost is the host's: the T-SQL condition goes through the translator (its
// shape is cached, its values bound), row values become Variants, and each write runs in a
// savepoint of its own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench_common.h"
#include "core/currency.h"
#include "core/variant.h"
#include "db/transaction.h"
#include "handlers/item_write_off.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/schema/schema.h"

namespace {

using qts::Currency;
using qts::Variant;
using qts::bench::Check;
using qts::bench::Span;
using qts::bench::Stopwatch;
using qts::bench::Table;
using qts::host::AppContext;
using qts::host::Kind;
using qts::host::THDocument;

constexpr size_t kPairs = 5'000;
constexpr const char* kBoper = "BO-1";

int64_t AmountOf(size_t call) { return 10000 + static_cast<int64_t>(call % 97) * 2500; }

struct Calls {
  std::vector<std::pair<std::string, std::string>> pairs;  // good, unit
  std::vector<size_t> order;                               // pair of each call
};

// Each pair comes twice: once new, once merged.
const Calls& TheCalls(AppContext& book) {
  static const Calls calls = [&book] {
    Calls c;
    auto s = book.Connection().Prepare(
        "SELECT \"GoodCode\", \"UnitCode\" FROM " + Table(book, "REFGoodUnit") +
        " ORDER BY \"GoodCode\", \"UnitCode\" LIMIT " + std::to_string(kPairs));
    while (s->Step()) c.pairs.emplace_back(s->GetText(0), s->GetText(1));
    for (size_t i = 0; i < 2 * c.pairs.size(); ++i) c.order.push_back(i % c.pairs.size());
    std::shuffle(c.order.begin(), c.order.end(), std::mt19937(42));
    return c;
  }();
  return calls;
}

// A new write-off of the book, made inside the run's transaction.
std::shared_ptr<THDocument> NewWriteOff(const std::shared_ptr<AppContext>& book) {
  auto doc = std::make_shared<THDocument>(book);
  doc->Fields().Item("DocTypeCode").SetValue(Variant("MMO"));
  doc->InitNew();
  doc->BeginInsert();
  doc->EndInsert();
  return doc;
}

Span HandlerInsert() {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  const Calls& calls = TheCalls(*book);
  qts::db::Transaction run(book->Connection());  // rolled back: the book stays as it was
  std::shared_ptr<THDocument> doc = NewWriteOff(book);
  auto handler = std::make_shared<qts::handlers::CItemWriteOff>();
  handler->Init(doc);
  handler->SetDefaultBoper(kBoper);
  auto row = std::make_shared<qts::host::NamedValueList>();
  row->Add("GoodCode", Kind::kCode);
  row->Add("UnitCode", Kind::kCode);
  row->Add("Amount", Kind::kQuantity);
  row->Add("AmountAccount", Kind::kQuantity);
  const Stopwatch watch;
  for (size_t i = 0; i < calls.order.size(); ++i) {
    const auto& [good, unit] = calls.pairs[calls.order[i]];
    row->Item("GoodCode").SetValue(Variant(good));
    row->Item("UnitCode").SetValue(Variant(unit));
    row->Item("Amount").SetValue(Variant(Currency::FromScaled(AmountOf(i))));
    row->Item("AmountAccount").SetValue(Variant(Currency()));
    if (handler->InsertSpecRec(row) == 0) std::abort();
  }
  return watch.Elapsed();
}

std::vector<std::string> Columns(const char* table) {
  std::vector<std::string> names;
  for (const auto& c : qts::host::schema::FindSourceDef(table)->columns) names.push_back(c.name);
  return names;
}

std::string Joined(const std::vector<std::string>& names, const char* prefix) {
  std::string out;
  for (const std::string& name : names) {
    if (!out.empty()) out += ", ";
    out += std::string(prefix) + "\"" + name + "\"";
  }
  return out;
}

void ReadColumns(sqlite3_stmt* s) {
  const int n = sqlite3_column_count(s);
  for (int k = 0; k < n; ++k) benchmark::DoNotOptimize(sqlite3_column_value(s, k));
}

// `full`: the same reads and writes as the handler; otherwise the minimal lookup and write.
Span RawInsert(bool full) {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  const Calls& calls = TheCalls(*book);
  sqlite3* db = qts::bench::RawHandle(*book);
  qts::db::Transaction run(book->Connection());  // rolled back: the book stays as it was
  const int64_t doc_id = NewWriteOff(book)->Fields().Item("IDC").Value().AsLong();
  const std::string spec = Table(*book, "THGoodSpec");
  const std::string add = Table(*book, "MMOTHGoodSpec");
  const std::string find = "SELECT \"IDC\", \"Amount\" FROM " + spec +
                           " WHERE \"DocID\" = ?1 AND \"GoodCode\" = ?2 AND \"UnitCode\" = ?3 "
                           "ORDER BY +\"DocID\", +\"PosNumb\" LIMIT 1";
  const std::string rate_sql = "SELECT \"Rate\" FROM " + Table(*book, "REFGoodUnit") +
                               " WHERE \"GoodCode\" = ?1 AND \"UnitCode\" = ?2";
  const std::string read = "SELECT " + Joined(Columns("THGoodSpec"), "s.") +
                           ", d.\"DocTypeCode\" FROM " + spec + " s JOIN " +
                           Table(*book, "THDocument") +
                           " d ON d.\"IDC\" = s.\"DocID\" WHERE s.\"IDC\" = ?1";
  const std::string read_add = "SELECT " + Joined(Columns("MMOTHGoodSpec"), "") + " FROM " + add +
                               " WHERE \"DocID\" = ?1 AND \"PosNumb\" = ?2";
  const std::string update = "UPDATE " + spec +
                             " SET \"Amount\" = ?1, \"AmountAccount\" = ?2 WHERE \"IDC\" = ?3 "
                             "AND \"DocID\" = ?4";
  const std::string next_pos =
      "SELECT COALESCE(MAX(\"PosNumb\"), 0) + 1 FROM " + spec + " WHERE \"DocID\" = ?1";
  const std::string insert = "INSERT INTO " + spec +
                             "(\"DocID\", \"PosNumb\", \"GoodCode\", \"UnitCode\", \"Amount\","
                             " \"AmountAccount\", \"LotPropertyID\", \"BOperCode\")"
                             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, 0, ?7)";
  const std::string insert_add = "INSERT INTO " + add + "(\"DocID\", \"PosNumb\") VALUES (?1, ?2)";
  sqlite3_stmt *sel = nullptr, *rate = nullptr, *row = nullptr, *row_add = nullptr, *upd = nullptr,
               *pos = nullptr, *ins = nullptr, *ins_add = nullptr;
  const Stopwatch watch;
  for (auto [stmt, sql] : {std::pair{&sel, &find},
                           {&rate, &rate_sql},
                           {&row, &read},
                           {&row_add, &read_add},
                           {&upd, &update},
                           {&pos, &next_pos},
                           {&ins, &insert},
                           {&ins_add, &insert_add}}) {
    Check(sqlite3_prepare_v2(db, sql->c_str(), -1, stmt, nullptr), SQLITE_OK, db);
  }
  // The row and its additional row, every column read (MoveToID).
  auto read_row = [&](int64_t idc) {
    sqlite3_bind_int64(row, 1, idc);
    Check(sqlite3_step(row), SQLITE_ROW, db);
    ReadColumns(row);
    sqlite3_bind_int64(row_add, 1, doc_id);
    sqlite3_bind_int64(row_add, 2, sqlite3_column_int64(row, 2));
    Check(sqlite3_step(row_add), SQLITE_ROW, db);
    ReadColumns(row_add);
    sqlite3_reset(row_add);
    sqlite3_reset(row);
  };
  for (size_t i = 0; i < calls.order.size(); ++i) {
    const auto& [good, unit] = calls.pairs[calls.order[i]];
    // Money is kept in ten-thousandths.
    const int64_t amount = AmountOf(i);
    sqlite3_bind_text(rate, 1, good.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(rate, 2, unit.c_str(), -1, SQLITE_STATIC);
    const double r = sqlite3_step(rate) == SQLITE_ROW ? sqlite3_column_int64(rate, 0) / 10000.0 : 1;
    sqlite3_reset(rate);
    sqlite3_bind_int64(sel, 1, doc_id);
    sqlite3_bind_text(sel, 2, good.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(sel, 3, unit.c_str(), -1, SQLITE_STATIC);
    int64_t idc = 0;
    if (sqlite3_step(sel) == SQLITE_ROW) {
      idc = sqlite3_column_int64(sel, 0);
      // To three places.
      const int64_t merged =
          std::llround(static_cast<double>(sqlite3_column_int64(sel, 1) + amount) / 10) * 10;
      sqlite3_reset(sel);
      if (full) read_row(idc);
      sqlite3_bind_int64(upd, 1, merged);
      sqlite3_bind_int64(upd, 2, std::llround(static_cast<double>(merged) * r));
      sqlite3_bind_int64(upd, 3, idc);
      sqlite3_bind_int64(upd, 4, doc_id);
      Check(sqlite3_step(upd), SQLITE_DONE, db);
      sqlite3_reset(upd);
    } else {
      sqlite3_reset(sel);
      sqlite3_bind_int64(pos, 1, doc_id);
      Check(sqlite3_step(pos), SQLITE_ROW, db);
      const int64_t p = sqlite3_column_int64(pos, 0);
      sqlite3_reset(pos);
      sqlite3_bind_int64(ins, 1, doc_id);
      sqlite3_bind_int64(ins, 2, p);
      sqlite3_bind_text(ins, 3, good.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(ins, 4, unit.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_int64(ins, 5, amount);
      sqlite3_bind_int64(ins, 6, std::llround(static_cast<double>(amount) * r));
      sqlite3_bind_text(ins, 7, kBoper, -1, SQLITE_STATIC);
      Check(sqlite3_step(ins), SQLITE_DONE, db);
      sqlite3_reset(ins);
      idc = sqlite3_last_insert_rowid(db);
      sqlite3_bind_int64(ins_add, 1, doc_id);
      sqlite3_bind_int64(ins_add, 2, p);
      Check(sqlite3_step(ins_add), SQLITE_DONE, db);
      sqlite3_reset(ins_add);
    }
    if (full) read_row(idc);
  }
  for (sqlite3_stmt* s : {sel, rate, row, row_add, upd, pos, ins, ins_add}) sqlite3_finalize(s);
  return watch.Elapsed();
}

void InsertSpecRec10k(benchmark::State& state) {
  state.SetLabel(qts::bench::SampleBookName());
  double minimal = 0;
  const qts::bench::Totals t = qts::bench::Alternate(
      state, [] { return RawInsert(true); },
      [&minimal] {
        minimal += RawInsert(false).wall;
        return HandlerInsert();
      });
  qts::bench::ReportRatio(state, t, "handler");
  state.counters["raw_minimal_ms"] = minimal * 1000 / static_cast<double>(t.rounds);
  state.counters["ratio_vs_minimal"] = t.system / minimal;
  state.SetItemsProcessed(state.iterations() *
                          static_cast<int64_t>(TheCalls(*qts::bench::SampleBook()).order.size()));
}

BENCHMARK(InsertSpecRec10k)
    ->Name("InsertSpecRec10kHalfMerged_vs_raw")
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
