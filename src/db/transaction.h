// A scoped transaction level on a connection. The outermost one is a real transaction;
// one opened while another is open on the same connection is a savepoint inside it, so a
// routine may open its own Transaction without knowing whether its caller already has one:
// rolling the inner level back undoes only the inner work.
//
//   {
//     Transaction t(connection);
//     ... writes ...
//     t.Commit();
//   }  // an exception before Commit() leaves the database as it was
#ifndef QTS_DB_TRANSACTION_H_
#define QTS_DB_TRANSACTION_H_

#include <cstddef>
#include <cstdint>

namespace qts::db {

class Connection;

// The connection must outlive the Transaction; both are used from the connection's thread.
class Transaction {
 public:
  // Opens a level (Connection::Begin). Raises what Begin raises, e.g. kErrBusy when another
  // writer holds the database past the busy timeout.
  explicit Transaction(Connection& connection);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Rolls the level back unless Commit() or Rollback() ended it. Never throws: a failing
  // rollback is swallowed (the backend then ends the transaction when the connection closes).
  ~Transaction() noexcept;

  // Makes the level's work part of the enclosing level (or durable, at the outermost level).
  // Raises kErrDbMisuse when the level has already ended or an inner level is still open.
  void Commit();
  // Undoes the level's work, and that of any inner level still open. Raises kErrDbMisuse
  // when the level has already ended.
  void Rollback();
  // False once Commit() or Rollback() ended this level, or an outer rollback ended it.
  bool IsOpen() const noexcept;
  // 0 for the outermost transaction, 1 for a savepoint inside it, ...
  size_t Level() const noexcept { return level_; }

 private:
  void RequireOpen(const char* action) const;

  Connection& connection_;
  size_t level_;
  uint64_t serial_;
};

}  // namespace qts::db

#endif  // QTS_DB_TRANSACTION_H_
