// The qts command's subcommands, grouped by what they work on. Each group adds its
// subcommands to the application; a subcommand's callback does the work and throws on error.
#ifndef QTS_CLI_COMMANDS_H_
#define QTS_CLI_COMMANDS_H_

#include <CLI/CLI.hpp>

namespace qts::cli {

// The help of every --book option.
inline constexpr const char* kBookHelp =
    "the book: an SQLite file, or a PostgreSQL server as postgresql://user@host:port/database "
    "or a libpq connection string ('host=... dbname=... user=...')";

// catalogue, register, unregister, create, settings.
void AddComponentCommands(CLI::App& app);
// book create, book copy, book check, book upgrade.
void AddBookCommands(CLI::App& app);
// doc show, doc list.
void AddDocumentCommands(CLI::App& app);
// sql translate, sql run.
void AddSqlCommands(CLI::App& app);
// report.
void AddReportCommands(CLI::App& app);
// fuel write-off, fuel delete.
void AddFuelCommands(CLI::App& app);
// dialog: a document opened in its dialog and worked on as a person does.
void AddDialogCommands(CLI::App& app);
// serve: the book on a web page.
void AddServeCommands(CLI::App& app);

}  // namespace qts::cli

#endif  // QTS_CLI_COMMANDS_H_
