#include "db/sqlite/sqlite_statement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/db_error.h"
#include "db/sqlite/sqlite_connection.h"

namespace qts::db {
namespace {

class SqliteStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_ = SqliteConnection::Open(SqliteConnection::kMemory);
    connection_->Execute("CREATE TABLE t(id INTEGER PRIMARY KEY, v, qty NUMERIC(19,4))");
  }

  // The single value `sql` selects.
  Value SelectOne(std::string_view sql) {
    StatementHandle statement = connection_->Prepare(sql);
    EXPECT_TRUE(statement->Step()) << sql;
    return statement->GetValue(0);
  }

  std::unique_ptr<SqliteConnection> connection_;
};

// Every kind of Value is stored and read back unchanged, through both the typed getters and
// GetValue, including the values a careless binding turns into NULL or truncates.
class BindRoundTripTest : public SqliteStatementTest,
                          public ::testing::WithParamInterface<Value> {};

TEST_P(BindRoundTripTest, StoresAndReadsBackTheSameValue) {
  const Value& value = GetParam();
  {
    StatementHandle insert = connection_->Prepare("INSERT INTO t(v) VALUES (?)");
    insert->Bind(1, value);
    insert->Run();
  }
  StatementHandle select = connection_->Prepare("SELECT v, typeof(v) FROM t");
  ASSERT_TRUE(select->Step());
  EXPECT_EQ(select->ColumnKind(0), value.Kind());
  EXPECT_EQ(
      select->GetText(1), value.IsNull() ? "null" : [&] {
        std::string name(ValueKindName(value.Kind()));
        for (char& c : name) c = static_cast<char>(std::tolower(c));
        return name;
      }());
  EXPECT_EQ(select->GetValue(0), value);
  switch (value.Kind()) {
    case ValueKind::kNull:
      EXPECT_TRUE(select->IsNull(0));
      break;
    case ValueKind::kInteger:
      EXPECT_EQ(select->GetInt64(0), value.Int64());
      break;
    case ValueKind::kReal:
      EXPECT_EQ(select->GetDouble(0), value.Double());
      break;
    case ValueKind::kText:
      EXPECT_EQ(select->GetText(0), value.Text());
      EXPECT_EQ(select->GetTextView(0), value.Text());
      break;
    case ValueKind::kBlob:
      EXPECT_EQ(select->GetBlob(0), value.Bytes());
      break;
    case ValueKind::kMoney:
      ADD_FAILURE() << "money is bound as its backend keeps it, not as a storage kind";
      break;
  }
  EXPECT_FALSE(select->Step());
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BindRoundTripTest,
                         ::testing::Values(Value(), Value(0), Value(INT64_MIN), Value(INT64_MAX),
                                           Value(-0.5), Value(2.675),
                                           Value(std::numeric_limits<double>::max()),
                                           Value(std::numeric_limits<double>::denorm_min()),
                                           Value(""), Value("Kopeck \xd0\xba\xd0\xbe\xd0\xbf"),
                                           Value(std::string("a\0b", 3)), Value("12"),
                                           Value(Blob{}), Value(Blob{0, 1, 0xff, 0})));

TEST_F(SqliteStatementTest, NamedParametersWithOrWithoutPrefix) {
  StatementHandle statement =
      connection_->Prepare("SELECT :a || @b || $c, ?1 IS NULL, :a IS NOT NULL");
  EXPECT_EQ(statement->ParameterCount(), 3);
  EXPECT_EQ(statement->ParameterIndex("a"), 1);
  EXPECT_EQ(statement->ParameterIndex(":a"), 1);
  EXPECT_EQ(statement->ParameterIndex("b"), 2);
  EXPECT_EQ(statement->ParameterIndex("@b"), 2);
  EXPECT_EQ(statement->ParameterIndex("c"), 3);
  statement->Bind("a", "x");
  statement->Bind("@b", "y");
  statement->Bind("c", "z");
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetText(0), "xyz");
  EXPECT_EQ(statement->GetInt64(1), 0);  // ?1 is :a, the first parameter
  EXPECT_QTS_ERROR_TEXT(statement->Bind("missing", 1), kErrDbMisuse, "'missing'", ":a || @b");
  EXPECT_THROW(statement->Bind(":b", 1), DatabaseError);  // @b is not :b
}

TEST_F(SqliteStatementTest, ParameterIndexOutOfRangeIsMisuse) {
  StatementHandle statement = connection_->Prepare("SELECT ?, ?");
  statement->Bind(2, 1);
  for (int index : {0, 3}) {
    EXPECT_QTS_ERROR_TEXT(statement->Bind(index, 1), kErrDbMisuse, "has 2") << index;
  }
}

TEST_F(SqliteStatementTest, BindAllAndClearBindings) {
  StatementHandle statement = connection_->Prepare("SELECT ?1 + ?2, ?3");
  statement->BindAll({1, 2.5, "t"});
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetDouble(0), 3.5);
  EXPECT_EQ(statement->GetText(1), "t");
  statement->Reset();
  ASSERT_TRUE(statement->Step());  // bindings survive Reset
  EXPECT_EQ(statement->GetText(1), "t");
  statement->Reset();
  statement->ClearBindings();
  ASSERT_TRUE(statement->Step());
  EXPECT_TRUE(statement->IsNull(0));
  EXPECT_TRUE(statement->IsNull(1));
}

TEST_F(SqliteStatementTest, EmptyTextAndBlobAreNotNull) {
  StatementHandle statement = connection_->Prepare("SELECT typeof(?1), typeof(?2), typeof(?3)");
  statement->BindText(1, std::string_view());  // no buffer at all
  statement->BindBlob(2, Blob());
  statement->BindNull(3);
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetText(0), "text");
  EXPECT_EQ(statement->GetText(1), "blob");
  EXPECT_EQ(statement->GetText(2), "null");
}

TEST_F(SqliteStatementTest, ColumnNamesAndDeclaredTypes) {
  StatementHandle statement = connection_->Prepare("SELECT id, qty AS Quantity, 1 + 1 FROM t");
  ASSERT_EQ(statement->ColumnCount(), 3);
  EXPECT_EQ(statement->ColumnName(0), "id");
  EXPECT_EQ(statement->ColumnName(1), "Quantity");
  EXPECT_EQ(statement->ColumnDeclaredType(0), "INTEGER");
  EXPECT_EQ(statement->ColumnDeclaredType(1), "NUMERIC(19,4)");
  EXPECT_EQ(statement->ColumnDeclaredType(2), "");
  EXPECT_THROW((void)statement->ColumnName(3), DatabaseError);
  EXPECT_THROW((void)statement->ColumnName(-1), DatabaseError);
  EXPECT_EQ(connection_->Prepare("INSERT INTO t(v) VALUES (1)")->ColumnCount(), 0);
}

TEST_F(SqliteStatementTest, ReadingWithoutACurrentRowIsMisuse) {
  connection_->Execute("INSERT INTO t(v) VALUES (1)");
  StatementHandle statement = connection_->Prepare("SELECT v FROM t");
  EXPECT_QTS_ERROR(statement->GetInt64(0), kErrDbMisuse);  // not stepped
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetInt64(0), 1);
  EXPECT_THROW((void)statement->GetInt64(1), DatabaseError);
  ASSERT_FALSE(statement->Step());
  EXPECT_QTS_ERROR(statement->ColumnKind(0), kErrDbMisuse);  // done
}

struct Conversion {
  const char* expression;
  int32_t int64_error;  // 0: GetInt64 succeeds with int64_value
  int64_t int64_value;
  int32_t double_error;
  double double_value;
};

TEST_F(SqliteStatementTest, TypedGettersConvertOnlyWhenNothingIsLost) {
  const Conversion cases[] = {
      {"42", 0, 42, 0, 42.0},
      {"-7.0", 0, -7, 0, -7.0},
      {"2.5", kErrTypeMismatch, 0, 0, 2.5},
      {"9.3e18", kErrTypeMismatch, 0, 0, 9.3e18},  // beyond int64
      {"-9223372036854775808.0", 0, INT64_MIN, 0, -9223372036854775808.0},
      {"'17'", 0, 17, 0, 17.0},
      {"'1.25'", kErrTypeMismatch, 0, 0, 1.25},
      {"'12abc'", kErrTypeMismatch, 0, kErrTypeMismatch, 0},
      {"''", kErrTypeMismatch, 0, kErrTypeMismatch, 0},
      {"x'01'", kErrTypeMismatch, 0, kErrTypeMismatch, 0},
      {"NULL", kErrInvalidUseOfNull, 0, kErrInvalidUseOfNull, 0},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.expression);
    StatementHandle statement = connection_->Prepare(std::string("SELECT ") + c.expression);
    ASSERT_TRUE(statement->Step());
    if (c.int64_error != 0) {
      EXPECT_QTS_ERROR(statement->GetInt64(0), c.int64_error);
    } else {
      EXPECT_EQ(statement->GetInt64(0), c.int64_value);
    }
    if (c.double_error != 0) {
      EXPECT_QTS_ERROR(statement->GetDouble(0), c.double_error);
    } else {
      EXPECT_EQ(statement->GetDouble(0), c.double_value);
    }
  }
}

TEST_F(SqliteStatementTest, TextOfNumbersAndNullText) {
  StatementHandle statement = connection_->Prepare("SELECT 12, 0.5, NULL, x'4142'");
  ASSERT_TRUE(statement->Step());
  EXPECT_EQ(statement->GetText(0), "12");
  EXPECT_EQ(statement->GetText(1), "0.5");
  EXPECT_QTS_ERROR(statement->GetText(2), kErrInvalidUseOfNull);
  EXPECT_EQ(statement->GetText(3), "AB");
  EXPECT_QTS_ERROR(statement->GetBlob(0), kErrTypeMismatch);
}

TEST_F(SqliteStatementTest, NullMessageNamesTheColumnAndSql) {
  StatementHandle statement = connection_->Prepare("SELECT NULL AS Price");
  ASSERT_TRUE(statement->Step());
  EXPECT_QTS_ERROR_TEXT(statement->GetDouble(0), kErrInvalidUseOfNull, "'Price'",
                        "SELECT NULL AS Price");
}

TEST_F(SqliteStatementTest, PrepareTakesExactlyOneStatement) {
  EXPECT_QTS_ERROR(connection_->Prepare("SELECT 1; SELECT 2"), kErrDbMisuse);
  EXPECT_QTS_ERROR(connection_->Prepare("  -- nothing\n"), kErrDbMisuse);
  EXPECT_QTS_ERROR(connection_->Prepare("SELECT 1; SELEC 2"), kErrDbMisuse);
  // A trailing semicolon or comment is not a second statement.
  EXPECT_EQ(SelectOne("SELECT 1; -- done\n"), Value(1));
  EXPECT_EQ(SelectOne("SELECT 2 /* two */;"), Value(2));
}

TEST_F(SqliteStatementTest, FailedStepRaisesAndTheStatementRunsAgain) {
  connection_->Execute("CREATE TABLE u(a UNIQUE)");
  StatementHandle insert = connection_->Prepare("INSERT INTO u VALUES (?)");
  insert->Bind(1, 1);
  insert->Run();
  insert->Reset();
  EXPECT_QTS_ERROR(insert->Run(), kErrConstraint);
  insert->Bind(1, 2);
  insert->Run();  // usable again after the failure
  EXPECT_EQ(SelectOne("SELECT group_concat(a) FROM u"), Value("1,2"));
}

TEST_F(SqliteStatementTest, ManyRowsStepInOrder) {
  {
    StatementHandle insert = connection_->Prepare("INSERT INTO t(id, v) VALUES (?, ?)");
    for (int i = 1; i <= 500; ++i) {
      insert->BindInt64(1, i);
      insert->BindText(2, std::to_string(i * 3));
      insert->Run();
      insert->Reset();
    }
  }
  StatementHandle select = connection_->Prepare("SELECT id, v FROM t ORDER BY id");
  int64_t expected = 0;
  while (select->Step()) {
    ++expected;
    ASSERT_EQ(select->GetInt64(0), expected);
    ASSERT_EQ(select->GetTextView(1), std::to_string(expected * 3));
  }
  EXPECT_EQ(expected, 500);
}

// The bulk row read hands each cell over once, in column order and in its storage kind, and
// agrees with GetValue; reading with no current row is misuse, as for the single getters.
class CollectingVisitor final : public RowVisitor {
 public:
  std::vector<Value> cells;
  std::vector<int> columns;
  void Null(int column) override { Keep(column, Value()); }
  void Integer(int column, int64_t value) override { Keep(column, Value(value)); }
  void Real(int column, double value) override { Keep(column, Value(value)); }
  void Text(int column, std::string_view value) override {
    Keep(column, Value(std::string(value)));
  }
  void Bytes(int column, const Blob& value) override { Keep(column, Value(value)); }
  void Money(int column, Currency value) override { Keep(column, Value(value)); }

 private:
  void Keep(int column, Value value) {
    columns.push_back(column);
    cells.push_back(std::move(value));
  }
};

TEST_F(SqliteStatementTest, ReadRowHandsOverEveryCellInItsKind) {
  StatementHandle statement =
      connection_->Prepare("SELECT NULL, 9007199254740993, 2.5, 'tekstas', x'00ff', ''");
  CollectingVisitor visitor;
  EXPECT_QTS_ERROR(statement->ReadRow(visitor), kErrDbMisuse);
  ASSERT_TRUE(statement->Step());
  statement->ReadRow(visitor);
  ASSERT_EQ(visitor.columns, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  for (int c = 0; c < 6; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(visitor.cells[c], statement->GetValue(c));
  }
  EXPECT_EQ(visitor.cells[1].Kind(), ValueKind::kInteger);
  EXPECT_EQ(visitor.cells[4].Kind(), ValueKind::kBlob);
  EXPECT_EQ(visitor.cells[5].Kind(), ValueKind::kText);
  EXPECT_FALSE(statement->Step());
  EXPECT_QTS_ERROR(statement->ReadRow(visitor), kErrDbMisuse);
}

// Money is kept in whole ten-thousandths: bound Currency values are stored as such, and money
// columns read back exactly, also from a wide value (rounded half away from zero to four
// places) or a decimal text. A REAL where money belongs is the trace of an integer overflow.
TEST_F(SqliteStatementTest, MoneyIsKeptInTenThousandths) {
  connection_->Execute("CREATE TABLE m (v INTEGER)");
  StatementHandle insert = connection_->Prepare("INSERT INTO m (v) VALUES (?1)");
  insert->Bind(1, Value(*Currency::Parse("-5.4748")));
  insert->Run();
  StatementHandle stored = connection_->Prepare("SELECT v, typeof(v) FROM m");
  ASSERT_TRUE(stored->Step());
  EXPECT_EQ(stored->GetInt64(0), -54748);
  EXPECT_EQ(stored->GetText(1), "integer");
  EXPECT_EQ(stored->GetCurrency(0), *Currency::Parse("-5.4748"));

  StatementHandle select =
      connection_->Prepare("SELECT v, qts_mul(v, 20000), '12.34565', NULL, 7, 2.5 FROM m");
  ASSERT_TRUE(select->Step());
  CollectingVisitor visitor;
  select->ReadRow(visitor, {true, true, true, true});
  ASSERT_EQ(visitor.cells.size(), 6u);
  EXPECT_EQ(visitor.cells[0], Value(*Currency::Parse("-5.4748")));
  EXPECT_EQ(visitor.cells[1], Value(*Currency::Parse("-10.9496")));
  EXPECT_EQ(visitor.cells[2], Value(*Currency::Parse("12.3457")));
  EXPECT_TRUE(visitor.cells[3].IsNull());
  EXPECT_EQ(visitor.cells[4], Value(int64_t{7}));  // not a money column
  EXPECT_EQ(select->GetCurrency(1), *Currency::Parse("-10.9496"));
  EXPECT_QTS_ERROR(select->GetCurrency(3), kErrInvalidUseOfNull);
  EXPECT_QTS_ERROR(select->GetCurrency(5), kErrOverflow);

  StatementHandle overflow = connection_->Prepare("SELECT 9223372036854775807 + 1, 'x' || 'y'");
  ASSERT_TRUE(overflow->Step());
  EXPECT_QTS_ERROR(overflow->ReadRow(visitor, {true}), kErrOverflow);
  EXPECT_QTS_ERROR(overflow->GetCurrency(1), kErrTypeMismatch);
}

}  // namespace
}  // namespace qts::db
