// The backend interface: one open database (an SQLite file or memory, or a PostgreSQL server,
// chosen by db::OpenDatabase from the address) seen through a connection. Callers above this
// layer talk only to Connection, Statement and Transaction, so a new backend adds a subclass
// and touches no caller.
//
// The SQL given to a connection is already in its backend's dialect (Dialect()). Above this
// layer it comes from the translator (AppContext::PrepareTsql and ExecuteTsql, the query
// builder) or from the schema layer's DDL, never written by hand; the one-road test holds the
// sources to that. A backend's statements report each run to the statement trace (db/trace.h)
// while it is on.
//
// A connection is used from one thread at a time. Several connections, in one process or
// many, may open the same database; the backend serialises their writes.
#ifndef QTS_DB_CONNECTION_H_
#define QTS_DB_CONNECTION_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/statement.h"
#include "db/value.h"

namespace qts::db {

class Connection;
class StatementCache;

// A prepared statement lent by the connection's cache. Move-only. When the handle goes
// away the statement is reset, its bindings cleared, and it returns to the cache, so the
// next Prepare of the same SQL reuses it without parsing again. A handle must not outlive
// its connection's use: once the connection is closed, the statement only finalises.
class StatementHandle {
 public:
  StatementHandle() = default;
  StatementHandle(StatementHandle&& other) noexcept = default;
  StatementHandle& operator=(StatementHandle&& other) noexcept;
  ~StatementHandle();

  Statement* operator->() const noexcept { return statement_.get(); }
  Statement& operator*() const noexcept { return *statement_; }
  Statement* get() const noexcept { return statement_.get(); }
  explicit operator bool() const noexcept { return statement_ != nullptr; }

 private:
  friend class Connection;
  StatementHandle(std::unique_ptr<Statement> statement, std::weak_ptr<StatementCache> cache);
  void Release() noexcept;

  std::unique_ptr<Statement> statement_;
  std::weak_ptr<StatementCache> cache_;
};

// Idle prepared statements keyed by SQL text, least recently used evicted first.
class StatementCache {
 public:
  explicit StatementCache(size_t capacity) : capacity_(capacity) {}

  // An idle statement prepared from exactly `sql`, or null.
  std::unique_ptr<Statement> Take(std::string_view sql);
  // Keeps `statement` for reuse (it must already be reset), evicting beyond capacity.
  void Put(std::unique_ptr<Statement> statement) noexcept;
  void Clear() noexcept;
  size_t Size() const noexcept { return lru_.size(); }
  size_t Capacity() const noexcept { return capacity_; }

 private:
  using Lru = std::list<std::unique_ptr<Statement>>;  // front: most recently returned
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };
  void Unindex(Lru::iterator it) noexcept;

  size_t capacity_;
  Lru lru_;
  // Emptied list nodes kept for the next Put, so a Take/Put round trip allocates nothing.
  Lru spare_;
  // Every idle statement of one SQL text (several when handles to it overlapped). An entry
  // may be empty while its statements are lent out.
  std::unordered_map<std::string, std::vector<Lru::iterator>, Hash, std::equal_to<>> index_;
};

class Connection {
 public:
  static constexpr size_t kDefaultStatementCacheCapacity = 256;

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  virtual ~Connection();

  // "sqlite" or "postgres": the SQL dialect the translator emits for this connection.
  virtual std::string_view Dialect() const noexcept = 0;

  // A prepared statement for `sql` (one statement), from the cache when an idle one exists,
  // parsed otherwise. Raises DatabaseError when the SQL does not prepare.
  [[nodiscard]] StatementHandle Prepare(std::string_view sql);
  // Runs one statement with `params` bound to ?1..?n, to completion. Returns Changes().
  // Raises kErrDbMisuse unless there is exactly one value per parameter.
  int64_t Execute(std::string_view sql, std::initializer_list<Value> params);
  // Runs every statement of `sql` in order (DDL scripts, several statements separated by
  // ';'), discarding rows. Stops at the first failing statement and raises its error; the
  // statements before it stay done, unless the caller wraps the call in a Transaction.
  virtual void Execute(std::string_view sql) = 0;

  // Brackets a write of many rows in one transaction (a sample or copied book): true before,
  // false after. The SQLite backend enlarges its page cache for the duration, so the pages of
  // the growing transaction stay in memory until the commit; others need nothing.
  virtual void HintLargeWrite(bool /*starting*/) {}

  // The names of the database's tables (on a server: those of the connection's schema),
  // sorted.
  virtual std::vector<std::string> TableNames() = 0;

  // The rowid / serial of the row the last successful INSERT on this connection made.
  virtual int64_t LastInsertId() const = 0;
  // Rows changed by the last INSERT, UPDATE or DELETE on this connection.
  virtual int64_t Changes() const = 0;

  // Transactions, innermost first. Begin at depth 0 starts a transaction; at depth n > 0 it
  // sets a savepoint. Commit releases the innermost level (committing at depth 1); Rollback
  // undoes the innermost level's work and ends it. Prefer the Transaction class, which ends
  // its level on scope exit. Commit or Rollback with no open level raises kErrDbMisuse.
  void Begin();
  void Commit();
  void Rollback();
  int TransactionDepth() const noexcept { return static_cast<int>(levels_.size()); }
  // How many levels have been rolled back (or ended by the backend) so far: a reader that
  // remembers what it wrote can tell whether the database may have undone it since.
  uint64_t RollbackCount() const noexcept { return rollbacks_; }

  size_t CachedStatementCount() const noexcept { return cache_->Size(); }
  // Finalises every idle cached statement (statements lent out stay valid).
  void ClearStatementCache() noexcept { cache_->Clear(); }

 protected:
  explicit Connection(size_t statement_cache_capacity = kDefaultStatementCacheCapacity);

  // Parses `sql` into a new statement of this backend.
  virtual std::unique_ptr<Statement> PrepareStatement(std::string_view sql) = 0;
  // The statement that starts an outermost transaction ("BEGIN").
  virtual std::string_view BeginSql() const noexcept { return "BEGIN"; }
  // Whether the backend is inside a transaction. A backend that ends a transaction on its
  // own after some errors (SQLite rolls back on a full disk or an I/O error) reports false,
  // and the open levels are dropped instead of committing or rolling back a transaction
  // that no longer exists.
  virtual bool BackendInTransaction() const noexcept = 0;
  // Runs right after an outermost transaction began (a server backend takes its writer lock
  // here). A failure rolls the new transaction back and is raised by Begin.
  virtual void AfterBegin() {}

 private:
  friend class Transaction;

  // A serial for each open level, innermost last: a Transaction recognises its own level
  // even after an outer rollback ended it and a new level reused its depth.
  uint64_t NextSerial() noexcept { return ++last_serial_; }
  bool DropLevelsIfBackendEnded() noexcept;

  std::shared_ptr<StatementCache> cache_;
  std::vector<uint64_t> levels_;
  uint64_t last_serial_ = 0;
  uint64_t rollbacks_ = 0;
};

}  // namespace qts::db

#endif  // QTS_DB_CONNECTION_H_
