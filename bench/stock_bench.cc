// What keeping the stock facts costs the writer: posting a 1,000-row write-off on the sample
// book (the large one under scripts/bench) with the facts kept, against the same posting as
// it was before they were kept (schema::UsePlainStockSources: the receipts' consumption summed
// from the links, nothing kept). Each round writes the write-off, posts it (timed) and rolls
// everything back, so the book stays as made. Counters: both times per round and their ratio
// (with / without).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "core/currency.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/schema/schema.h"
#include "host/services/document_service.h"

namespace {

using qts::host::AppContext;

constexpr int kRows = 1'000;
constexpr const char* kStore = "CS";

struct Good {
  std::string code;
  std::string unit;
};

// Goods with at least one accounting unit free in the store at the end of the year, without a
// lot, and their accounting units: what the write-off takes one of each.
std::vector<Good> FreeGoods(AppContext& book) {
  qts::db::StatementHandle s = book.PrepareTsql(
      "SELECT TOP 1000 n.GoodCode, MIN(u.UnitCode) FROM THGoodSpecNotFixed n"
      " INNER JOIN REFGoodUnit u ON u.GoodCode = n.GoodCode AND u.IsAccount = 1"
      " WHERE n.StoreCode = ? AND n.LotPropertyID = 0 GROUP BY n.GoodCode"
      " HAVING SUM(n.AmountAccount) >= 1 ORDER BY n.GoodCode");
  s->BindText(1, kStore);
  std::vector<Good> goods;
  while (s->Step()) goods.push_back({s->GetText(0), s->GetText(1)});
  return goods;
}

// A write-off of one accounting unit of each good, dated the last day of the year, not posted.
int32_t WriteWriteOff(AppContext& book, const std::vector<Good>& goods) {
  book.ExecuteTsql(
      "INSERT INTO THDocument (DocTypeCode, Number, DocumentDate, StoreCode, IsPosted,"
      " CurrencyCode) VALUES ('MMO', 'BENCH-W1', '2026-12-31', ?, 0, 'EUR')",
      {kStore});
  const int64_t doc = book.Connection().LastInsertId();
  qts::db::StatementHandle row = book.PrepareTsql(
      "INSERT INTO THGoodSpec (DocID, PosNumb, GoodCode, UnitCode, Amount, AmountAccount,"
      " LotPropertyID) VALUES (?, ?, ?, ?, ?, ?, 0)");
  int pos = 0;
  for (const Good& g : goods) {
    row->Reset();
    row->BindInt64(1, doc);
    row->BindInt64(2, ++pos);
    row->BindText(3, g.code);
    row->BindText(4, g.unit);
    row->BindCurrency(5, qts::Currency::FromScaled(qts::Currency::kScale));
    row->BindCurrency(6, qts::Currency::FromScaled(qts::Currency::kScale));
    row->Run();
  }
  return static_cast<int32_t>(doc);
}

// One round: the write-off written and posted inside a transaction that is rolled back; the
// posting's time.
qts::bench::Span PostRound(const std::shared_ptr<AppContext>& book, const std::vector<Good>& goods,
                           bool kept) {
  qts::db::Transaction scope(book->Connection());
  const int32_t id = WriteWriteOff(*book, goods);
  auto doc = std::make_shared<qts::host::THDocument>(book);
  if (!doc->Load(id)) std::abort();
  qts::host::DocumentService service;
  service.Init(book, doc);
  qts::host::schema::UsePlainStockSources(!kept);
  const qts::bench::Stopwatch watch;
  service.CloseDoc(qts::Variant(), false);
  const qts::bench::Span span = watch.Elapsed();
  qts::host::schema::UsePlainStockSources(false);
  return span;
}

void PostWriteOff1000(benchmark::State& state) {
  std::shared_ptr<AppContext> book = qts::bench::SampleBook();
  const std::vector<Good> goods = FreeGoods(*book);
  if (goods.size() < static_cast<size_t>(kRows) && std::getenv("QTS_BENCH_BOOK") != nullptr) {
    state.SkipWithError("the large book has fewer than 1,000 goods free in store CS");
    return;
  }
  const qts::bench::Totals t = qts::bench::Alternate(
      state, [&] { return PostRound(book, goods, false); },
      [&] { return PostRound(book, goods, true); });
  state.counters["rows"] = static_cast<double>(goods.size());
  state.counters["without_ms"] = t.raw * 1000 / static_cast<double>(t.rounds);
  state.counters["with_ms"] = t.system * 1000 / static_cast<double>(t.rounds);
  qts::bench::ReportRatios(state, t);
}

}  // namespace

BENCHMARK(PostWriteOff1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

BENCHMARK_MAIN();
