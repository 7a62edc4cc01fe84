#include "db/transaction.h"

#include <fmt/format.h>

#include <vector>

#include "db/connection.h"
#include "db/db_error.h"

namespace qts::db {

Transaction::Transaction(Connection& connection) : connection_(connection) {
  connection_.Begin();
  level_ = connection_.levels_.size() - 1;
  serial_ = connection_.levels_.back();
}

Transaction::~Transaction() noexcept {
  if (!IsOpen()) return;
  try {
    Rollback();
  } catch (...) {
    // Nothing sensible is left to do in a destructor; see the declaration.
  }
}

bool Transaction::IsOpen() const noexcept {
  const std::vector<uint64_t>& levels = connection_.levels_;
  return level_ < levels.size() && levels[level_] == serial_;
}

void Transaction::RequireOpen(const char* action) const {
  if (IsOpen()) return;
  throw DatabaseError(kErrDbMisuse, "Transaction",
                      fmt::format("{} of a transaction that has already ended", action), 0, {});
}

void Transaction::Commit() {
  RequireOpen("Commit");
  if (connection_.levels_.size() != level_ + 1) {
    throw DatabaseError(kErrDbMisuse, "Transaction",
                        "Commit of a transaction while an inner transaction is still open", 0, {});
  }
  connection_.Commit();
}

void Transaction::Rollback() {
  RequireOpen("Rollback");
  while (IsOpen()) connection_.Rollback();
}

}  // namespace qts::db
