// The server backend: a book on a PostgreSQL server, reached through libpq.
//
// How the host's statements meet the server:
// - Parameters. Statements number their parameters as the host writes them (?1, ?, :name) or
//   as the server does ($1); the backend prepares them with $n. Each prepared statement is a
//   server-side prepared statement, kept in the connection's statement cache, so a row-at-a-
//   time caller neither parses nor plans again. Parameter types are left to the server,
//   which infers them from where each one stands; values travel as text (bytes as binary).
// - Rows. A statement's result is fetched whole when it first steps. Integers (smallint,
//   integer, bigint, boolean as 1/0) read as integers, double precision and NUMERIC as reals,
//   bytea as bytes, every other type as the server's text: dates as ISO "2026-01-31" (the
//   session's DateStyle is ISO), as the SQLite backend keeps them.
// - Inserted keys. An INSERT into a table with an identity column returns that column, and
//   LastInsertId() is the last value it returned on this connection, as SQLite's rowid.
// - Writers. The outermost transaction takes the writer lock of the connection's schema (a
//   transaction-scoped advisory lock) right after BEGIN, so writers of one database follow
//   each other as they do on SQLite, and what one writer read (free quantities, the next document
//   number) is still true when it writes. Readers outside a transaction never wait.
// - Errors carry the server's SQLSTATE: class 23 is kErrConstraint; serialization failures,
//   deadlocks and lock time-outs are kErrBusy. A statement that fails inside a transaction
//   leaves the server's transaction failed until the innermost level is rolled back, as
//   savepoints make possible.
#ifndef QTS_DB_POSTGRES_PG_CONNECTION_H_
#define QTS_DB_POSTGRES_PG_CONNECTION_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/connection.h"

struct pg_conn;

namespace qts::db {

struct PgOptions {
  size_t statement_cache_capacity = Connection::kDefaultStatementCacheCapacity;
};

// True when `address` names a PostgreSQL server rather than an SQLite file: a URI
// ("postgresql://user@host:5432/db", "postgres://...") or a libpq connection string
// ("host=/tmp dbname=books user=qts").
bool IsServerAddress(std::string_view address) noexcept;

// The server an address names, for messages: "postgresql://user@host:port/dbname", with the
// password never included. An address that does not parse is described as "(unreadable
// connection string)".
std::string DescribeServer(std::string_view address);

class PgConnection final : public Connection {
 public:
  // Connects to the server at `address` (see IsServerAddress). Raises DatabaseError
  // (kErrDatabase) naming the server, never its password, when the server cannot be reached
  // or refuses the login.
  [[nodiscard]] static std::unique_ptr<PgConnection> Open(std::string_view address,
                                                          const PgOptions& options = {});
  ~PgConnection() override;

  std::string_view Dialect() const noexcept override { return "postgres"; }
  using Connection::Execute;
  void Execute(std::string_view sql) override;
  std::vector<std::string> TableNames() override;
  int64_t LastInsertId() const override { return last_insert_id_; }
  int64_t Changes() const override { return changes_; }

  // Calls `trace` with the text of every statement prepared or run as a script from now on
  // (null: no more), to find what an operation sent to the server.
  void SetTrace(std::function<void(const std::string&)> trace) { trace_ = std::move(trace); }

  // The server, as DescribeServer gives it.
  const std::string& Server() const noexcept { return server_; }
  // The raw handle, for server work the interface does not cover. The connection keeps
  // ownership.
  pg_conn* Handle() const noexcept { return conn_.get(); }

  // --- For PgStatement ---
  // Points at this connection until it closes, then at null.
  const std::shared_ptr<PgConnection*>& Link() const noexcept { return link_; }
  // A fresh name for a server-side prepared statement.
  std::string NextStatementName();
  // The identity column of a table as an INSERT names it (quoted or not), empty when it has
  // none; asked of the server once per table.
  const std::string& IdentityColumn(const std::string& table);
  void SetChanges(int64_t changes) noexcept { changes_ = changes; }
  void SetLastInsertId(int64_t id) noexcept { last_insert_id_ = id; }

 protected:
  std::unique_ptr<Statement> PrepareStatement(std::string_view sql) override;
  bool BackendInTransaction() const noexcept override;
  void AfterBegin() override;

 private:
  struct Finisher {
    void operator()(pg_conn* conn) const noexcept;
  };
  PgConnection(std::string server, std::unique_ptr<pg_conn, Finisher> conn, size_t cache_capacity);

  std::string server_;
  std::unique_ptr<pg_conn, Finisher> conn_;
  std::shared_ptr<PgConnection*> link_;
  uint64_t statement_serial_ = 0;
  int64_t changes_ = 0;
  int64_t last_insert_id_ = 0;
  std::unordered_map<std::string, std::string> identity_columns_;
  std::function<void(const std::string&)> trace_;
};

}  // namespace qts::db

#endif  // QTS_DB_POSTGRES_PG_CONNECTION_H_
