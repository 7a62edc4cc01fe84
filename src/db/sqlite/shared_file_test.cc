// Several connections, in one process or several, writing one book file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "db/db_error.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/testing/temp_dir.h"
#include "db/transaction.h"

namespace qts::db {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using testing::TempDir;

int64_t CountRows(Connection& connection) {
  StatementHandle statement = connection.Prepare("SELECT count(*) FROM t");
  EXPECT_TRUE(statement->Step());
  return statement->GetInt64(0);
}

class SharedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("book.db");
    SqliteConnection::Open(path_)->Execute("CREATE TABLE t(id INTEGER PRIMARY KEY, who TEXT)");
  }

  std::unique_ptr<SqliteConnection> Open(milliseconds busy_timeout) {
    SqliteOptions options;
    options.busy_timeout = busy_timeout;
    return SqliteConnection::Open(path_, options);
  }

  TempDir dir_;
  std::string path_;
};

TEST_F(SharedFileTest, ASecondWriterWaitsForTheFirstToCommit) {
  auto first = Open(milliseconds(10'000));
  auto second = Open(milliseconds(10'000));
  Transaction holding(*first);
  first->Execute("INSERT INTO t(who) VALUES ('first')");

  std::atomic<bool> began{false};
  // The second connection lives on its own thread; each connection is used by one thread.
  auto writer = std::async(std::launch::async, [&] {
    Transaction transaction(*second);  // waits here for the write lock
    auto acquired = steady_clock::now();
    began = true;
    second->Execute("INSERT INTO t(who) VALUES ('second')");
    transaction.Commit();
    return acquired;
  });
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(began) << "the second writer did not wait for the lock";
  // Readers are not blocked by the open write transaction (WAL), and see committed data only.
  auto reader = Open(milliseconds(0));
  EXPECT_EQ(CountRows(*reader), 0);
  auto released = steady_clock::now();
  holding.Commit();
  EXPECT_GE(writer.get(), released) << "the lock was granted before the first writer committed";
  EXPECT_EQ(CountRows(*reader), 2);
}

TEST_F(SharedFileTest, AWriterGivesUpWithBusyAfterItsTimeout) {
  auto first = Open(milliseconds(10'000));
  auto impatient = Open(milliseconds(100));
  Transaction holding(*first);
  first->Execute("INSERT INTO t(who) VALUES ('first')");
  auto started = steady_clock::now();
  try {
    Transaction transaction(*impatient);
    FAIL() << "the lock was granted twice";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), kErrBusy);
    EXPECT_EQ(e.BackendCode() & 0xff, 5);  // SQLITE_BUSY
    EXPECT_NE(e.Description().find("BEGIN IMMEDIATE"), std::string::npos) << e.Description();
  }
  EXPECT_GE(steady_clock::now() - started, milliseconds(90));
  EXPECT_EQ(impatient->TransactionDepth(), 0);
  holding.Commit();
  Transaction now_free(*impatient);
  impatient->Execute("INSERT INTO t(who) VALUES ('impatient')");
  now_free.Commit();
  EXPECT_EQ(CountRows(*first), 2);
}

TEST_F(SharedFileTest, TwoProcessesInsertWithoutLosingRows) {
  constexpr int kRowsEach = 200;
  auto insert_rows = [&](const char* who) {
    auto connection = Open(milliseconds(10'000));
    for (int i = 0; i < kRowsEach; ++i) {
      Transaction transaction(*connection);  // one short transaction per row: maximum contention
      connection->Execute("INSERT INTO t(who) VALUES (?)", {who});
      transaction.Commit();
    }
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      insert_rows("child");
    } catch (...) {
      status = 1;
    }
    _exit(status);
  }
  insert_rows("parent");
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child process failed to write";
  auto connection = Open(milliseconds(0));
  EXPECT_EQ(CountRows(*connection), 2 * kRowsEach);
  StatementHandle statement = connection->Prepare("SELECT count(DISTINCT who) FROM t");
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetInt64(0), 2);
}

}  // namespace
}  // namespace qts::db
