#include "db/trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/error.h"
#include "core/log.h"
#include "db/sqlite/sqlite_connection.h"

namespace qts::db {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

// The trace of a real SQLite connection, written to a stream of the test's own.
class SqlTraceTest : public ::testing::Test {
 protected:
  SqlTraceTest() {
    SetLogStream(&out_);
    connection_ = SqliteConnection::Open(SqliteConnection::kMemory);
    connection_->Execute("CREATE TABLE t(id INTEGER PRIMARY KEY, code TEXT, qty NUMERIC(19,4))");
  }
  ~SqlTraceTest() override {
    SetSqlTrace(false);
    SetLogStream(nullptr);
  }

  std::ostringstream out_;
  std::unique_ptr<SqliteConnection> connection_;
};

TEST_F(SqlTraceTest, EachRunIsWrittenAsTSqlAsRunWithItsParametersRowsAndTime) {
  SetSqlTrace(true);
  const std::string sql = "INSERT INTO t(code, qty) VALUES (?1, ?2)";
  NoteTranslation(sql, "INSERT INTO t(code, qty) VALUES (@code, @qty)");
  {
    StatementHandle insert = connection_->Prepare(sql);
    insert->BindAll({"GS'1", Currency::FromLong(2)});
    insert->Run();
  }
  EXPECT_THAT(out_.str(),
              AllOf(HasSubstr("-- T-SQL: INSERT INTO t(code, qty) VALUES (@code, @qty)\n"
                              "-- run:   INSERT INTO t(code, qty) VALUES (?1, ?2)\n"
                              "-- params: ?1='GS''1' ?2=2\n-- "),
                    HasSubstr(" ms, 0 row(s)")));

  // A statement read only in part is written when it is rewound; one without a translation
  // shows only the SQL it ran.
  out_.str("");
  connection_->Execute("INSERT INTO t(code) VALUES ('a'), ('b')");
  {
    StatementHandle select = connection_->Prepare("SELECT code FROM t ORDER BY id");
    ASSERT_TRUE(select->Step());
  }
  EXPECT_THAT(out_.str(),
              AllOf(HasSubstr("-- run:   INSERT INTO t(code) VALUES ('a'), ('b')\n"),
                    HasSubstr("script"), HasSubstr("-- run:   SELECT code FROM t ORDER BY id\n"),
                    HasSubstr("1 row(s) read, not to the end"), Not(HasSubstr("T-SQL: SELECT"))));
}

TEST_F(SqlTraceTest, AFailedStepIsWrittenWithItsError) {
  SetSqlTrace(true);
  connection_->Execute("CREATE UNIQUE INDEX t_code ON t(code)");
  connection_->Execute("INSERT INTO t(code) VALUES ('x')");
  out_.str("");
  StatementHandle insert = connection_->Prepare("INSERT INTO t(code) VALUES (?1)");
  insert->BindText(1, "x");
  EXPECT_THROW(insert->Run(), Error);
  EXPECT_THAT(out_.str(), AllOf(HasSubstr("-- params: ?1='x'"), HasSubstr("failed: UNIQUE")));
}

TEST_F(SqlTraceTest, NothingIsWrittenOrRememberedWhileTracingIsOff) {
  const std::string sql = "SELECT count(*) FROM t WHERE code = ?1";
  NoteTranslation(sql, "SELECT COUNT(*) FROM t WHERE code = @code");
  {
    StatementHandle select = connection_->Prepare(sql);
    select->BindText(1, "a");
    ASSERT_TRUE(select->Step());
  }
  EXPECT_EQ(out_.str(), "");
  // The translation noted while off was not kept.
  SetSqlTrace(true);
  {
    StatementHandle select = connection_->Prepare(sql);
    select->BindText(1, "a");
    ASSERT_TRUE(select->Step());
    ASSERT_FALSE(select->Step());
  }
  EXPECT_THAT(out_.str(), AllOf(HasSubstr("-- run:   " + sql), Not(HasSubstr("T-SQL"))));
}

}  // namespace
}  // namespace qts::db
