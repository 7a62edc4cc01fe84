#include "db/sqlite/text_functions.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "core/text.h"
#include "db/sqlite/sqlite_error.h"

namespace qts::db {

namespace {

template <bool kUpper>
void ChangeCase(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const std::string_view value(text ? text : "", static_cast<size_t>(sqlite3_value_bytes(argv[0])));
  const std::string changed = kUpper ? UCase(value) : LCase(value);
  sqlite3_result_text(context, changed.data(), static_cast<int>(changed.size()), SQLITE_TRANSIENT);
}

}  // namespace

void RegisterTextFunctions(sqlite3* db) {
  struct Function {
    const char* name;
    void (*call)(sqlite3_context*, int, sqlite3_value**);
  };
  static constexpr Function kFunctions[] = {{"upper", &ChangeCase<true>},
                                            {"lower", &ChangeCase<false>}};
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (const Function& f : kFunctions) {
    const int code = sqlite3_create_function_v2(db, f.name, 1, kFlags, nullptr, f.call, nullptr,
                                                nullptr, nullptr);
    if (code != SQLITE_OK) ThrowSqliteError(db, code, "SqliteConnection", f.name);
  }
}

}  // namespace qts::db
