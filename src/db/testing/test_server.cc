#include "db/testing/test_server.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "db/postgres/pg_connection.h"

namespace qts::db::testing {

std::string TestServerAddress() {
  const char* address = std::getenv("QTS_TEST_PG");
  return address != nullptr ? address : "";
}

bool TestServerRequired() {
  const char* required = std::getenv("QTS_REQUIRE_PG");
  return required != nullptr && std::string(required) == "1";
}

ServerSchema::ServerSchema() {
  static std::atomic<int> serial{0};
  const std::string server = TestServerAddress();
  name_ = "qts_t" + std::to_string(getpid()) + "_" + std::to_string(++serial);
  std::unique_ptr<PgConnection> admin = PgConnection::Open(server);
  admin->Execute("DROP SCHEMA IF EXISTS " + name_ + " CASCADE; CREATE SCHEMA " + name_);
  address_ = server + " options='-csearch_path=" + name_ + "'";
}

ServerSchema::~ServerSchema() {
  try {
    std::unique_ptr<PgConnection> admin = PgConnection::Open(TestServerAddress());
    admin->Execute("DROP SCHEMA IF EXISTS " + name_ + " CASCADE");
  } catch (...) {
    // The server's folder goes away with the run.
  }
}

}  // namespace qts::db::testing
