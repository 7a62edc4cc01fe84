// qts: the front door to the component and its host kit.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/error.h"
#include "core/log.h"

namespace {

constexpr const char* kEnvironmentHelp =
    "Environment:\n"
    "  QTS_REGISTRY           the registry file (default ~/.config/qts/registry.json)\n"
    "  QTS_REGISTRY_DEFAULTS  the registry defaults installed with the host kit (default\n"
    "                         share/qts/registry.json of the installation)\n"
    "  QTS_SETTINGS           the per-user settings store (default settings.json beside the\n"
    "                         registry)\n"
    "  QTS_RESOURCES          the message resources folder (default share/qts/resources)\n"
    "  QTS_LIBRARY            the component library (default libqts_inventory.so beside the\n"
    "                         host kit)\n"
    "  QTS_BUSY_TIMEOUT       seconds to wait for a book another process is writing before\n"
    "                         giving up with nothing written (default 10)\n"
    "  QTS_LOG_LEVEL          as --log-level\n"
    "  QTS_TRACE_SQL          1: as --trace-sql\n";

// Says why the command stopped: a line on standard error and, with --json, the error as JSON
// on standard output. Returns the exit status.
int Stop(const qts::Error& e, qts::cli::ExitStatus status) {
  std::cerr << "qts: " << e.Description();
  if (!e.Source().empty()) {
    std::cerr << " [" << e.Source() << ", error " << qts::FormatErrorNumber(e.Number()) << "]";
  }
  std::cerr << "\n";
  if (qts::cli::JsonOutput()) qts::cli::PrintJson(qts::cli::ErrorJson(e, status));
  return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
  using qts::cli::ExitStatus;
  CLI::App app{
      "qts - inventory and production documents on a book: write-offs, finished-goods "
      "receipts, fuel write-offs, packaging declarations and stock reports"};
  app.set_version_flag("--version", std::string("qts ") + QTS_VERSION);
  app.require_subcommand(1);
  app.footer(qts::cli::ExitStatusHelp() + "\n" + kEnvironmentHelp);
  // Options of qts itself may also follow the subcommand: qts doc show 5 --trace-sql.
  app.fallthrough();
  app.add_option_function<std::string>(
         "--log-level",
         [](const std::string& name) { qts::SetLogLevel(*qts::ParseLogLevel(name)); },
         "the host kit's own messages on standard error: trace, debug, info, warn, error or off "
         "(default: $QTS_LOG_LEVEL, else off)")
      ->check(CLI::IsMember({"trace", "debug", "info", "warn", "error", "off"}))
      ->trigger_on_parse();
  app.add_flag_callback(
         "--trace-sql", [] { qts::SetSqlTrace(true); },
         "print each statement run on the book on standard error: as written (T-SQL), as run "
         "(the backend's SQL), its parameters, rows and time (also: QTS_TRACE_SQL=1)")
      ->trigger_on_parse();
  qts::cli::AddComponentCommands(app);
  qts::cli::AddBookCommands(app);
  qts::cli::AddSqlCommands(app);
  qts::cli::AddDocumentCommands(app);
  qts::cli::AddReportCommands(app);
  qts::cli::AddFuelCommands(app);
  qts::cli::AddDialogCommands(app);
  qts::cli::AddServeCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0.
    return app.exit(e) == 0 ? static_cast<int>(ExitStatus::kDone)
                            : static_cast<int>(ExitStatus::kUsage);
  } catch (const qts::cli::Finished& e) {
    return static_cast<int>(e.Status());
  } catch (const qts::cli::Refusal& e) {
    return Stop(e, ExitStatus::kRefused);
  } catch (const qts::Error& e) {
    return Stop(e, ExitStatus::kError);
  } catch (const std::exception& e) {
    return Stop(qts::Error(0, "qts", e.what()), ExitStatus::kError);
  }
  return static_cast<int>(ExitStatus::kDone);
}
