#include "db/sqlite/qts_round.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/db_error.h"
#include "db/sqlite/sqlite_connection.h"

namespace qts::db {
namespace {

struct RoundCase {
  const char* call;  // SQL expression
  Value expected;    // kind included: integers stay integers
};

void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.call; }

class QtsRoundTest : public ::testing::TestWithParam<RoundCase> {
 protected:
  static void SetUpTestSuite() { connection_ = SqliteConnection::Open(SqliteConnection::kMemory); }
  static void TearDownTestSuite() { connection_.reset(); }

  static Value Evaluate(const std::string& expression) {
    StatementHandle statement = connection_->Prepare("SELECT " + expression);
    EXPECT_TRUE(statement->Step());
    return statement->GetValue(0);
  }

  static std::unique_ptr<SqliteConnection> connection_;
};

std::unique_ptr<SqliteConnection> QtsRoundTest::connection_;

TEST_P(QtsRoundTest, RoundsHalfAwayFromZeroOnTheDecimalValue) {
  EXPECT_EQ(Evaluate(GetParam().call), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, QtsRoundTest,
    ::testing::Values(
        // Doubles a hair below the decimal half still round up, as NUMERIC does.
        RoundCase{"qts_round(2.675, 2)", Value(2.68)},
        RoundCase{"qts_round(-2.675, 2)", Value(-2.68)},
        RoundCase{"qts_round(1.0005, 3)", Value(1.001)},
        RoundCase{"qts_round(0.125, 2)", Value(0.13)},
        RoundCase{"qts_round(0.12444, 2)", Value(0.12)},
        RoundCase{"qts_round(12345.5, 0)", Value(12346.0)},
        RoundCase{"qts_round(-0.5, 0)", Value(-1.0)},
        RoundCase{"qts_round(1234.5678, 4)", Value(1234.5678)},
        RoundCase{"qts_round(1234.5678, -2)", Value(1200.0)},
        RoundCase{"qts_round(0.3333333333, 6)", Value(0.333333)},
        // Integers stay integers; negative digits round them to tens, hundreds, ...
        RoundCase{"qts_round(15, -1)", Value(20)}, RoundCase{"qts_round(-15, -1)", Value(-20)},
        RoundCase{"qts_round(14, -1)", Value(10)}, RoundCase{"qts_round(149, -2)", Value(100)},
        RoundCase{"qts_round(150, -2)", Value(200)}, RoundCase{"qts_round(7, 2)", Value(7)},
        RoundCase{"qts_round(7, -30)", Value(0)},
        RoundCase{"qts_round(4999999999999999999, -19)", Value(0)},
        RoundCase{"qts_round(-9223372036854775808, -18)", Value(-9000000000000000000)},
        RoundCase{"qts_round(9223372036854775807, -1)", Value(9223372036854775810.0)},
        // NULL in, NULL out.
        RoundCase{"qts_round(NULL, 2)", Value()}, RoundCase{"qts_round(2.5, NULL)", Value()},
        // Numeric text counts as its number; integral real digits are accepted.
        RoundCase{"qts_round('2.675', 2)", Value(2.68)},
        RoundCase{"qts_round(2.675, 2.0)", Value(2.68)},
        // Out-of-range digit counts change nothing more.
        RoundCase{"qts_round(1e300, 30)", Value(1e300)},
        RoundCase{"qts_round(1e300, -400)", Value(0.0)},
        RoundCase{"qts_round(2.5, 1000)", Value(2.5)}));

TEST(QtsRoundSqlTest, NonNumbersAreSqlErrors) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  for (const char* sql : {"SELECT qts_round('abc', 2)", "SELECT qts_round(x'01', 2)",
                          "SELECT qts_round(2.5, 1.5)", "SELECT qts_round(2.5, 'two')"}) {
    StatementHandle statement = connection->Prepare(sql);
    try {
      (void)statement->Step();
      ADD_FAILURE() << sql;
    } catch (const DatabaseError& e) {
      EXPECT_EQ(e.Number(), kErrDatabase) << sql;
      EXPECT_NE(e.Description().find("qts_round:"), std::string::npos) << e.Description();
      EXPECT_NE(e.Description().find(sql), std::string::npos) << e.Description();
    }
  }
  EXPECT_THROW((void)connection->Prepare("SELECT qts_round(2.5)"), DatabaseError);
}

TEST(QtsRoundSqlTest, UsableInWrites) {
  auto connection = SqliteConnection::Open(SqliteConnection::kMemory);
  connection->Execute(
      "CREATE TABLE spec(qty REAL, price REAL, amount REAL);"
      "INSERT INTO spec(qty, price) VALUES (3, 0.8916), (1.5, 1.785);"
      "UPDATE spec SET amount = qts_round(qty * price, 2);");
  StatementHandle statement = connection->Prepare("SELECT amount FROM spec ORDER BY qty");
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetDouble(0), 2.68);  // 1.5 * 1.785 = 2.6775
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetDouble(0), 2.67);  // 3 * 0.8916 = 2.6748
}

}  // namespace
}  // namespace qts::db
