// The test run's private PostgreSQL server (scripts/pg-test-server, started by CTest): tests
// reach it through QTS_TEST_PG, a libpq connection string. QTS_REQUIRE_PG=1, set by CTest,
// turns a missing server into a failure; a test run by hand without it is skipped with a
// message saying so.
#ifndef QTS_DB_TESTING_TEST_SERVER_H_
#define QTS_DB_TESTING_TEST_SERVER_H_

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>

#include "db/postgres/pg_connection.h"

namespace qts::db::testing {

// The server's address, or empty when the run has none.
inline std::string TestServerAddress() {
  const char* address = std::getenv("QTS_TEST_PG");
  return address != nullptr ? address : "";
}

inline bool TestServerRequired() {
  const char* required = std::getenv("QTS_REQUIRE_PG");
  return required != nullptr && std::string(required) == "1";
}

// A schema of its own on the test server, dropped with everything in it at the end. Address()
// opens connections whose tables land in that schema, so tests never see each other's tables.
class ServerSchema {
 public:
  // Raises when there is no test server.
  ServerSchema() {
    static std::atomic<int> serial{0};
    const std::string server = TestServerAddress();
    name_ = "qts_t" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    std::unique_ptr<PgConnection> admin = PgConnection::Open(server);
    admin->Execute("DROP SCHEMA IF EXISTS " + name_ + " CASCADE; CREATE SCHEMA " + name_);
    address_ = server + " options='-csearch_path=" + name_ + "'";
  }
  ServerSchema(const ServerSchema&) = delete;
  ServerSchema& operator=(const ServerSchema&) = delete;
  ~ServerSchema() {
    try {
      std::unique_ptr<PgConnection> admin = PgConnection::Open(TestServerAddress());
      admin->Execute("DROP SCHEMA IF EXISTS " + name_ + " CASCADE");
    } catch (...) {
      // The server's folder goes away with the run.
    }
  }

  const std::string& Name() const noexcept { return name_; }
  const std::string& Address() const noexcept { return address_; }

 private:
  std::string name_;
  std::string address_;
};

}  // namespace qts::db::testing

// Skips (by hand) or fails (under CTest) a test that needs the test server when there is none.
#define QTS_NEED_TEST_SERVER()                                                               \
  do {                                                                                       \
    if (::qts::db::testing::TestServerAddress().empty()) {                                   \
      if (::qts::db::testing::TestServerRequired()) {                                        \
        FAIL() << "QTS_TEST_PG names no PostgreSQL server, but QTS_REQUIRE_PG is set";       \
      }                                                                                      \
      GTEST_SKIP() << "no PostgreSQL test server: set QTS_TEST_PG (scripts/pg-test-server)"; \
    }                                                                                        \
  } while (false)

#endif  // QTS_DB_TESTING_TEST_SERVER_H_
