// The embedded backend: a book in an SQLite file (or in memory, for tests and scratch work).
#ifndef QTS_DB_SQLITE_SQLITE_CONNECTION_H_
#define QTS_DB_SQLITE_SQLITE_CONNECTION_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/connection.h"

struct sqlite3;

namespace qts::db {

// How long a connection waits for a database another process holds: QTS_BUSY_TIMEOUT seconds
// (a whole or decimal number, read once), else 10 seconds.
std::chrono::milliseconds DefaultBusyTimeout();

struct SqliteOptions {
  // How long a write waits for another connection or process that holds the database
  // before it fails with kErrBusy.
  std::chrono::milliseconds busy_timeout = DefaultBusyTimeout();
  // Opens an existing file for reading only; nothing is created and no pragma is written.
  bool read_only = false;
  size_t statement_cache_capacity = Connection::kDefaultStatementCacheCapacity;
};

class SqliteConnection final : public Connection {
 public:
  static constexpr std::string_view kMemory = ":memory:";

  // Opens (creating when missing, unless read-only) the database file at `path`, or a
  // private in-memory database for kMemory. A file is switched to write-ahead logging with
  // synchronous=NORMAL, so readers do not block the writer and several processes can share
  // it; every connection enforces foreign keys and waits up to the busy timeout for locks.
  // The SQL function qts_round(x, n) is available on the connection (see RegisterQtsRound),
  // and UPPER and LOWER change the case of every letter (see RegisterTextFunctions).
  // Raises DatabaseError when the file cannot be opened or is not a database.
  [[nodiscard]] static std::unique_ptr<SqliteConnection> Open(std::string_view path,
                                                              const SqliteOptions& options = {});
  ~SqliteConnection() override;

  std::string_view Dialect() const noexcept override { return "sqlite"; }
  using Connection::Execute;
  void Execute(std::string_view sql) override;
  std::vector<std::string> TableNames() override;
  void HintLargeWrite(bool starting) override;
  int64_t LastInsertId() const override;
  int64_t Changes() const override;

  const std::string& Path() const noexcept { return path_; }
  bool IsMemory() const noexcept { return path_ == kMemory; }
  // The raw handle, for SQLite-specific work the interface does not cover. The connection
  // keeps ownership; do not close it.
  sqlite3* Handle() const noexcept { return db_.get(); }

 protected:
  std::unique_ptr<Statement> PrepareStatement(std::string_view sql) override;
  // IMMEDIATE: the write lock is taken at BEGIN, where the busy timeout applies, instead of
  // at the first write, where a deferred transaction that has read an older snapshot could
  // only fail.
  std::string_view BeginSql() const noexcept override { return "BEGIN IMMEDIATE"; }
  bool BackendInTransaction() const noexcept override;

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept;
  };
  SqliteConnection(std::string path, std::unique_ptr<sqlite3, Closer> db, size_t cache_capacity);
  void Configure(const SqliteOptions& options);

  std::string path_;
  std::unique_ptr<sqlite3, Closer> db_;
  int64_t cache_size_before_large_write_ = 0;
};

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_SQLITE_CONNECTION_H_
