#include "db/value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/db_error.h"

namespace qts::db {
namespace {

TEST(ValueTest, UnsignedAboveInt64MaxOverflows) {
  EXPECT_EQ(Value(static_cast<uint64_t>(INT64_MAX)).Int64(), INT64_MAX);
  EXPECT_QTS_ERROR(Value(static_cast<uint64_t>(INT64_MAX) + 1), kErrOverflow);
}

TEST(ValueTest, CheckedAccessorsRefuseNullAndOtherKinds) {
  EXPECT_QTS_ERROR(Value().Int64(), kErrInvalidUseOfNull);
  // No silent conversion between integer and real.
  EXPECT_QTS_ERROR_TEXT(Value(1).Double(), kErrTypeMismatch, "INTEGER");

  EXPECT_THROW((void)Value("1").Int64(), Error);
  EXPECT_THROW((void)Value(Blob{1}).Text(), Error);
}

TEST(ValueTest, EqualityDistinguishesKinds) {
  EXPECT_EQ(Value(1), Value(int64_t{1}));
  EXPECT_NE(Value(1), Value(1.0));
  EXPECT_NE(Value("1"), Value(1));
  EXPECT_NE(Value(""), Value());
  EXPECT_NE(Value(""), Value(Blob{}));
}

TEST(ValueTest, LiteralsQuoteText) {
  EXPECT_EQ(Value().ToLiteral(), "NULL");
  EXPECT_EQ(Value(-42).ToLiteral(), "-42");
  EXPECT_EQ(Value(2.5).ToLiteral(), "2.5");
  EXPECT_EQ(Value("it's").ToLiteral(), "'it''s'");
  EXPECT_EQ(Value(Blob{0x0a, 0xff}).ToLiteral(), "x'0aff'");
}

TEST(SqlForMessageTest, FoldsWhitespaceAndCutsLongText) {
  EXPECT_EQ(SqlForMessage("  SELECT\n\t a\n  FROM t  "), "SELECT a FROM t");
  EXPECT_EQ(SqlForMessage("SELECT 1", 8), "SELECT 1");
  EXPECT_EQ(SqlForMessage("SELECT 12", 8), "SELECT 1...");
  EXPECT_EQ(SqlForMessage(std::string(1000, 'x')).size(), 303u);
}

TEST(SqlForMessageTest, NeverSplitsAUtf8Character) {
  // "ab" then three two-byte characters: the cut at 3 characters keeps 'é' whole.
  EXPECT_EQ(SqlForMessage("ab\xc3\xa9\xc3\xa9\xc3\xa9", 3), "ab\xc3\xa9...");
}

}  // namespace
}  // namespace qts::db
