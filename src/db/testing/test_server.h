// The test run's private PostgreSQL server (scripts/pg-test-server, started by CTest): tests
// reach it through QTS_TEST_PG, a libpq connection string. QTS_REQUIRE_PG=1, set by CTest,
// turns a missing server into a failure; a test run by hand without it is skipped with a
// message saying so.
#ifndef QTS_DB_TESTING_TEST_SERVER_H_
#define QTS_DB_TESTING_TEST_SERVER_H_

#include <string>

namespace qts::db::testing {

// The server's address, or empty when the run has none.
std::string TestServerAddress();
bool TestServerRequired();

// A schema of its own on the test server, dropped with everything in it at the end. Address()
// opens connections whose tables land in that schema, so tests never see each other's tables.
class ServerSchema {
 public:
  // Raises when there is no test server.
  ServerSchema();
  ServerSchema(const ServerSchema&) = delete;
  ServerSchema& operator=(const ServerSchema&) = delete;
  ~ServerSchema();

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
