#include "db/connection.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "db/db_error.h"

namespace qts::db {

namespace {

constexpr const char* kSource = "Connection";

[[noreturn]] void ThrowMisuse(std::string description) {
  throw DatabaseError(kErrDbMisuse, kSource, std::move(description), 0, {});
}

std::string SavepointName(size_t depth) { return fmt::format("qts_sp_{}", depth); }

}  // namespace

// --- StatementHandle ---

StatementHandle::StatementHandle(std::unique_ptr<Statement> statement,
                                 std::weak_ptr<StatementCache> cache)
    : statement_(std::move(statement)), cache_(std::move(cache)) {}

StatementHandle& StatementHandle::operator=(StatementHandle&& other) noexcept {
  if (this != &other) {
    Release();
    statement_ = std::move(other.statement_);
    cache_ = std::move(other.cache_);
  }
  return *this;
}

StatementHandle::~StatementHandle() { Release(); }

void StatementHandle::Release() noexcept {
  if (!statement_) return;
  std::unique_ptr<Statement> statement = std::move(statement_);
  if (std::shared_ptr<StatementCache> cache = cache_.lock()) {
    statement->Reset();
    statement->ClearBindings();
    cache->Put(std::move(statement));
  }
  // Otherwise the connection is gone and the statement is finalised here.
}

// --- StatementCache ---

std::unique_ptr<Statement> StatementCache::Take(std::string_view sql) {
  auto found = index_.find(sql);
  if (found == index_.end() || found->second.empty()) return nullptr;
  Lru::iterator it = found->second.back();
  // The emptied entry stays: the statement comes back to it, and a row-at-a-time caller's
  // Take/Put round trip then allocates nothing.
  found->second.pop_back();
  std::unique_ptr<Statement> statement = std::move(*it);
  if (spare_.empty()) {
    spare_.splice(spare_.begin(), lru_, it);
  } else {
    lru_.erase(it);
  }
  return statement;
}

void StatementCache::Put(std::unique_ptr<Statement> statement) noexcept {
  if (capacity_ == 0) return;
  try {
    auto found = index_.find(std::string_view(statement->Sql()));
    if (found == index_.end()) found = index_.try_emplace(statement->Sql()).first;
    try {
      found->second.reserve(found->second.size() + 1);
      if (spare_.empty()) {
        lru_.push_front(std::move(statement));
      } else {
        lru_.splice(lru_.begin(), spare_, spare_.begin());
        lru_.front() = std::move(statement);
      }
    } catch (...) {
      if (found->second.empty()) index_.erase(found);
      throw;
    }
    found->second.push_back(lru_.begin());  // cannot throw: capacity reserved above
  } catch (...) {
    return;  // out of memory: the statement is simply not kept
  }
  while (lru_.size() > capacity_) {
    auto last = std::prev(lru_.end());
    Unindex(last);
    lru_.erase(last);
  }
}

void StatementCache::Unindex(Lru::iterator it) noexcept {
  auto found = index_.find(std::string_view((*it)->Sql()));
  if (found == index_.end()) return;
  auto& entries = found->second;
  entries.erase(std::remove(entries.begin(), entries.end(), it), entries.end());
  if (entries.empty()) index_.erase(found);
}

void StatementCache::Clear() noexcept {
  index_.clear();
  lru_.clear();
  spare_.clear();
}

// --- Connection ---

Connection::Connection(size_t statement_cache_capacity)
    : cache_(std::make_shared<StatementCache>(statement_cache_capacity)) {}

Connection::~Connection() = default;

StatementHandle Connection::Prepare(std::string_view sql) {
  std::unique_ptr<Statement> statement = cache_->Take(sql);
  if (!statement) statement = PrepareStatement(sql);
  return StatementHandle(std::move(statement), cache_);
}

int64_t Connection::Execute(std::string_view sql, std::initializer_list<Value> params) {
  StatementHandle statement = Prepare(sql);
  if (static_cast<int>(params.size()) != statement->ParameterCount()) {
    throw DatabaseError(kErrDbMisuse, kSource,
                        DescribeWithSql(fmt::format("{} value(s) given for {} parameter(s)",
                                                    params.size(), statement->ParameterCount()),
                                        sql),
                        0, std::string(sql));
  }
  statement->BindAll(params);
  statement->Run();
  return Changes();
}

bool Connection::DropLevelsIfBackendEnded() noexcept {
  if (levels_.empty() || BackendInTransaction()) return false;
  levels_.clear();
  ++rollbacks_;
  return true;
}

void Connection::Begin() {
  // A transaction the backend ended on its own leaves stale levels behind; the new Begin
  // starts afresh rather than setting a savepoint in a transaction that is gone.
  DropLevelsIfBackendEnded();
  // Single statements go through the statement cache: a write that sets a savepoint of its
  // own per row does not parse it each time.
  if (levels_.empty()) {
    Prepare(BeginSql())->Run();
    try {
      AfterBegin();
    } catch (...) {
      try {
        Execute("ROLLBACK");
      } catch (...) {
        // The failure being raised says more than the rollback's.
      }
      throw;
    }
  } else {
    Prepare(fmt::format("SAVEPOINT {}", SavepointName(levels_.size())))->Run();
  }
  levels_.push_back(NextSerial());
}

void Connection::Commit() {
  if (levels_.empty()) ThrowMisuse("Commit without an open transaction");
  if (DropLevelsIfBackendEnded()) {
    throw DatabaseError(kErrDatabase, kSource,
                        "The transaction cannot be committed: the database already rolled it "
                        "back after an earlier error",
                        0, {});
  }
  if (levels_.size() == 1) {
    Prepare("COMMIT")->Run();
  } else {
    Prepare(fmt::format("RELEASE SAVEPOINT {}", SavepointName(levels_.size() - 1)))->Run();
  }
  levels_.pop_back();
}

void Connection::Rollback() {
  if (levels_.empty()) ThrowMisuse("Rollback without an open transaction");
  if (DropLevelsIfBackendEnded()) return;
  ++rollbacks_;
  try {
    if (levels_.size() == 1) {
      Execute("ROLLBACK");
    } else {
      std::string name = SavepointName(levels_.size() - 1);
      Execute(fmt::format("ROLLBACK TO SAVEPOINT {0}; RELEASE SAVEPOINT {0}", name));
    }
  } catch (...) {
    DropLevelsIfBackendEnded();
    throw;
  }
  levels_.pop_back();
}

}  // namespace qts::db
