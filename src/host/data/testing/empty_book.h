// Test helper: an empty book of the real schema (code "B") on which the system's statements
// and query constructions are opened, and translated for PostgreSQL as well.
#ifndef QTS_HOST_DATA_TESTING_EMPTY_BOOK_H_
#define QTS_HOST_DATA_TESTING_EMPTY_BOOK_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/date.h"
#include "core/error.h"
#include "db/connection.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/schema/schema.h"
#include "sql/translator.h"

namespace qts::host::testing {

inline constexpr const char* kCode = "B";
inline const Date kBeg = Date::FromYmd(2026, 1, 1);
inline const Date kEnd = Date::FromYmd(2026, 1, 31);
inline const Date kToday = Date::FromYmd(2026, 2, 15);

inline SqlTools& T() { return *SqlTools::Instance(); }
inline Variant L(int32_t v) { return Variant(v); }

class EmptyBook : public ::testing::Test {
 protected:
  void SetUp() override { book_ = AppContext::CreateBook(":memory:", kCode); }

  QueryPtr Q(std::string_view table) { return book_->CreateQuery(table); }
  QueryPtr Wrap(const QueryPtr& inner, std::string_view alias) {
    QueryPtr q = Q("");
    q->FromQuery(inner, alias);
    return q;
  }

  // Opens `q` on the empty book (no rows, `columns` result columns) and translates the same
  // statement for PostgreSQL.
  void ExpectRuns(Query& q, size_t columns) {
    std::string text;
    try {
      text = q.StatementText();
      q.Open();
      EXPECT_EQ(q.RecordCount(), 0);
      EXPECT_EQ(q.Fields().Count(), columns);
      EXPECT_FALSE(sql::Translate(text, book_->Catalogue(), sql::Dialect::kPostgres).empty());
    } catch (const Error& e) {
      ADD_FAILURE() << e.Description() << "\n" << text;
    }
  }

  // The physical rows of a table, to prove a book unchanged.
  int64_t Count(const std::string& logical) {
    db::StatementHandle s = book_->Connection().Prepare(
        "SELECT COUNT(*) FROM \"" + schema::PhysicalName(kCode, logical) + "\"");
    EXPECT_TRUE(s->Step());
    return s->GetInt64(0);
  }

  std::shared_ptr<AppContext> book_;
};

}  // namespace qts::host::testing

#endif  // QTS_HOST_DATA_TESTING_EMPTY_BOOK_H_
