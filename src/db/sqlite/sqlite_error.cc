#include "db/sqlite/sqlite_error.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <string>

#include "db/db_error.h"

namespace qts::db {

int32_t ErrorNumberForSqliteCode(int code) noexcept {
  switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
      return kErrConstraint;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kErrBusy;
    case SQLITE_MISUSE:
    case SQLITE_RANGE:
      return kErrDbMisuse;
    default:
      return kErrDatabase;
  }
}

std::string SqliteErrorText(int code, std::string_view message) {
  if ((code & 0xff) == SQLITE_BUSY) {
    return fmt::format(
        "{}: another process is writing the book and held it longer than this one waits "
        "(QTS_BUSY_TIMEOUT, default 10 seconds); nothing was written, try again [SQLite {}]",
        message, code);
  }
  return fmt::format("{} [SQLite {}]", message, code);
}

void ThrowSqliteError(sqlite3* db, int code, std::string_view source, std::string_view sql) {
  const char* message = nullptr;
  if (db != nullptr && sqlite3_errcode(db) != SQLITE_OK) message = sqlite3_errmsg(db);
  if (message == nullptr || *message == '\0') message = sqlite3_errstr(code);
  std::string text = SqliteErrorText(code, message);
  throw DatabaseError(ErrorNumberForSqliteCode(code), std::string(source),
                      DescribeWithSql(text, sql), code, std::string(sql));
}

}  // namespace qts::db
