// The fuel write-off against raw SQLite calls doing the same database work in the same run, on
// the benchmark book (bench_common.h: the large sample book under `make bench`).
//
// Inside the run's transaction (rolled back after it) the book gets one more vehicle whose fuel
// lot has 10,000 receipt rows (one posted purchase document in a fuel store of its own), and
// its waybill. The write-off takes 90 % of that fuel, spread over the rest rows oldest first;
// the rest on the period's start is the source list (one step per receipt row, each linked
// directly). It writes one merged row per good and one fix-log link per portion, and shows the
// document dialog at the end (confirmed by a scripted operator).
//
// The raw side does what the write-off must do in the book, with prepared statements: read the
// rests (receipts with their free quantity, oldest first), insert the write-off document and
// its row, then per portion update the row's quantity and insert the link. The ratio
// (write-off time / raw time) is what the component's row-at-a-time work over the host's lists
// costs over the physical limit. Counters: the times, the rows and links written.
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

#include "bench_common.h"
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
using qts::bench::Check;
using qts::bench::Clock;
using qts::bench::SecondsSince;
using qts::bench::Table;
using qts::host::AppContext;
using qts::host::Kind;

constexpr int kRestRows = 10'000;
// Codes the sample company does not use.
constexpr const char* kGood = "BENCH-F1";
constexpr const char* kStore = "BENCHKS";
constexpr const char* kVehicle = "BENCH-V1";

// Receipt row i holds 10 + (i % 7) litres plus a fraction.
double ReceiptAmount(int i) { return 10 + (i % 7) + (i % 4) * 0.25; }

double TotalReceipts() {
  double total = 0;
  for (int i = 1; i <= kRestRows; ++i) total += ReceiptAmount(i);
  return total;
}

struct Fleet {
  int64_t lot = 0;
  int64_t receipt = 0;
  int64_t waybill = 0;
};

// The vehicle, its fuel, store and lot, the receipt of kRestRows rows and the waybill, added
// inside the caller's transaction.
Fleet AddFleet(AppContext& book) {
  qts::db::Connection& c = book.Connection();
  Fleet f;
  c.Execute("INSERT INTO " + Table(book, "REFGood") +
                "(\"Code\",\"Name\",\"SubCategory\",\"TrackingOff\",\"TrackingKind\") VALUES "
                "(?1,'Dyzelinas',100,0,100)",
            {kGood});
  c.Execute("INSERT INTO " + Table(book, "REFGoodUnit") +
                "(\"GoodCode\",\"UnitCode\",\"Rate\",\"IsAccount\") VALUES (?1,'L',1,1)",
            {kGood});
  c.Execute("INSERT INTO " + Table(book, "STStore") +
                "(\"Code\",\"Name\",\"StoreKind\") VALUES (?1,'Kuras','ABKR')",
            {kStore});
  c.Execute("INSERT INTO " + Table(book, "STLotProperty") +
                "(\"GoodCode\",\"Name\") VALUES (?1,'Bench lot')",
            {kGood});
  f.lot = c.LastInsertId();
  c.Execute("INSERT INTO " + Table(book, "REFVehicle") +
                "(\"Code\",\"Name\",\"LotPropertyID\",\"StoreCode\") VALUES (?1,'Volvo',?2,?3)",
            {kVehicle, f.lot, kStore});
  c.Execute("INSERT INTO " + Table(book, "THDocument") +
                "(\"DocTypeCode\",\"Number\",\"DocumentDate\",\"StoreCode\",\"IsPosted\","
                "\"CurrencyCode\") VALUES ('PISF','BENCH-P1','2026-11-02',?1,1,'EUR')",
            {kStore});
  f.receipt = c.LastInsertId();
  c.Execute("INSERT INTO " + Table(book, "THDocument") +
                "(\"DocTypeCode\",\"Number\",\"DocumentDate\",\"StoreCode\",\"IsPosted\","
                "\"CurrencyCode\") VALUES ('TKL','BENCH-T1','2026-12-31',?1,0,'EUR')",
            {kStore});
  f.waybill = c.LastInsertId();
  c.Execute("INSERT INTO " + Table(book, "TKLTHDocument") +
                "(\"DocID\",\"VehicleCode\",\"BegPeriod\",\"EndPeriod\") VALUES "
                "(?1,?2,'2026-12-01','2026-12-31')",
            {f.waybill, kVehicle});
  auto row = c.Prepare("INSERT INTO " + Table(book, "THGoodSpec") +
                       "(\"DocID\",\"PosNumb\",\"GoodCode\",\"UnitCode\",\"Amount\","
                       "\"AmountAccount\",\"Price\",\"Summa\",\"CostSumm\",\"LotPropertyID\") "
                       "VALUES (?1,?2,?3,'L',?4,?4,?7,?5,?5,?6)");
  for (int i = 1; i <= kRestRows; ++i) {
    row->Bind(1, qts::db::Value(f.receipt));
    row->BindInt64(2, i);
    row->Bind(3, qts::db::Value(kGood));
    row->BindCurrency(4, qts::Currency::FromDouble(ReceiptAmount(i)));
    row->BindCurrency(5, qts::Currency::FromDouble(ReceiptAmount(i) * 1.5));
    row->Bind(6, qts::db::Value(f.lot));
    row->BindCurrency(7, qts::Currency::FromScaled(15000));
    (void)row->Step();
    row->Reset();
  }
  qts::host::UserDefaults defaults;
  defaults.Init(qts::bench::SampleBook());
  defaults.SetDefaultStore("", kStore);
  return f;
}

Currency Quantity() { return qts::RoundCy(Currency::FromDouble(TotalReceipts() * 0.9), 2); }

// The rest on the period's start, as the host hands it to the write-off.
qts::host::QueryPtr RestOnDate(const std::shared_ptr<AppContext>& book, int64_t waybill) {
  qts::host::Vehicle vehicle;
  vehicle.Init(book);
  vehicle.Load(kVehicle);
  qts::host::QueryPtr income =
      vehicle.IncomeSince(Date::FromYmd(2000, 1, 1), static_cast<int32_t>(waybill));
  qts::host::QueryPtr q = book->CreateQuery("");
  q->FromQuery(income, "i");
  q->Fields().KeepOnly({"DocumentDate", "GoodCode", "SubCategory", "SpecID"});
  q->Fields().AddColumn("AmountAccount", Kind::kQuantity, "i.RestAmount");
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

// The write-off rows under the waybill and their links.
Result Written(AppContext& book, int64_t waybill, double seconds) {
  auto count = [&](const std::string& sql) {
    auto s = book.Connection().Prepare(sql);
    s->Bind(1, qts::db::Value(waybill));
    if (!s->Step()) std::abort();
    return s->GetInt64(0);
  };
  const std::string rows = "SELECT s.\"IDC\" FROM " + Table(book, "THGoodSpec") + " s JOIN " +
                           Table(book, "THDocument") +
                           " d ON d.\"IDC\" = s.\"DocID\" WHERE d.\"DocTypeCode\" = 'MMO' AND "
                           "d.\"ParentID\" = ?1";
  return {seconds, count("SELECT COUNT(*) FROM (" + rows + ")"),
          count("SELECT COUNT(*) FROM " + Table(book, "THGoodSpecFixLog") +
                " WHERE \"OutcomeSpecID\" IN (" + rows + ")")};
}

Result System() {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  qts::db::Transaction run(book->Connection());  // rolled back: the book stays as it was
  const Fleet fleet = AddFleet(*book);
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  op->AnswerForm({"frmDocument", true, {}});
  auto parent = std::make_shared<qts::host::THDocument>(book);
  parent->Load(static_cast<int32_t>(fleet.waybill));
  qts::host::QueryPtr rest_list = RestOnDate(book, fleet.waybill);
  qts::host::QueryPtr in_list = RestOnDate(book, fleet.waybill);
  in_list->AddResultFilter("SpecID = 0");
  auto started = Clock::now();
  auto fuel = std::make_shared<qts::handlers::CFuelWriteOff>();
  fuel->Init(parent);
  fuel->WriteOff(kVehicle, Quantity(), Currency(), in_list, rest_list);
  return Written(*book, fleet.waybill, SecondsSince(started));
}

Result Raw() {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  sqlite3* db = qts::bench::RawHandle(*book);
  qts::db::Transaction run(book->Connection());  // rolled back: the book stays as it was
  const Fleet fleet = AddFleet(*book);
  const std::string spec = Table(*book, "THGoodSpec");
  const std::string doc_table = Table(*book, "THDocument");
  const std::string rests_sql =
      "SELECT s.\"IDC\", s.\"AmountAccount\" - COALESCE((SELECT SUM(l.\"Amount\") FROM " +
      Table(*book, "THGoodSpecFixLog") + " l WHERE l.\"IncomeSpecID\" = s.\"IDC\"), 0) FROM " +
      spec + " s JOIN " + doc_table +
      " d ON d.\"IDC\" = s.\"DocID\" WHERE d.\"IsPosted\" = 1 AND s.\"LotPropertyID\" = ?1 "
      "ORDER BY d.\"DocumentDate\", s.\"IDC\"";
  const std::string doc_sql = "INSERT INTO " + doc_table +
                              "(\"DocTypeCode\",\"Number\",\"ParentID\",\"DocumentDate\","
                              "\"StoreCode\",\"IsPosted\",\"CurrencyCode\") VALUES "
                              "('MMO','1',?1,'2026-12-31',?2,0,'EUR')";
  const std::string row_sql = "INSERT INTO " + spec +
                              "(\"DocID\",\"PosNumb\",\"GoodCode\",\"UnitCode\",\"Amount\","
                              "\"AmountAccount\",\"LotPropertyID\") VALUES (?1,1,?2,'L',0,0,?3)";
  const std::string grow_sql = "UPDATE " + spec +
                               " SET \"Amount\" = \"Amount\" + ?1, \"AmountAccount\" = "
                               "\"AmountAccount\" + ?1 WHERE \"IDC\" = ?2";
  const std::string link_sql = "INSERT INTO " + Table(*book, "THGoodSpecFixLog") +
                               "(\"GoodCode\",\"OutcomeSpecID\",\"IncomeSpecID\",\"Amount\","
                               "\"Type\") VALUES (?1,?2,?3,?4,5)";
  auto started = Clock::now();
  sqlite3_stmt *rests = nullptr, *doc = nullptr, *row = nullptr, *grow = nullptr, *link = nullptr;
  for (auto [stmt, sql] : {std::pair{&rests, &rests_sql},
                           {&doc, &doc_sql},
                           {&row, &row_sql},
                           {&grow, &grow_sql},
                           {&link, &link_sql}}) {
    Check(sqlite3_prepare_v2(db, sql->c_str(), -1, stmt, nullptr), SQLITE_OK, db);
  }
  sqlite3_bind_int64(rests, 1, fleet.lot);
  sqlite3_bind_int64(doc, 1, fleet.waybill);
  sqlite3_bind_text(doc, 2, kStore, -1, SQLITE_STATIC);
  Check(sqlite3_step(doc), SQLITE_DONE, db);
  const int64_t doc_id = sqlite3_last_insert_rowid(db);
  sqlite3_bind_int64(row, 1, doc_id);
  sqlite3_bind_text(row, 2, kGood, -1, SQLITE_STATIC);
  sqlite3_bind_int64(row, 3, fleet.lot);
  Check(sqlite3_step(row), SQLITE_DONE, db);
  const int64_t row_id = sqlite3_last_insert_rowid(db);
  int64_t remaining = Quantity().Scaled();
  while (remaining > 0 && sqlite3_step(rests) == SQLITE_ROW) {
    // Money is kept in ten-thousandths.
    const int64_t free = sqlite3_column_int64(rests, 1);
    const int64_t portion = std::min(free, remaining);
    if (portion <= 0) continue;
    remaining -= portion;
    sqlite3_bind_int64(grow, 1, portion);
    sqlite3_bind_int64(grow, 2, row_id);
    Check(sqlite3_step(grow), SQLITE_DONE, db);
    sqlite3_reset(grow);
    sqlite3_bind_text(link, 1, kGood, -1, SQLITE_STATIC);
    sqlite3_bind_int64(link, 2, row_id);
    sqlite3_bind_int64(link, 3, sqlite3_column_int64(rests, 0));
    sqlite3_bind_int64(link, 4, portion);
    Check(sqlite3_step(link), SQLITE_DONE, db);
    sqlite3_reset(link);
  }
  for (sqlite3_stmt* s : {rests, doc, row, grow, link}) sqlite3_finalize(s);
  return Written(*book, fleet.waybill, SecondsSince(started));
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
  state.SetLabel(qts::bench::SampleBookName());
}

BENCHMARK(FuelWriteOff10kRests)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
