#include "db/transaction.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "core/testing/qts_matchers.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/sqlite/sqlite_connection.h"

namespace qts::db {
namespace {

class TransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_ = SqliteConnection::Open(SqliteConnection::kMemory);
    connection_->Execute("CREATE TABLE t(a INTEGER UNIQUE)");
  }

  void Insert(int64_t a) { connection_->Execute("INSERT INTO t VALUES (?)", {a}); }

  // The values in t, ascending, as "1,2,3" ("" when empty).
  std::string Rows() {
    StatementHandle statement = connection_->Prepare(
        "SELECT coalesce(group_concat(a), '') FROM (SELECT a FROM t "
        "ORDER BY a)");
    EXPECT_TRUE(statement->Step());
    return statement->GetText(0);
  }

  std::unique_ptr<SqliteConnection> connection_;
};

TEST_F(TransactionTest, CommitKeepsTheWork) {
  {
    Transaction transaction(*connection_);
    EXPECT_EQ(connection_->TransactionDepth(), 1);
    Insert(1);
    Insert(2);
    transaction.Commit();
    EXPECT_FALSE(transaction.IsOpen());
  }
  EXPECT_EQ(connection_->TransactionDepth(), 0);
  EXPECT_EQ(Rows(), "1,2");
}

TEST_F(TransactionTest, LeavingTheScopeWithoutCommitRollsBack) {
  {
    Transaction transaction(*connection_);
    Insert(1);
  }
  EXPECT_EQ(Rows(), "");
  EXPECT_EQ(connection_->TransactionDepth(), 0);
}

TEST_F(TransactionTest, AnExceptionRollsEverythingBack) {
  Insert(1);
  EXPECT_QTS_ERROR(
      [&] {
        Transaction transaction(*connection_);
        Insert(2);
        Insert(3);
        Insert(1);  // duplicate: raises
        transaction.Commit();
      }(),
      kErrConstraint);
  EXPECT_EQ(Rows(), "1");
  EXPECT_EQ(connection_->TransactionDepth(), 0);
}

TEST_F(TransactionTest, InnerRollbackKeepsTheOuterWork) {
  {
    Transaction outer(*connection_);
    Insert(1);
    {
      Transaction inner(*connection_);
      EXPECT_EQ(inner.Level(), 1u);
      EXPECT_EQ(connection_->TransactionDepth(), 2);
      Insert(2);
    }  // rolled back to the savepoint
    EXPECT_EQ(connection_->TransactionDepth(), 1);
    Insert(3);
    outer.Commit();
  }
  EXPECT_EQ(Rows(), "1,3");
}

TEST_F(TransactionTest, InnerCommitStillDependsOnTheOuter) {
  {
    Transaction outer(*connection_);
    {
      Transaction inner(*connection_);
      Insert(1);
      inner.Commit();
    }
    EXPECT_EQ(Rows(), "1");
  }  // outer rolls back, taking the committed inner work with it
  EXPECT_EQ(Rows(), "");
}

TEST_F(TransactionTest, ThreeLevelsUnwindIndependently) {
  {
    Transaction level0(*connection_);
    Insert(1);
    {
      Transaction level1(*connection_);
      Insert(2);
      {
        Transaction level2(*connection_);
        Insert(3);
        level2.Commit();
      }
      {
        Transaction level2_again(*connection_);  // same depth, a new savepoint
        Insert(4);
      }
      level1.Commit();
    }
    level0.Commit();
  }
  EXPECT_EQ(Rows(), "1,2,3");
}

TEST_F(TransactionTest, AFailedStatementInsideASavepointLeavesTheOuterUsable) {
  Transaction outer(*connection_);
  Insert(1);
  try {
    Transaction inner(*connection_);
    Insert(2);
    Insert(1);  // raises
    inner.Commit();
  } catch (const DatabaseError&) {
  }
  Insert(5);
  outer.Commit();
  EXPECT_EQ(Rows(), "1,5");
}

TEST_F(TransactionTest, OuterRollbackEndsInnerLevelsStillOpen) {
  Transaction outer(*connection_);
  Insert(1);
  auto inner = std::make_unique<Transaction>(*connection_);
  Insert(2);
  outer.Rollback();
  EXPECT_EQ(connection_->TransactionDepth(), 0);
  EXPECT_FALSE(inner->IsOpen());
  EXPECT_THROW(inner->Commit(), DatabaseError);
  {
    // A new transaction at the same depth is not mistaken for the stale inner one.
    Transaction next(*connection_);
    Transaction next_inner(*connection_);
    EXPECT_FALSE(inner->IsOpen());
    inner.reset();  // must not roll back next_inner
    EXPECT_TRUE(next_inner.IsOpen());
    Insert(7);
    next_inner.Commit();
    next.Commit();
  }
  EXPECT_EQ(Rows(), "7");
}

TEST_F(TransactionTest, MisuseIsRefused) {
  {
    Transaction outer(*connection_);
    Transaction inner(*connection_);
    EXPECT_QTS_ERROR(outer.Commit(), kErrDbMisuse);  // inner still open
    EXPECT_TRUE(outer.IsOpen());
    inner.Commit();
    outer.Commit();
    EXPECT_THROW(outer.Commit(), DatabaseError);
    EXPECT_THROW(outer.Rollback(), DatabaseError);
  }
  EXPECT_THROW(connection_->Commit(), DatabaseError);
  EXPECT_THROW(connection_->Rollback(), DatabaseError);
}

TEST_F(TransactionTest, ConnectionLevelCallsNestToo) {
  connection_->Begin();
  Insert(1);
  connection_->Begin();
  Insert(2);
  connection_->Rollback();
  connection_->Commit();
  EXPECT_EQ(Rows(), "1");
}

TEST_F(TransactionTest, CommitAfterTheDatabaseEndedTheTransactionIsAnError) {
  Transaction transaction(*connection_);
  Insert(1);
  // Ended behind the connection's back, as SQLite does itself after an I/O error.
  connection_->Prepare("ROLLBACK")->Run();
  EXPECT_QTS_ERROR_TEXT(transaction.Commit(), kErrDatabase, "rolled it back");

  EXPECT_EQ(connection_->TransactionDepth(), 0);
  EXPECT_EQ(Rows(), "");
  Transaction next(*connection_);  // a fresh transaction starts cleanly
  Insert(2);
  next.Commit();
  EXPECT_EQ(Rows(), "2");
}

TEST_F(TransactionTest, ExceptionThroughNestedScopesLeavesNothing) {
  auto work = [&] {
    Transaction outer(*connection_);
    Insert(1);
    Transaction inner(*connection_);
    Insert(2);
    throw std::runtime_error("step failed");
  };
  EXPECT_THROW(work(), std::runtime_error);
  EXPECT_EQ(connection_->TransactionDepth(), 0);
  EXPECT_EQ(Rows(), "");
}

}  // namespace
}  // namespace qts::db
