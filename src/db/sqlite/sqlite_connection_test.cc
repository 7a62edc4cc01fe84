#include "db/sqlite/sqlite_connection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <string>

#include "core/testing/qts_matchers.h"
#include "db/db_error.h"
#include "db/testing/temp_dir.h"

namespace qts::db {
namespace {

using testing::TempDir;

std::string PragmaText(Connection& connection, std::string_view pragma) {
  StatementHandle statement = connection.Prepare(pragma);
  EXPECT_TRUE(statement->Step()) << pragma;
  return statement->GetText(0);
}

int64_t CountRows(Connection& connection, std::string_view table) {
  StatementHandle statement = connection.Prepare("SELECT count(*) FROM " + std::string(table));
  EXPECT_TRUE(statement->Step());
  return statement->GetInt64(0);
}

TEST(SqliteConnectionTest, MemoryDatabaseIsPrivateToItsConnection) {
  auto first = SqliteConnection::Open(SqliteConnection::kMemory);
  auto second = SqliteConnection::Open(SqliteConnection::kMemory);
  first->Execute("CREATE TABLE t(a)");
  EXPECT_TRUE(first->IsMemory());
  EXPECT_EQ(first->Dialect(), "sqlite");
  EXPECT_EQ(PragmaText(*first, "PRAGMA journal_mode"), "memory");
  EXPECT_THROW(second->Execute("SELECT * FROM t"), DatabaseError);
}

// The statistics would cost every allocation a process-wide lock; a connection's work leaves
// them untouched once the first open has turned them off.
TEST(SqliteConnectionTest, SqliteCountsNoMemoryOnceABookIsOpen) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute("CREATE TABLE t(a); INSERT INTO t VALUES (randomblob(100000))");
  EXPECT_EQ(CountRows(*connection, "t"), 1);
  EXPECT_EQ(sqlite3_memory_used(), 0);
  EXPECT_EQ(sqlite3_memory_highwater(0), 0);
}

TEST(SqliteConnectionTest, FileDatabaseUsesWalAndKeepsData) {
  TempDir dir;
  std::string path = dir.File("book.db");
  {
    auto connection = SqliteConnection::Open(path);
    EXPECT_EQ(PragmaText(*connection, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(PragmaText(*connection, "PRAGMA synchronous"), "1");  // NORMAL
    EXPECT_EQ(PragmaText(*connection, "PRAGMA busy_timeout"), "10000");
    connection->Execute("CREATE TABLE t(a); INSERT INTO t VALUES (1), (2)");
  }
  auto reopened = SqliteConnection::Open(path);
  EXPECT_EQ(CountRows(*reopened, "t"), 2);
}

TEST(SqliteConnectionTest, BusyTimeoutIsConfigurable) {
  TempDir dir;
  SqliteOptions options;
  options.busy_timeout = std::chrono::milliseconds(250);
  auto connection = SqliteConnection::Open(dir.File("book.db"), options);
  EXPECT_EQ(PragmaText(*connection, "PRAGMA busy_timeout"), "250");
}

TEST(SqliteConnectionTest, ForeignKeysAreEnforced) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute(
      "CREATE TABLE parent(id INTEGER PRIMARY KEY);"
      "CREATE TABLE child(id INTEGER PRIMARY KEY, parent_id INTEGER REFERENCES parent(id));");
  EXPECT_QTS_ERROR_TEXT(connection->Execute("INSERT INTO child(parent_id) VALUES (7)"),
                        kErrConstraint, "FOREIGN KEY");
}

TEST(SqliteConnectionTest, ReadOnlyOpenRefusesWritesAndMissingFiles) {
  TempDir dir;
  std::string path = dir.File("book.db");
  SqliteOptions read_only;
  read_only.read_only = true;
  EXPECT_THROW(SqliteConnection::Open(path, read_only), DatabaseError);  // not created
  SqliteConnection::Open(path)->Execute("CREATE TABLE t(a)");
  auto connection = SqliteConnection::Open(path, read_only);
  EXPECT_EQ(CountRows(*connection, "t"), 0);
  EXPECT_THROW(connection->Execute("INSERT INTO t VALUES (1)"), DatabaseError);
}

TEST(SqliteConnectionTest, OpenFailuresNameTheFile) {
  TempDir dir;
  std::string missing_dir = dir.File("no/such/dir/book.db");
  try {
    (void)SqliteConnection::Open(missing_dir);
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), kErrDatabase);
    EXPECT_EQ(e.Source(), "SqliteConnection");
    EXPECT_NE(e.Description().find(missing_dir), std::string::npos) << e.Description();
  }
  EXPECT_THROW(SqliteConnection::Open(""), DatabaseError);
}

TEST(SqliteConnectionTest, AFileThatIsNotADatabaseFailsAtOpen) {
  TempDir dir;
  std::string path = dir.File("notes.txt");
  std::ofstream(path) << std::string(4096, 'x');
  EXPECT_QTS_ERROR_TEXT(SqliteConnection::Open(path), kErrDatabase, "not a database");
}

TEST(SqliteConnectionTest, ExecuteRunsEveryStatementOfAScript) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute(
      "-- a script\n"
      "CREATE TABLE t(a INTEGER);\n"
      "INSERT INTO t VALUES (1);  /* comment */ INSERT INTO t VALUES (2);\n"
      "SELECT * FROM t;  -- rows are discarded\n");
  EXPECT_EQ(CountRows(*connection, "t"), 2);
  connection->Execute("");          // nothing to do
  connection->Execute("  -- x\n");  // only a comment
}

TEST(SqliteConnectionTest, ExecuteStopsAtTheFailingStatementAndNamesIt) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  try {
    connection->Execute(
        "CREATE TABLE t(a INTEGER NOT NULL);"
        "INSERT INTO t VALUES (1);"
        "INSERT INTO t VALUES (NULL);"
        "INSERT INTO t VALUES (3);");
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), kErrConstraint);
    EXPECT_EQ(e.Sql(), "INSERT INTO t VALUES (NULL);");
    EXPECT_NE(e.Description().find("NOT NULL constraint failed: t.a"), std::string::npos)
        << e.Description();
    EXPECT_NE(e.Description().find("in SQL: INSERT INTO t VALUES (NULL);"), std::string::npos)
        << e.Description();
  }
  EXPECT_EQ(CountRows(*connection, "t"), 1);  // the statement before stays done
}

TEST(SqliteConnectionTest, BadSqlGivesAClearError) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  try {
    (void)connection->Prepare("SELEC 1");
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), kErrDatabase);
    EXPECT_EQ(e.Source(), "Statement");
    EXPECT_EQ(e.BackendCode(), 1);  // SQLITE_ERROR
    EXPECT_EQ(e.Description(), "near \"SELEC\": syntax error [SQLite 1] in SQL: SELEC 1");
  }
  try {
    connection->Execute("CREATE TABLE t(a); SELECT nope FROM t");
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Source(), "SqliteConnection");
    EXPECT_NE(e.Description().find("no such column: nope"), std::string::npos);
    EXPECT_NE(e.Description().find("SELECT nope FROM t"), std::string::npos);
  }
}

TEST(SqliteConnectionTest, LongSqlIsShortenedInTheMessageButKeptWhole) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  std::string sql = "SELECT " + std::string(2000, '1') + " FROM nowhere";
  try {
    (void)connection->Prepare(sql);
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Sql(), sql);
    EXPECT_LT(e.Description().size(), 400u);
    EXPECT_NE(e.Description().find("SELECT 111"), std::string::npos);
    EXPECT_EQ(e.Description().substr(e.Description().size() - 3), "...");
  }
}

TEST(SqliteConnectionTest, ConstraintViolationsHaveTheirOwnNumber) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute("CREATE TABLE t(a UNIQUE, b CHECK (b > 0))");
  connection->Execute("INSERT INTO t VALUES (1, 1)");
  for (const char* sql : {"INSERT INTO t VALUES (1, 2)", "INSERT INTO t VALUES (2, 0)"}) {
    StatementHandle statement = connection->Prepare(sql);
    try {
      statement->Run();
      ADD_FAILURE() << sql;
    } catch (const DatabaseError& e) {
      EXPECT_EQ(e.Number(), kErrConstraint) << sql;
      EXPECT_EQ(e.BackendCode() & 0xff, 19) << sql;  // SQLITE_CONSTRAINT
      EXPECT_EQ(e.Sql(), sql);
    }
  }
}

TEST(SqliteConnectionTest, LastInsertIdAndChanges) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute("CREATE TABLE t(id INTEGER PRIMARY KEY, a)");
  EXPECT_EQ(connection->Execute("INSERT INTO t(id, a) VALUES (?1, ?2)", {41, "x"}), 1);
  EXPECT_EQ(connection->LastInsertId(), 41);
  connection->Execute("INSERT INTO t(a) VALUES (?)", {"y"});
  EXPECT_EQ(connection->LastInsertId(), 42);
  EXPECT_EQ(connection->Execute("UPDATE t SET a = ?1", {Value()}), 2);
  EXPECT_EQ(connection->Execute("DELETE FROM t WHERE id > ?", {100}), 0);
  EXPECT_EQ(connection->Changes(), 0);
}

TEST(SqliteConnectionTest, ExecuteWithValuesNeedsOneValuePerParameter) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute("CREATE TABLE t(a, b)");
  for (auto call : {+[](Connection& c) { c.Execute("INSERT INTO t VALUES (?, ?)", {1}); },
                    +[](Connection& c) {
                      c.Execute("INSERT INTO t VALUES (?, ?)", {1, 2, 3});
                    }}) {
    EXPECT_QTS_ERROR_TEXT(call(*connection), kErrDbMisuse, "for 2 parameter(s)");
  }
  EXPECT_EQ(connection->Execute("INSERT INTO t VALUES (?, ?)", {1, Value()}), 1);
}

}  // namespace
}  // namespace qts::db
