// Any text as a statement the host runs on a book (a SELECT, or an INSERT, UPDATE or DELETE with
// '?' parameters), translated for both backends. The translator either succeeds or refuses with
// a SqlError that names a line and a column within the text; nothing else may come out of it.
// What it accepts must hold up:
// - the parsed tree prints as T-SQL that parses again and prints the same;
// - that printed T-SQL translates to the same backend SQL as the text itself, in both dialects;
// - on SQLite the statement prepares, through the book's own road (AppContext::PrepareTsql with
//   its shape cache), on a book in memory with the real schema; so does its plain translation
//   when that writes shared parts in a WITH.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "host/data/app_context.h"
#include "host/schema/schema.h"
#include "sql/parser.h"
#include "sql/sql_error.h"
#include "sql/translator.h"

namespace {

using qts::fuzz::Broken;
using qts::fuzz::Check;
using qts::fuzz::CurrentException;
using qts::sql::Dialect;

const std::shared_ptr<qts::host::AppContext>& Book() {
  static const std::shared_ptr<qts::host::AppContext> book =
      qts::host::AppContext::CreateBook(":memory:", "C1");
  return book;
}

// Lines of `text` as the translator counts them: 1 + the line feeds.
int LineCount(std::string_view text) {
  int lines = 1;
  for (char c : text) lines += c == '\n';
  return lines;
}

// The backend SQL of `tsql`, or nullopt when it is refused with a position inside it.
std::optional<std::string> Translated(std::string_view tsql, Dialect dialect,
                                      std::string_view input) {
  try {
    return qts::sql::TranslateCommand(tsql, Book()->Catalogue(), dialect);
  } catch (const qts::sql::SqlError& e) {
    Check(e.Number() == qts::sql::kErrSqlTranslate && e.Line() >= 1 && e.Column() >= 1 &&
              e.Line() <= LineCount(tsql),
          "a refusal without a place in the statement", e.Description(), input);
    return std::nullopt;
  } catch (...) {
    Broken("the translator raised something other than SqlError", CurrentException(), input);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view tsql = qts::fuzz::InputText(data, size);

  std::string printed;
  try {
    const qts::sql::Command command = qts::sql::ParseCommand(tsql);
    printed = command.Root().ToSql();
  } catch (const qts::sql::SqlError&) {
  } catch (...) {
    Broken("the parser raised something other than SqlError", CurrentException(), tsql);
  }
  if (!printed.empty()) {
    std::string again;
    try {
      again = qts::sql::ParseCommand(printed).Root().ToSql();
    } catch (...) {
      Broken("the printed statement does not parse", CurrentException() + "\nprinted: " + printed,
             tsql);
    }
    Check(again == printed, "the printed statement prints differently when parsed again",
          "printed: " + printed + "\nagain:   " + again, tsql);
  }

  for (Dialect dialect : {Dialect::kSqlite, Dialect::kPostgres}) {
    const std::optional<std::string> sql = Translated(tsql, dialect, tsql);
    if (!sql) continue;
    Check(!printed.empty(), "a statement translated that does not parse", *sql, tsql);
    const std::optional<std::string> from_printed = Translated(printed, dialect, tsql);
    Check(from_printed == sql, "the printed statement translates differently",
          "printed: " + printed + "\nsql:     " + *sql +
              "\nfrom printed: " + from_printed.value_or("(refused)"),
          tsql);
    if (dialect != Dialect::kSqlite) continue;
    try {
      (void)Book()->PrepareTsql(tsql);
      // The book's road takes its literals as parameters, where no part is shared: a
      // translation that names shared parts in a WITH must prepare as written too.
      if (sql->starts_with("WITH ")) (void)Book()->Connection().Prepare(*sql);
    } catch (...) {
      Broken("a translated statement does not prepare on SQLite",
             CurrentException() + "\nsql: " + *sql, tsql);
    }
  }
  return 0;
}
