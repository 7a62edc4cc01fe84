// qts serve's actions against the same work on the command line's operator, on a generated
// sample company (small size, seed 7) kept in a book file, with one write-off of 1,000 rows:
//   - the first load of the write-off's dialog in the page: the server's answer to "open this
//     document" (the dialog opened through the dispatcher, drawn as JSON); its time is absolute,
//     as the page's users feel it;
//   - a cell edit (an amount in row 500) from the page: the server's whole action -- the
//     dialog opened, the edit run through the grid's events and the calculator, the dialog
//     drawn as JSON, the transaction rolled back -- against what `qts dialog MMO --doc IDC
//     --cell 500:Amount=X` does in its process: the dialog opened through the dispatcher with
//     the scripted operator, the same edit, the form unloaded, the run rolled back;
//   - the same edit on a dialog the terminal holds open (`qts dialog --interactive`), for
//     reference: the edit and the text drawing only.
// Counters: each side's time per round and the page's ratio to the command line.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "bench_common.h"
#include "core/convert.h"
#include "db/transaction.h"
#include "dialogs/halden_user_dialogs.h"
#include "host/data/app_context.h"
#include "host/interfaces.h"
#include "host/plugin/component_host.h"
#include "host/report/report_engine.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_form.h"
#include "host/ui/dialog_text.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/system_dialog.h"
#include "host/web/web_api.h"
#include "host/web/web_session.h"

namespace {

using qts::Variant;
using qts::bench::Clock;
using qts::bench::SecondsSince;
using qts::host::AppContext;

constexpr int kRows = 1000;

struct Book {
  std::filesystem::path dir;
  std::filesystem::path file;
  int32_t doc = 0;
};

Book& WriteOffBook() {
  static Book book = [] {
    Book b;
    b.dir = std::filesystem::temp_directory_path() / ("qts-web-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(b.dir);
    setenv("QTS_REGISTRY", (b.dir / "registry.json").c_str(), 1);
    setenv("QTS_SETTINGS", (b.dir / "settings.json").c_str(), 1);
    b.file = b.dir / "book.db";
    auto context = AppContext::CreateBook(b.file.string(), "GEN");
    qts::host::sample::GenerateSampleBook(*context, qts::host::sample::SampleSize::kSmall, 7);
    b.doc = qts::bench::WriteOffDocument(context, kRows, "B00001");
    return b;
  }();
  return book;
}

// The amount typed in each round: it changes, so every edit runs the calculator.
std::string Amount(int64_t round) { return std::to_string(2 + round % 7) + ",5"; }

// What `qts dialog MMO --doc IDC --cell 500:Amount=X` does once its book is open.
double CommandLineEdit(const std::shared_ptr<AppContext>& book, int32_t doc, int64_t round) {
  auto started = Clock::now();
  auto scripted = std::make_shared<qts::host::ScriptedOperator>();
  std::ostringstream shown;
  scripted->SetDialogOutput(&shown);
  scripted->AnswerDialog({{qts::host::ParseCellArgument("500:Amount=" + Amount(round))}});
  qts::host::ScopedOperator scoped(scripted);
  auto app = std::make_shared<qts::host::ReportApp>();
  app->SetCurrentBook(book);
  qts::host::ScopedClientApplication scoped_app(app);
  qts::db::Transaction run(book->Connection());
  qts::host::ComponentHost component_host;
  auto dialogs = qts::QueryInterface<qts::host::IHaldenDialog>(qts::host::CreateByProgId(
      component_host, "QTS_Inventory.HaldenUserDialogs", qts::host::DefaultComponentPath()));
  dialogs->Init(std::make_shared<qts::host::DialogHost>(book, doc), nullptr, Variant("MMO"));
  Variant a, b, c;
  (void)dialogs->RunForm(a, b, c);
  dialogs->UnloadForm();
  if (!scripted->Errors().empty()) std::abort();
  return SecondsSince(started);
}

void BM_FirstDialogLoad(benchmark::State& state) {
  Book& b = WriteOffBook();
  qts::host::WebApi api(b.file, {});
  int64_t rounds = 0;
  double total = 0;
  for (auto _ : state) {
    // A new session each round: its own book connection, nothing of the last round kept.
    qts::host::WebSession session("bench", "csrf", b.dir / "session");
    auto started = Clock::now();
    nlohmann::ordered_json opened = api.OpenDialog(session, "MMO", b.doc);
    const double seconds = SecondsSince(started);
    if (opened["view"]["grid"]["rows"].size() != static_cast<size_t>(kRows)) std::abort();
    state.SetIterationTime(seconds);
    total += seconds;
    ++rounds;
  }
  state.counters["load_ms"] = total * 1000 / static_cast<double>(rounds);
}
BENCHMARK(BM_FirstDialogLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CellEditPageVsCommandLine(benchmark::State& state) {
  Book& b = WriteOffBook();
  qts::host::WebApi api(b.file, {});
  qts::host::WebSession session("bench", "csrf", b.dir / "session");
  int32_t dialog = api.OpenDialog(session, "MMO", b.doc)["dialog"];
  auto book = AppContext::Open(b.file.string());
  int64_t round = 0;
  double page = 0;
  double command_line = 0;
  for (auto _ : state) {
    auto started = Clock::now();
    nlohmann::ordered_json answer = api.DialogAction(
        session, dialog,
        {{"action", "cell"}, {"row", "500"}, {"column", "Amount"}, {"value", Amount(round)}});
    const double page_seconds = SecondsSince(started);
    if (answer["outcome"] != "done") std::abort();
    // The page's edits are kept unsaved: the next round would run them again. Each round starts
    // from the stored document, as each command line run does.
    api.CloseDialog(session, dialog);
    dialog = api.OpenDialog(session, "MMO", b.doc)["dialog"];
    const double cli_seconds = CommandLineEdit(book, b.doc, round);
    page += page_seconds;
    command_line += cli_seconds;
    state.SetIterationTime(page_seconds);
    ++round;
  }
  state.counters["page_ms"] = page * 1000 / static_cast<double>(round);
  state.counters["cli_ms"] = command_line * 1000 / static_cast<double>(round);
  state.counters["ratio"] = page / command_line;
}
BENCHMARK(BM_CellEditPageVsCommandLine)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

void BM_CellEditOnOpenTerminalDialog(benchmark::State& state) {
  Book& b = WriteOffBook();
  auto book = AppContext::Open(b.file.string());
  auto scripted = std::make_shared<qts::host::ScriptedOperator>();
  qts::host::ScopedOperator scoped(scripted);
  auto app = std::make_shared<qts::host::ReportApp>();
  app->SetCurrentBook(book);
  qts::host::ScopedClientApplication scoped_app(app);
  qts::db::Transaction run(book->Connection());
  qts::host::ComponentHost component_host;
  auto dialogs =
      std::dynamic_pointer_cast<qts::dialogs::HaldenUserDialogs>(qts::host::CreateByProgId(
          component_host, "QTS_Inventory.HaldenUserDialogs", qts::host::DefaultComponentPath()));
  if (!dialogs) std::abort();
  dialogs->Init(std::make_shared<qts::host::DialogHost>(book, b.doc), nullptr, Variant("MMO"));
  qts::host::SystemDialog& dialog = *dialogs->SysDialog();
  int64_t round = 0;
  double total = 0;
  for (auto _ : state) {
    // What the terminal does for "cell 500 Amount X": the edit, then the form drawn again.
    auto started = Clock::now();
    dialog.EditCell("500", "Amount", Amount(round));
    std::string drawn = qts::host::RenderDialogText(dialog.View());
    const double seconds = SecondsSince(started);
    benchmark::DoNotOptimize(drawn);
    state.SetIterationTime(seconds);
    total += seconds;
    ++round;
  }
  state.counters["edit_ms"] = total * 1000 / static_cast<double>(round);
  dialogs->UnloadForm();
}
BENCHMARK(BM_CellEditOnOpenTerminalDialog)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
