// qts: the front door to the component and its host kit.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "core/error.h"

int main(int argc, char** argv) {
  CLI::App app{
      "qts - inventory and production documents on a book: write-offs, finished-goods "
      "receipts, fuel write-offs, packaging declarations and stock reports"};
  app.set_version_flag("--version", std::string("qts ") + QTS_VERSION);
  app.require_subcommand(1);
  qts::cli::AddComponentCommands(app);
  qts::cli::AddBookCommands(app);
  qts::cli::AddSqlCommands(app);
  qts::cli::AddDocumentCommands(app);
  qts::cli::AddReportCommands(app);
  qts::cli::AddFuelCommands(app);
  qts::cli::AddDialogCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const qts::Error& e) {
    std::cerr << "qts: " << e.Description();
    if (!e.Source().empty())
      std::cerr << " [" << e.Source() << ", error " << qts::FormatErrorNumber(e.Number()) << "]";
    std::cerr << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "qts: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
