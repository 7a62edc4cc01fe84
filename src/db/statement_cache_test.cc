#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/sqlite/sqlite_connection.h"

namespace qts::db {
namespace {

std::unique_ptr<SqliteConnection> OpenWithRows(size_t cache_capacity = 256) {
  SqliteOptions options;
  options.statement_cache_capacity = cache_capacity;
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory, options);
  connection->Execute("CREATE TABLE t(a); INSERT INTO t VALUES (1), (2), (3)");
  return connection;
}

TEST(StatementCacheTest, ReturnsTheSamePreparedStatementResetAndCleared) {
  auto connection = OpenWithRows();
  const std::string sql = "SELECT a FROM t WHERE a >= ? ORDER BY a";
  Statement* first = nullptr;
  {
    StatementHandle statement = connection->Prepare(sql);
    first = statement.get();
    statement->Bind(1, 2);
    ASSERT_TRUE(statement->Step());
    EXPECT_EQ(statement->GetInt64(0), 2);  // left mid-way through its rows
  }
  EXPECT_EQ(connection->CachedStatementCount(), 1u);
  StatementHandle again = connection->Prepare(sql);
  EXPECT_EQ(again.get(), first);
  EXPECT_EQ(connection->CachedStatementCount(), 0u);  // lent out
  // Reset: it starts from its first row; cleared: the old binding (2) is gone, so
  // "a >= NULL" matches nothing.
  EXPECT_THROW((void)again->GetInt64(0), DatabaseError);
  EXPECT_FALSE(again->Step());
  again->Reset();
  again->Bind(1, 1);
  ASSERT_TRUE(again->Step());
  EXPECT_EQ(again->GetInt64(0), 1);
}

TEST(StatementCacheTest, KeyIsTheExactSqlText) {
  auto connection = OpenWithRows();
  Statement* lower = nullptr;
  {
    StatementHandle statement = connection->Prepare("SELECT a FROM t");
    lower = statement.get();
  }
  StatementHandle other = connection->Prepare("select a from t");
  EXPECT_NE(other.get(), lower);
  EXPECT_EQ(other->Sql(), "select a from t");
}

TEST(StatementCacheTest, OverlappingHandlesGetTheirOwnStatements) {
  auto connection = OpenWithRows();
  const std::string sql = "SELECT a FROM t ORDER BY a";
  StatementHandle outer = connection->Prepare(sql);
  ASSERT_TRUE(outer->Step());
  {
    // A nested caller running the same SQL must not disturb the outer iteration.
    StatementHandle inner = connection->Prepare(sql);
    EXPECT_NE(inner.get(), outer.get());
    int rows = 0;
    while (inner->Step()) ++rows;
    EXPECT_EQ(rows, 3);
  }
  ASSERT_TRUE(outer->Step());
  EXPECT_EQ(outer->GetInt64(0), 2);
  Statement* outer_statement = outer.get();
  outer = StatementHandle();  // returned: now two idle copies of the same SQL
  EXPECT_EQ(connection->CachedStatementCount(), 2u);
  StatementHandle a = connection->Prepare(sql);
  StatementHandle b = connection->Prepare(sql);
  EXPECT_TRUE(a.get() == outer_statement || b.get() == outer_statement);
  EXPECT_NE(a.get(), b.get());
  StatementHandle c = connection->Prepare(sql);  // none idle any more: a third one
  EXPECT_NE(c.get(), a.get());
  EXPECT_NE(c.get(), b.get());
  ASSERT_TRUE(c->Step());
  EXPECT_EQ(c->GetInt64(0), 1);
}

TEST(StatementCacheTest, EvictsTheLeastRecentlyUsedBeyondCapacity) {
  auto connection = OpenWithRows(2);
  Statement* one = nullptr;
  Statement* three = nullptr;
  { one = connection->Prepare("SELECT 1").get(); }
  { (void)connection->Prepare("SELECT 2"); }
  { three = connection->Prepare("SELECT 3").get(); }  // evicts "SELECT 1"
  EXPECT_EQ(connection->CachedStatementCount(), 2u);
  StatementHandle again3 = connection->Prepare("SELECT 3");
  EXPECT_EQ(again3.get(), three);
  StatementHandle again1 = connection->Prepare("SELECT 1");
  ASSERT_TRUE(again1->Step());
  EXPECT_EQ(again1->GetInt64(0), 1);
  (void)one;  // its address may be reused by the fresh statement; only the count is checked
  EXPECT_EQ(connection->CachedStatementCount(), 1u);  // only "SELECT 2" is idle
}

TEST(StatementCacheTest, ZeroCapacityKeepsNothing) {
  auto connection = OpenWithRows(0);
  { (void)connection->Prepare("SELECT 1"); }
  EXPECT_EQ(connection->CachedStatementCount(), 0u);
  StatementHandle statement = connection->Prepare("SELECT 1");
  ASSERT_TRUE(statement->Step());
}

TEST(StatementCacheTest, CachedStatementSeesSchemaChanges) {
  auto connection = OpenWithRows();
  { (void)connection->Prepare("SELECT * FROM t"); }
  connection->Execute("ALTER TABLE t ADD COLUMN b DEFAULT 'x'");
  StatementHandle statement = connection->Prepare("SELECT * FROM t");
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->ColumnCount(), 2);
  EXPECT_EQ(statement->GetText(1), "x");
}

TEST(StatementCacheTest, HandleMayOutliveItsConnection) {
  auto connection = OpenWithRows();
  StatementHandle statement = connection->Prepare("SELECT a FROM t");
  ASSERT_TRUE(statement->Step());
  connection.reset();  // the handle only finalises its statement afterwards
  // The handle only finalises its statement now; run under a sanitizer this catches a
  // statement returned into a destroyed cache or finalised after the handle closed.
  statement = StatementHandle();
  EXPECT_FALSE(statement);
}

}  // namespace
}  // namespace qts::db
