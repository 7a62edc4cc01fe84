// The fuel write-off against raw SQLite calls doing the same database work in the same run.
//
// The book: one vehicle whose fuel lot has 10,000 receipt rows (one posted purchase document in
// the fuel store), and its waybill. The write-off takes 90 % of that fuel, spread over the rest
// rows oldest first; the rest on the period's start is the source list (one step per receipt
// row, each linked directly). It writes one merged row per good and one fix-log link per
// portion, and shows the document dialog at the end (confirmed by a scripted operator).
//
// The raw side does what the write-off must do in the book, with prepared statements in one
// transaction: read the rests (receipts with their free quantity, oldest first), insert the
// write-off document and its row, then per portion update the row's quantity and insert the
// link. The ratio (write-off time / raw time) is what the component's row-at-a-time work over
// the host's lists costs over the physical limit. Counters: the times, the rows and links
// written.
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

#include "core/currency.h"
#include "core/date.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "handlers/fuel_write_off.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/services/user_defaults.h"
#include "host/services/vehicle.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"

namespace {

using qts::Currency;
using qts::Date;
using qts::Variant;
using qts::host::AppContext;
using Clock = std::chrono::steady_clock;

constexpr int kRestRows = 10'000;
constexpr const char* kCode = "B";
constexpr int32_t kReceipt = 1;
constexpr int32_t kWaybill = 2;

void Check(int code, int expected, sqlite3* db) {
  if (code != expected) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

// Receipt row i holds 10 + (i % 7) litres plus a fraction.
double ReceiptAmount(int i) { return 10 + (i % 7) + (i % 4) * 0.25; }

double TotalReceipts() {
  double total = 0;
  for (int i = 1; i <= kRestRows; ++i) total += ReceiptAmount(i);
  return total;
}

struct Book {
  std::shared_ptr<AppContext> context;
  sqlite3* raw = nullptr;
};

Book NewBook() {
  Book b;
  b.context = AppContext::CreateBook(":memory:", kCode);
  auto& c = b.context->Connection();
  qts::db::Transaction t(c);
  c.Execute(
      "INSERT INTO \"B$REFGood\"(\"Code\",\"Name\",\"SubCategory\",\"TrackingOff\","
      "\"TrackingKind\") VALUES ('F1','Dyzelinas',100,0,100)");
  c.Execute(
      "INSERT INTO \"B$REFGoodUnit\"(\"GoodCode\",\"UnitCode\",\"Rate\",\"IsAccount\") VALUES "
      "('F1','L',1,1)");
  c.Execute(
      "INSERT INTO \"B$STStore\"(\"Code\",\"Name\",\"StoreKind\") VALUES ('KS','Kuras','ABKR')");
  c.Execute("INSERT INTO \"B$STLotProperty\"(\"IDC\",\"GoodCode\",\"Name\") VALUES (7,'F1','V1')");
  c.Execute(
      "INSERT INTO \"B$REFVehicle\"(\"Code\",\"Name\",\"LotPropertyID\",\"StoreCode\") VALUES "
      "('V1','Volvo',7,'KS')");
  c.Execute(
      "INSERT INTO \"B$THDocument\"(\"IDC\",\"DocTypeCode\",\"Number\",\"DocumentDate\","
      "\"StoreCode\",\"IsPosted\",\"CurrencyCode\") VALUES "
      "(1,'PISF','P1','2026-11-02','KS',1,'EUR'),(2,'TKL','T1','2026-12-31','KS',0,'EUR')");
  c.Execute(
      "INSERT INTO \"B$TKLTHDocument\"(\"DocID\",\"VehicleCode\",\"BegPeriod\",\"EndPeriod\") "
      "VALUES (2,'V1','2026-12-01','2026-12-31')");
  auto row = c.Prepare(
      "INSERT INTO \"B$THGoodSpec\"(\"DocID\",\"PosNumb\",\"GoodCode\",\"UnitCode\",\"Amount\","
      "\"AmountAccount\",\"Price\",\"Summa\",\"CostSumm\",\"LotPropertyID\") VALUES "
      "(1,?1,'F1','L',?2,?2,1.5,?3,?3,7)");
  for (int i = 1; i <= kRestRows; ++i) {
    row->BindInt64(1, i);
    row->BindDouble(2, ReceiptAmount(i));
    row->BindDouble(3, ReceiptAmount(i) * 1.5);
    (void)row->Step();
    row->Reset();
  }
  t.Commit();
  qts::host::UserDefaults defaults;
  defaults.Init(b.context);
  defaults.SetDefaultStore("", "KS");
  b.raw = dynamic_cast<qts::db::SqliteConnection&>(c).Handle();
  return b;
}

Currency Quantity() { return qts::RoundCy(Currency::FromDouble(TotalReceipts() * 0.9), 2); }

// The rest on the period's start, as the host hands it to the write-off.
qts::host::QueryPtr RestOnDate(const std::shared_ptr<AppContext>& book) {
  qts::host::Vehicle vehicle;
  vehicle.Init(book);
  vehicle.Load("V1");
  qts::host::QueryPtr income = vehicle.IncomeSince(Date::FromYmd(2000, 1, 1), kWaybill);
  qts::host::QueryPtr q = book->CreateQuery("");
  q->FromQuery(income, "i");
  q->Fields().KeepOnly({"DocumentDate", "GoodCode", "SubCategory", "SpecID"});
  q->Fields().AddColumn("AmountAccount", 20, "i.RestAmount");
  q->AddWhere("i.RestAmount > 0");
  q->OrderBy("i.DocumentDate, i.SpecID");
  q->Open();
  return q;
}

struct Result {
  double seconds = 0;
  int64_t rows = 0;
  int64_t links = 0;
};

int64_t Count(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  Check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), SQLITE_OK, db);
  Check(sqlite3_step(s), SQLITE_ROW, db);
  const int64_t n = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  return n;
}

Result Written(sqlite3* db, double seconds) {
  return {seconds,
          Count(db,
                "SELECT COUNT(*) FROM \"B$THGoodSpec\" s JOIN \"B$THDocument\" d ON "
                "d.\"IDC\" = s.\"DocID\" WHERE d.\"DocTypeCode\" = 'MMO'"),
          Count(db, "SELECT COUNT(*) FROM \"B$THGoodSpecFixLog\"")};
}

Result System() {
  Book b = NewBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  op->AnswerForm({"frmDocument", true, {}});
  auto parent = std::make_shared<qts::host::THDocument>(b.context);
  parent->Load(kWaybill);
  qts::host::QueryPtr rest_list = RestOnDate(b.context);
  qts::host::QueryPtr in_list = RestOnDate(b.context);
  in_list->AddResultFilter("SpecID = 0");
  auto started = Clock::now();
  auto fuel = std::make_shared<qts::handlers::CFuelWriteOff>();
  fuel->Init(parent);
  fuel->WriteOff("V1", Quantity(), Currency(), in_list, rest_list);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  return Written(b.raw, seconds);
}

Result Raw() {
  Book b = NewBook();
  sqlite3* db = b.raw;
  auto started = Clock::now();
  Check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK, db);
  sqlite3_stmt *rests = nullptr, *doc = nullptr, *row = nullptr, *grow = nullptr, *link = nullptr;
  Check(sqlite3_prepare_v2(
            db,
            "SELECT s.\"IDC\", s.\"AmountAccount\" - COALESCE((SELECT SUM(l.\"Amount\") FROM "
            "\"B$THGoodSpecFixLog\" l WHERE l.\"IncomeSpecID\" = s.\"IDC\"), 0) FROM "
            "\"B$THGoodSpec\" s JOIN \"B$THDocument\" d ON d.\"IDC\" = s.\"DocID\" WHERE "
            "d.\"IsPosted\" = 1 AND s.\"LotPropertyID\" = 7 ORDER BY d.\"DocumentDate\", s.\"IDC\"",
            -1, &rests, nullptr),
        SQLITE_OK, db);
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO \"B$THDocument\"(\"DocTypeCode\",\"Number\",\"ParentID\","
                           "\"DocumentDate\",\"StoreCode\",\"IsPosted\",\"CurrencyCode\") VALUES "
                           "('MMO','1',2,'2026-12-31','KS',0,'EUR')",
                           -1, &doc, nullptr),
        SQLITE_OK, db);
  Check(sqlite3_step(doc), SQLITE_DONE, db);
  const int64_t doc_id = sqlite3_last_insert_rowid(db);
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO \"B$THGoodSpec\"(\"DocID\",\"PosNumb\",\"GoodCode\","
                           "\"UnitCode\",\"Amount\",\"AmountAccount\",\"LotPropertyID\") VALUES "
                           "(?1,1,'F1','L',0,0,7)",
                           -1, &row, nullptr),
        SQLITE_OK, db);
  sqlite3_bind_int64(row, 1, doc_id);
  Check(sqlite3_step(row), SQLITE_DONE, db);
  const int64_t row_id = sqlite3_last_insert_rowid(db);
  Check(sqlite3_prepare_v2(db,
                           "UPDATE \"B$THGoodSpec\" SET \"Amount\" = \"Amount\" + ?1,"
                           " \"AmountAccount\" = \"AmountAccount\" + ?1 WHERE \"IDC\" = ?2",
                           -1, &grow, nullptr),
        SQLITE_OK, db);
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO \"B$THGoodSpecFixLog\"(\"GoodCode\",\"OutcomeSpecID\","
                           "\"IncomeSpecID\",\"Amount\",\"Type\") VALUES ('F1',?1,?2,?3,5)",
                           -1, &link, nullptr),
        SQLITE_OK, db);
  int64_t remaining = Quantity().Scaled();
  while (remaining > 0 && sqlite3_step(rests) == SQLITE_ROW) {
    const int64_t free = std::llround(sqlite3_column_double(rests, 1) * 10000);
    const int64_t portion = std::min(free, remaining);
    if (portion <= 0) continue;
    remaining -= portion;
    sqlite3_bind_double(grow, 1, static_cast<double>(portion) / 10000);
    sqlite3_bind_int64(grow, 2, row_id);
    Check(sqlite3_step(grow), SQLITE_DONE, db);
    sqlite3_reset(grow);
    sqlite3_bind_int64(link, 1, row_id);
    sqlite3_bind_int64(link, 2, sqlite3_column_int64(rests, 0));
    sqlite3_bind_double(link, 3, static_cast<double>(portion) / 10000);
    Check(sqlite3_step(link), SQLITE_DONE, db);
    sqlite3_reset(link);
  }
  for (sqlite3_stmt* s : {rests, doc, row, grow, link}) sqlite3_finalize(s);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, db);
  return Written(db, std::chrono::duration<double>(Clock::now() - started).count());
}

void FuelWriteOff10kRests(benchmark::State& state) {
  double raw_total = 0;
  double system_total = 0;
  int64_t round = 0;
  Result system;
  Result raw;
  for (auto _ : state) {
    // Alternate the order so neither side always runs on a warmer cache.
    if (round++ % 2 == 0) {
      raw = Raw();
      system = System();
    } else {
      system = System();
      raw = Raw();
    }
    if (system.rows != raw.rows || system.links != raw.links) {
      state.SkipWithError("the write-off and the raw loop wrote different rows");
      return;
    }
    raw_total += raw.seconds;
    system_total += system.seconds;
    state.SetIterationTime(system.seconds);
  }
  state.counters["raw_ms"] = raw_total * 1000 / static_cast<double>(round);
  state.counters["write_off_ms"] = system_total * 1000 / static_cast<double>(round);
  state.counters["ratio"] = system_total / raw_total;
  state.counters["rows_written"] = static_cast<double>(system.rows);
  state.counters["links_written"] = static_cast<double>(system.links);
}

BENCHMARK(FuelWriteOff10kRests)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
