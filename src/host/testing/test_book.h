// Where a test's book lives. The data-layer, document, service, engine, handler and report tests
// run twice under CTest: once with their books in memory (SQLite), and once with
// QTS_TEST_BACKEND=postgres, when each book is made in a schema of its own on the run's private
// server (db/testing/test_server.h) and the schema is dropped with everything in it when the
// test ends. A run that asks for the server without one fails; nothing is skipped.
#ifndef QTS_HOST_TESTING_TEST_BOOK_H_
#define QTS_HOST_TESTING_TEST_BOOK_H_

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "db/testing/test_server.h"
#include "host/data/app_context.h"

namespace qts::host::testing {

// True when this run keeps its books on the test server.
inline bool BooksOnServer() {
  const char* backend = std::getenv("QTS_TEST_BACKEND");
  return backend != nullptr && std::string(backend) == "postgres";
}

// The address to give AppContext::CreateBook: ":memory:", or a schema of the test server that
// lives as long as this object (declare it before the book, so the book goes first).
class TestBookLocation {
 public:
  TestBookLocation() {
    if (!BooksOnServer()) return;
    if (db::testing::TestServerAddress().empty()) {
      throw std::runtime_error("QTS_TEST_BACKEND=postgres, but QTS_TEST_PG names no server");
    }
    schema_ = std::make_unique<db::testing::ServerSchema>();
  }

  std::string Address() const { return schema_ ? schema_->Address() : ":memory:"; }

 private:
  std::unique_ptr<db::testing::ServerSchema> schema_;
};

// A new empty book of code `code` where this run keeps its books; its server schema, if any, is
// dropped when the last reference to the book goes.
inline std::shared_ptr<AppContext> NewTestBook(const std::string& code) {
  struct Held {
    TestBookLocation location;  // destroyed after the book
    std::shared_ptr<AppContext> book;
  };
  auto held = std::make_shared<Held>();
  held->book = AppContext::CreateBook(held->location.Address(), code);
  return std::shared_ptr<AppContext>(held, held->book.get());
}

}  // namespace qts::host::testing

#endif  // QTS_HOST_TESTING_TEST_BOOK_H_
