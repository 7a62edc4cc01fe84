#include "db/sqlite/sqlite_connection.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <utility>

#include "core/log.h"
#include "db/db_error.h"
#include "db/sqlite/crash_point.h"
#include "db/sqlite/money_functions.h"
#include "db/sqlite/qts_round.h"
#include "db/sqlite/sqlite_error.h"
#include "db/sqlite/sqlite_statement.h"
#include "db/sqlite/text_functions.h"
#include "db/trace.h"

namespace qts::db {

namespace {

constexpr const char* kSource = "SqliteConnection";

// SQLite counts every allocation for its memory statistics, under a lock shared by the whole
// process. Nothing here reads the statistics, and the counting costs a long report between a
// twentieth and a tenth of its time. It can be turned off only before SQLite starts, so the first
// open of the process does it; should SQLite have been started already, the call is refused and the
// counting stays, which changes nothing but the speed.
void StopMemoryStatistics() {
  static const int result = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)result;
}

}  // namespace

void SqliteConnection::Closer::operator()(sqlite3* db) const noexcept {
  // _v2: statements still lent out keep the handle alive until they are finalised.
  sqlite3_close_v2(db);
}

SqliteConnection::SqliteConnection(std::string path, std::unique_ptr<sqlite3, Closer> db,
                                   size_t cache_capacity)
    : Connection(cache_capacity), path_(std::move(path)), db_(std::move(db)) {}

SqliteConnection::~SqliteConnection() {
  // Idle statements are finalised before the handle closes, so the close is immediate.
  ClearStatementCache();
}

std::chrono::milliseconds DefaultBusyTimeout() {
  static const std::chrono::milliseconds timeout = [] {
    const char* text = std::getenv("QTS_BUSY_TIMEOUT");
    if (text != nullptr && *text != '\0') {
      char* end = nullptr;
      const double seconds = std::strtod(text, &end);
      if (*end == '\0' && seconds >= 0 && seconds <= 86400) {
        return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
      }
    }
    return std::chrono::milliseconds(10'000);
  }();
  return timeout;
}

std::unique_ptr<SqliteConnection> SqliteConnection::Open(std::string_view path,
                                                         const SqliteOptions& options) {
  StopMemoryStatistics();
  std::string file(path);
  if (file.empty()) {
    throw DatabaseError(kErrDatabase, kSource, "No database path given", 0, {});
  }
  int flags =
      SQLITE_OPEN_NOMUTEX |
      (options.read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  sqlite3* raw = nullptr;
  int code = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  std::unique_ptr<sqlite3, Closer> db(raw);  // a failed open may still allocate a handle
  if (code != SQLITE_OK) {
    std::string message = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(code);
    throw DatabaseError(
        ErrorNumberForSqliteCode(code), kSource,
        fmt::format("Cannot open the database '{}': {} [SQLite {}]", file, message, code), code,
        {});
  }
  sqlite3_extended_result_codes(db.get(), 1);
  std::unique_ptr<SqliteConnection> connection(
      new SqliteConnection(file, std::move(db), options.statement_cache_capacity));
  try {
    connection->Configure(options);
  } catch (const DatabaseError& e) {
    // The first statements read the file and turn on write-ahead logging: the usual ways a
    // file cannot be a book show here, and are said in the user's terms.
    switch (e.BackendCode() & 0xff) {
      case SQLITE_NOTADB:
        throw DatabaseError(
            e.Number(), kSource,
            fmt::format("'{}' is not an SQLite database: file is not a database [SQLite {}]", file,
                        e.BackendCode()),
            e.BackendCode(), e.Sql());
      case SQLITE_READONLY:
      case SQLITE_CANTOPEN:
      case SQLITE_PERM:
        throw DatabaseError(e.Number(), kSource,
                            fmt::format("'{}' cannot be written (the file or its folder is "
                                        "read-only); books are opened for writing [SQLite {}]",
                                        file, e.BackendCode()),
                            e.BackendCode(), e.Sql());
      default:
        throw;
    }
  }
  return connection;
}

void SqliteConnection::Configure(const SqliteOptions& options) {
  auto timeout = options.busy_timeout.count();
  int busy_ms = timeout < 0 ? 0 : timeout > INT_MAX ? INT_MAX : static_cast<int>(timeout);
  sqlite3_busy_timeout(db_.get(), busy_ms);
  // Reading the schema here also proves the file is a database: a foreign file fails now
  // rather than at the first query.
  Execute("PRAGMA foreign_keys = ON; SELECT count(*) FROM sqlite_schema");
  // Books run to hundreds of megabytes: a 64 MiB page cache (SQLite's default is 2 MiB) keeps
  // the indexes a month's work touches in memory. Pages are taken only as they are read.
  Execute("PRAGMA cache_size = -65536");
  if (!IsMemory() && !options.read_only) {
    StatementHandle mode = Prepare("PRAGMA journal_mode = WAL");
    std::string result = mode->Step() ? mode->GetText(0) : std::string();
    if (result != "wal") {
      throw DatabaseError(kErrDatabase, kSource,
                          fmt::format("The database '{}' cannot use write-ahead logging "
                                      "(journal mode stays '{}')",
                                      path_, result),
                          0, "PRAGMA journal_mode = WAL");
    }
    Execute("PRAGMA synchronous = NORMAL");
  }
  RegisterQtsRound(db_.get());
  RegisterMoneyFunctions(db_.get());
  RegisterTextFunctions(db_.get());
}

void SqliteConnection::Execute(std::string_view sql) {
  if (sql.size() > static_cast<size_t>(INT_MAX)) {
    throw DatabaseError(kErrDbMisuse, kSource, "The SQL text is too long to run", 0, {});
  }
  const auto start = std::chrono::steady_clock::now();
  const char* next = sql.data();
  const char* end = sql.data() + sql.size();
  while (next < end) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int code = sqlite3_prepare_v2(db_.get(), next, static_cast<int>(end - next), &raw, &tail);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, &sqlite3_finalize);
    std::string_view current(next, static_cast<size_t>((tail != nullptr ? tail : end) - next));
    if (code != SQLITE_OK) ThrowSqliteError(db_.get(), code, kSource, current);
    if (!stmt) break;  // only blanks and comments remain
    while ((code = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (code != SQLITE_DONE) ThrowSqliteError(db_.get(), code, kSource, current);
    if (CrashPointSet()) NoteFinishedStatement(stmt.get());
    next = tail;
  }
  if (SqlTraceOn()) TraceScript(sql, std::chrono::steady_clock::now() - start);
}

void SqliteConnection::HintLargeWrite(bool starting) {
  if (starting) {
    StatementHandle size = Prepare("PRAGMA cache_size");
    cache_size_before_large_write_ = size->Step() ? size->GetInt64(0) : 0;
    Execute("PRAGMA cache_size = -524288");  // 512 MiB, taken only as pages are read
  } else if (cache_size_before_large_write_ != 0) {
    Execute(fmt::format("PRAGMA cache_size = {}", cache_size_before_large_write_));
  }
}

std::vector<std::string> SqliteConnection::TableNames() {
  std::vector<std::string> names;
  StatementHandle statement = Prepare(
      "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
      "ESCAPE '\\' ORDER BY name");
  while (statement->Step()) names.push_back(statement->GetText(0));
  return names;
}

int64_t SqliteConnection::LastInsertId() const { return sqlite3_last_insert_rowid(db_.get()); }

int64_t SqliteConnection::Changes() const { return sqlite3_changes64(db_.get()); }

std::unique_ptr<Statement> SqliteConnection::PrepareStatement(std::string_view sql) {
  return std::make_unique<SqliteStatement>(db_.get(), sql);
}

bool SqliteConnection::BackendInTransaction() const noexcept {
  return sqlite3_get_autocommit(db_.get()) == 0;
}

}  // namespace qts::db
