// The write-off dialog and its act against raw SQLite calls doing the same read in the same run,
// on a generated sample company (small size, seed 7) with one write-off of 1,000 rows:
//   - opening the dialog: QTS_Inventory.HaldenUserDialogs created and initialised as the host
//     does (the form loaded, the controller wired, the document's fields exchanged into the
//     controls, the grid filled with the rows and their additional fields), then unloaded;
//   - printing the act to HTML: with the dialog open, the act (CRepWriteOff, with its bar code)
//     printed from the form's print button into an HTML file;
//   - printing the act to PDF: its time per print (no ratio is asked of it).
// The raw side of each is the same read by hand: the header with its additional fields and the
// rows joined to their goods, account units, lots and additional fields, prepared and stepped
// with every column read. Counters: both times per round and their ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench_common.h"
#include "core/convert.h"
#include "core/currency.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/transaction.h"
#include "dialogs/halden_user_dialogs.h"
#include "frame/catalogue.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/sample/sample_book.h"
#include "host/ui/dialog_form.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/system_dialog.h"

namespace {

using qts::Currency;
using qts::Variant;
using qts::bench::Span;
using qts::bench::Stopwatch;
using qts::host::AppContext;

constexpr int kRows = 1000;

struct Book {
  std::shared_ptr<AppContext> context;
  int32_t doc = 0;
  sqlite3* raw = nullptr;
  std::filesystem::path dir;
};

std::string Table(const AppContext& book, const char* logical) {
  return "\"" + book.Code() + "$" + logical + "\"";
}

// The sample company with a write-off of kRows rows (each good at most once per unit, so no
// row merges), its committee and accountable person, a number a bar code can carry.
Book& WriteOffBook() {
  static Book book = [] {
    Book b;
    b.dir =
        std::filesystem::temp_directory_path() / ("qts-dialogs-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(b.dir);
    // The dialogs and the act are created by programmatic identifier: a registry of their own.
    setenv("QTS_REGISTRY", (b.dir / "registry.json").c_str(), 1);
    setenv("QTS_SETTINGS", (b.dir / "settings.json").c_str(), 1);
    b.context = AppContext::CreateBook(":memory:", "GEN");
    qts::host::sample::GenerateSampleBook(*b.context, qts::host::sample::SampleSize::kSmall, 7);
    b.raw = qts::bench::RawHandle(*b.context);
    b.doc = qts::bench::WriteOffDocument(b.context, kRows, "B00001");
    return b;
  }();
  return book;
}

// The raw read of what the dialog shows: the header and its additional fields, then every row
// with its good's name, account unit, lot name and additional fields.
Span RawRead(Book& b) {
  const AppContext& c = *b.context;
  const std::string doc = std::to_string(b.doc);
  long rows = 0;
  Span span = qts::bench::RawRead(b.raw,
                                  "SELECT d.*, a.* FROM " + Table(c, "THDocument") +
                                      " d LEFT JOIN " + Table(c, "MMOTHDocument") +
                                      " a ON a.\"DocID\" = d.\"IDC\" WHERE d.\"IDC\" = " + doc,
                                  rows);
  span += qts::bench::RawRead(
      b.raw,
      "SELECT s.\"IDC\", s.\"PosNumb\", s.\"GoodCode\", g.\"Name\", s.\"UnitCode\", s.\"Amount\","
      " u.\"UnitCode\", s.\"AmountAccount\", s.\"Price\", s.\"Summa\", s.\"CostSumm\","
      " s.\"SummVAT\", s.\"BOperCode\", s.\"LotPropertyID\", lp.\"Name\", s.\"PriceNational\","
      " s.\"AlgebraicSum\", s.\"IsGoodClosed\", s.\"IsTranClosed\", s.\"IsPayClosed\","
      " s.\"IsFixed\", a.* FROM " +
          Table(c, "THGoodSpec") + " s JOIN " + Table(c, "REFGood") +
          " g ON g.\"Code\" = s.\"GoodCode\" LEFT JOIN " + Table(c, "REFGoodUnit") +
          " u ON u.\"GoodCode\" = s.\"GoodCode\" AND u.\"IsAccount\" = 1 LEFT JOIN " +
          Table(c, "STLotProperty") + " lp ON lp.\"IDC\" = s.\"LotPropertyID\" LEFT JOIN " +
          Table(c, "MMOTHGoodSpec") +
          " a ON a.\"DocID\" = s.\"DocID\" AND a.\"PosNumb\" = s.\"PosNumb\" WHERE s.\"DocID\" = " +
          doc + " ORDER BY s.\"PosNumb\"",
      rows);
  if (rows != kRows) std::abort();
  return span;
}

std::shared_ptr<qts::dialogs::HaldenUserDialogs> OpenDialog(Book& b) {
  const qts::frame::ClassInfo* cls =
      qts::frame::Catalogue::Instance().FindProgId("QTS_Inventory.HaldenUserDialogs");
  if (cls == nullptr) std::abort();
  auto dialogs = std::dynamic_pointer_cast<qts::dialogs::HaldenUserDialogs>(
      qts::frame::Catalogue::Instance().Create(*cls));
  dialogs->Init(std::make_shared<qts::host::DialogHost>(b.context, b.doc), nullptr, Variant("MMO"));
  if (!dialogs->SysDialog() || !dialogs->SysDialog()->FormObject()) std::abort();
  return dialogs;
}

Span OpenAndClose(Book& b) {
  const Stopwatch watch;
  auto dialogs = OpenDialog(b);
  benchmark::DoNotOptimize(dialogs->SysDialog()->Spec());
  dialogs->UnloadForm();
  return watch.Elapsed();
}

// The act printed from the open dialog's print button, with its bar code, into a file.
Span Print(Book& b, qts::dialogs::HaldenUserDialogs& dialogs, const char* extension) {
  const std::filesystem::path file = b.dir / (std::string("act.") + extension);
  std::filesystem::remove(file);
  // PDF's text layout runs threads of its own: its CPU time is the process's.
  const Stopwatch watch(std::string_view(extension) == "pdf" ? CLOCK_PROCESS_CPUTIME_ID
                                                             : CLOCK_THREAD_CPUTIME_ID);
  dialogs.SysDialog()->Print("CRepWriteOff", file, true);
  const Span span = watch.Elapsed();
  if (!std::filesystem::exists(file)) std::abort();
  return span;
}

void BM_OpenWriteOffDialog(benchmark::State& state) {
  Book& b = WriteOffBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  auto totals = qts::bench::Alternate(
      state, [&] { return RawRead(b); }, [&] { return OpenAndClose(b); });
  qts::bench::ReportRatio(state, totals, "dialog");
}
BENCHMARK(BM_OpenWriteOffDialog)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PrintWriteOffActHtml(benchmark::State& state) {
  Book& b = WriteOffBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  auto dialogs = OpenDialog(b);
  auto totals = qts::bench::Alternate(
      state, [&] { return RawRead(b); }, [&] { return Print(b, *dialogs, "html"); });
  dialogs->UnloadForm();
  qts::bench::ReportRatio(state, totals, "act_html");
}
BENCHMARK(BM_PrintWriteOffActHtml)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// PDF has no ratio to meet; its time per print is reported beside the raw read's.
void BM_PrintWriteOffActPdf(benchmark::State& state) {
  Book& b = WriteOffBook();
  auto op = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(op);
  auto dialogs = OpenDialog(b);
  auto totals = qts::bench::Alternate(
      state, [&] { return RawRead(b); }, [&] { return Print(b, *dialogs, "pdf"); });
  dialogs->UnloadForm();
  qts::bench::ReportRatio(state, totals, "act_pdf");
}
BENCHMARK(BM_PrintWriteOffActPdf)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
