// How every qts command ends and what it prints for programs: the exit statuses, the --json
// flag, and the error a command stops with.
#ifndef QTS_CLI_OUTPUT_H_
#define QTS_CLI_OUTPUT_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/currency.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"

namespace qts::cli {

// The exit statuses of qts, the same for every command; `qts --help` lists them.
enum class ExitStatus : int {
  kDone = 0,     // done, or nothing was asked of it
  kError = 1,    // an error: bad input, something the book does not hold, a failure; nothing
                 // half-written
  kRefused = 2,  // a check of the system refused the work, or a person cancelled; nothing written
  kUsage = 64,   // the command line itself is wrong: an unknown option, a missing argument
};

// The exit statuses as qts --help states them.
std::string ExitStatusHelp();

// Thrown by a command that a check refused or a person cancelled (exit status 2). `number` is
// the message the system showed for it (0 when none), `source` the command.
class Refusal : public Error {
 public:
  using Error::Error;
};

// Thrown by a command that has printed its whole answer (with --json: one document that says
// what went wrong) and ends with `status` without a further message.
class Finished : public std::exception {
 public:
  explicit Finished(ExitStatus status) : status_(status) {}
  ExitStatus Status() const noexcept { return status_; }
  const char* what() const noexcept override { return "finished"; }

 private:
  ExitStatus status_;
};

// Adds --json to `command`. Every command shares the one flag: a process runs one command.
void AddJsonFlag(CLI::App& command, const std::string& what);
// Whether the running command was given --json.
bool JsonOutput();

// `value` on standard output, indented by two, with a final newline.
void PrintJson(const nlohmann::ordered_json& value);
// The error a command stopped with, for programs: {"error": {"number", "source",
// "description"}, "status"}.
nlohmann::ordered_json ErrorJson(const Error& error, ExitStatus status);

// The values of a list by name, each through host::ToJson.
nlohmann::ordered_json ListJson(const host::NamedValueList& list);
// The rows of a recordset from its first, columns in their order, values through host::ToJson.
nlohmann::ordered_json RowsJson(host::Recordset& rows);

// A quantity or amount typed on the command line: a decimal number with a point or a comma
// ("2.5", "2,5"; one of them, once), an optional sign and exponent. `what` names it in the
// error (kErrInvalidCall, source `source`): not a number -- "NaN", "inf", "1,000.5", an empty
// text -- or out of the range of money (at most 922,337,203,685,477.5807 either way).
Currency ParseDecimalOption(std::string_view source, std::string_view what,
                            const std::string& text);

// The rows of document `idc` in position order.
host::RecordsetPtr DocumentRows(const host::AppContextPtr& book, int32_t idc);
// Document `idc` for programs: {"fields", "addFields", "rows"}; error 5 when the book has no
// such document.
nlohmann::ordered_json DocumentJson(const host::AppContextPtr& book, int32_t idc);
// The fix-log links of the document's rows (what posting took, and from which receipts), in
// the order they were made.
nlohmann::ordered_json LinksJson(const host::AppContextPtr& book, int32_t idc);

}  // namespace qts::cli

#endif  // QTS_CLI_OUTPUT_H_
