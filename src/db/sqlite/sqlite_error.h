// Turning SQLite result codes into the backend layer's errors. Internal to the SQLite backend.
#ifndef QTS_DB_SQLITE_SQLITE_ERROR_H_
#define QTS_DB_SQLITE_SQLITE_ERROR_H_

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

namespace qts::db {

// kErrConstraint, kErrBusy, kErrDbMisuse or kErrDatabase for an SQLite result code.
int32_t ErrorNumberForSqliteCode(int code) noexcept;

// SQLite's `message` with the extended `code` as the layer shows it; a lock that outlasted the
// busy timeout also says what happened and that the work may be retried.
std::string SqliteErrorText(int code, std::string_view message);

// Raises a DatabaseError for the failed call that returned `code` on `db` (which may be
// null). The description holds SQLite's message (from `db` when it has one, else the
// generic text of `code`), the extended code and the SQL.
[[noreturn]] void ThrowSqliteError(sqlite3* db, int code, std::string_view source,
                                   std::string_view sql);

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_SQLITE_ERROR_H_
