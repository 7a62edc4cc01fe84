#include "db/sqlite/sqlite_statement.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <utility>

#include "core/error.h"
#include "core/log.h"
#include "db/db_error.h"
#include "db/sqlite/crash_point.h"
#include "db/sqlite/money_functions.h"
#include "db/sqlite/sqlite_error.h"

namespace qts::db {

namespace {

constexpr const char* kSource = "Statement";

// Whether the rest of an SQL text holds another statement (comments and blanks do not).
bool HoldsAnotherStatement(sqlite3* db, const char* tail, const char* end) {
  if (tail == nullptr || tail >= end) return false;
  sqlite3_stmt* next = nullptr;
  int code = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &next, nullptr);
  bool another = code != SQLITE_OK || next != nullptr;
  sqlite3_finalize(next);
  return another;
}

ValueKind KindOfSqliteType(int type) {
  switch (type) {
    case SQLITE_INTEGER:
      return ValueKind::kInteger;
    case SQLITE_FLOAT:
      return ValueKind::kReal;
    case SQLITE_TEXT:
      return ValueKind::kText;
    case SQLITE_BLOB:
      return ValueKind::kBlob;
    default:
      return ValueKind::kNull;
  }
}

std::string_view TextOf(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  if (text == nullptr) return {};
  return {text, static_cast<size_t>(sqlite3_column_bytes(stmt, column))};
}

// 2^63 as a double: reals in [-2^63, 2^63) convert to int64 exactly when integral.
constexpr double kTwoPow63 = 9223372036854775808.0;

}  // namespace

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* stmt) const noexcept {
  sqlite3_finalize(stmt);
}

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db), sql_(sql) {
  if (sql_.size() > static_cast<size_t>(INT_MAX)) {
    ThrowMisuse("The SQL text is too long to prepare");
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int code = sqlite3_prepare_v3(db_, sql_.c_str(), static_cast<int>(sql_.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  stmt_.reset(stmt);
  if (code != SQLITE_OK) ThrowSqliteError(db_, code, kSource, sql_);
  if (!stmt_) ThrowMisuse("The SQL text holds no statement");
  if (HoldsAnotherStatement(db_, tail, sql_.c_str() + sql_.size())) {
    ThrowMisuse("The SQL text holds more than one statement; run scripts with Execute");
  }
}

SqliteStatement::~SqliteStatement() = default;

void SqliteStatement::ThrowMisuse(std::string message) const {
  throw DatabaseError(kErrDbMisuse, kSource, DescribeWithSql(message, sql_), 0, sql_);
}

// --- Parameters ---

int SqliteStatement::ParameterCount() const noexcept {
  return sqlite3_bind_parameter_count(stmt_.get());
}

int SqliteStatement::ParameterIndex(std::string_view name) const {
  if (!name.empty()) {
    char first = name.front();
    if (first == ':' || first == '@' || first == '$' || first == '?') {
      int index = sqlite3_bind_parameter_index(stmt_.get(), std::string(name).c_str());
      if (index > 0) return index;
    } else {
      std::string prefixed(1 + name.size(), ' ');
      name.copy(prefixed.data() + 1, name.size());
      for (char prefix : {':', '@', '$'}) {
        prefixed[0] = prefix;
        int index = sqlite3_bind_parameter_index(stmt_.get(), prefixed.c_str());
        if (index > 0) return index;
      }
    }
  }
  ThrowMisuse(fmt::format("The statement has no parameter named '{}'", name));
}

void SqliteStatement::CheckBind(int code, int index) {
  if (code == SQLITE_OK) return;
  if (code == SQLITE_RANGE) {
    ThrowMisuse(
        fmt::format("Parameter {} is out of range: the statement has {}", index, ParameterCount()));
  }
  ThrowSqliteError(db_, code, kSource, sql_);
}

void SqliteStatement::BindNull(int index) {
  CheckBind(sqlite3_bind_null(stmt_.get(), index), index);
  if (SqlTraceOn()) trace_.Bound(index, Value());
}

void SqliteStatement::BindInt64(int index, int64_t value) {
  CheckBind(sqlite3_bind_int64(stmt_.get(), index, value), index);
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void SqliteStatement::BindDouble(int index, double value) {
  CheckBind(sqlite3_bind_double(stmt_.get(), index, value), index);
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void SqliteStatement::BindText(int index, std::string_view value) {
  // A null pointer would bind NULL; empty text must stay empty text.
  const char* data = value.data() != nullptr ? value.data() : "";
  CheckBind(
      sqlite3_bind_text64(stmt_.get(), index, data, value.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
      index);
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void SqliteStatement::BindBlob(int index, const Blob& value) {
  if (value.empty()) {
    CheckBind(sqlite3_bind_zeroblob(stmt_.get(), index, 0), index);  // empty, not NULL
    return;
  }
  CheckBind(sqlite3_bind_blob64(stmt_.get(), index, value.data(), value.size(), SQLITE_TRANSIENT),
            index);
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void SqliteStatement::BindCurrency(int index, Currency value) {
  CheckBind(sqlite3_bind_int64(stmt_.get(), index, value.Scaled()), index);
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

// --- Execution ---

bool SqliteStatement::Step() {
  if (SqlTraceOn()) trace_.Starting();
  int code = sqlite3_step(stmt_.get());
  if (code == SQLITE_ROW) {
    has_row_ = true;
    if (SqlTraceOn()) trace_.Stepped(sql_, true);
    return true;
  }
  has_row_ = false;
  if (code == SQLITE_DONE) {
    if (SqlTraceOn()) trace_.Stepped(sql_, false);
    if (CrashPointSet()) NoteFinishedStatement(stmt_.get());
    return false;
  }
  // Reset right away so a failed statement holds no lock; the message is read first
  // because the reset may replace it.
  std::string message = sqlite3_errmsg(db_);
  if (SqlTraceOn()) trace_.Failed(sql_, message);
  sqlite3_reset(stmt_.get());
  throw DatabaseError(ErrorNumberForSqliteCode(code), kSource,
                      DescribeWithSql(SqliteErrorText(code, message), sql_), code, sql_);
}

void SqliteStatement::Reset() noexcept {
  // sqlite3_reset repeats the error of the last Step, which Step has already raised.
  sqlite3_reset(stmt_.get());
  has_row_ = false;
  if (SqlTraceOn()) trace_.Rewound(sql_);
}

void SqliteStatement::ClearBindings() noexcept {
  sqlite3_clear_bindings(stmt_.get());
  if (SqlTraceOn()) trace_.Cleared();
}

// --- Result columns ---

// Not cached: a statement re-prepared after a schema change may return other columns.
int SqliteStatement::ColumnCount() const noexcept { return sqlite3_column_count(stmt_.get()); }

void SqliteStatement::CheckColumnIndex(int column) const {
  int count = ColumnCount();
  if (column < 0 || column >= count) {
    ThrowMisuse(fmt::format("Column {} is out of range: the statement returns {} column(s)", column,
                            count));
  }
}

int SqliteStatement::RowColumnType(int column) const {
  CheckColumnIndex(column);
  if (!has_row_) ThrowMisuse(fmt::format("Column {} read with no current row", column));
  return sqlite3_column_type(stmt_.get(), column);
}

void SqliteStatement::ThrowConversion(int column, int type, std::string_view wanted) const {
  if (type == SQLITE_NULL) {
    throw Error(kErrInvalidUseOfNull, kSource,
                DescribeWithSql(fmt::format("Invalid use of Null: column {} ('{}') is NULL", column,
                                            sqlite3_column_name(stmt_.get(), column)),
                                sql_));
  }
  throw Error(kErrTypeMismatch, kSource,
              DescribeWithSql(fmt::format("Type mismatch: column {} ('{}') holds {}, not {}",
                                          column, sqlite3_column_name(stmt_.get(), column),
                                          ValueKindName(KindOfSqliteType(type)), wanted),
                              sql_));
}

std::string SqliteStatement::ColumnName(int column) const {
  CheckColumnIndex(column);
  const char* name = sqlite3_column_name(stmt_.get(), column);
  return name != nullptr ? name : "";
}

std::string SqliteStatement::ColumnDeclaredType(int column) const {
  CheckColumnIndex(column);
  const char* type = sqlite3_column_decltype(stmt_.get(), column);
  return type != nullptr ? type : "";
}

ValueKind SqliteStatement::ColumnKind(int column) const {
  return KindOfSqliteType(RowColumnType(column));
}

int64_t SqliteStatement::GetInt64(int column) const {
  int type = RowColumnType(column);
  switch (type) {
    case SQLITE_INTEGER:
      return sqlite3_column_int64(stmt_.get(), column);
    case SQLITE_FLOAT: {
      double value = sqlite3_column_double(stmt_.get(), column);
      if (value >= -kTwoPow63 && value < kTwoPow63 && std::trunc(value) == value) {
        return static_cast<int64_t>(value);
      }
      break;
    }
    case SQLITE_TEXT: {
      std::string_view text = TextOf(stmt_.get(), column);
      int64_t value = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc() && end == text.data() + text.size() && !text.empty()) return value;
      break;
    }
    default:
      break;
  }
  ThrowConversion(column, type, "INTEGER");
}

double SqliteStatement::GetDouble(int column) const {
  int type = RowColumnType(column);
  switch (type) {
    case SQLITE_INTEGER:
      return static_cast<double>(sqlite3_column_int64(stmt_.get(), column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(stmt_.get(), column);
    case SQLITE_TEXT: {
      std::string_view text = TextOf(stmt_.get(), column);
      double value = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc() && end == text.data() + text.size() && !text.empty()) return value;
      break;
    }
    default:
      break;
  }
  ThrowConversion(column, type, "REAL");
}

std::string_view SqliteStatement::GetTextView(int column) const {
  int type = RowColumnType(column);
  if (type == SQLITE_NULL) ThrowConversion(column, type, "TEXT");
  return TextOf(stmt_.get(), column);
}

Blob SqliteStatement::GetBlob(int column) const {
  int type = RowColumnType(column);
  if (type != SQLITE_BLOB && type != SQLITE_TEXT) ThrowConversion(column, type, "BLOB");
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_.get(), column));
  int size = sqlite3_column_bytes(stmt_.get(), column);
  if (data == nullptr || size <= 0) return {};
  return Blob(data, data + size);
}

Currency SqliteStatement::MoneyOf(int column, sqlite3_value* value) const {
  std::optional<Currency> money;
  try {
    money = MoneyValue(value);
  } catch (const Error& e) {
    throw Error(
        e.Number(), kSource,
        DescribeWithSql(fmt::format("column {} ('{}'): {}", column,
                                    sqlite3_column_name(stmt_.get(), column), e.Description()),
                        sql_));
  }
  if (money) return *money;
  ThrowConversion(column, sqlite3_value_type(value), "MONEY");
}

Currency SqliteStatement::GetCurrency(int column) const {
  const int type = RowColumnType(column);
  if (type == SQLITE_INTEGER)
    return Currency::FromScaled(sqlite3_column_int64(stmt_.get(), column));
  if (type == SQLITE_NULL) ThrowConversion(column, type, "MONEY");
  return MoneyOf(column, sqlite3_column_value(stmt_.get(), column));
}

void SqliteStatement::ReadRow(RowVisitor& visitor, const std::vector<bool>& money) const {
  if (!has_row_) ThrowMisuse("A row read with no current row");
  sqlite3_stmt* stmt = stmt_.get();
  const int count = sqlite3_column_count(stmt);
  // One call into the statement per column; the value it hands back is read while the row
  // is current.
  for (int c = 0; c < count; ++c) {
    sqlite3_value* value = sqlite3_column_value(stmt, c);
    const int type = sqlite3_value_type(value);
    if (type != SQLITE_NULL && static_cast<size_t>(c) < money.size() && money[c]) {
      visitor.Money(c, type == SQLITE_INTEGER ? Currency::FromScaled(sqlite3_value_int64(value))
                                              : MoneyOf(c, value));
      continue;
    }
    switch (type) {
      case SQLITE_INTEGER:
        visitor.Integer(c, sqlite3_value_int64(value));
        break;
      case SQLITE_FLOAT:
        visitor.Real(c, sqlite3_value_double(value));
        break;
      case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        visitor.Text(c,
                     text == nullptr
                         ? std::string_view()
                         : std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))));
        break;
      }
      case SQLITE_BLOB: {
        const auto* data = static_cast<const uint8_t*>(sqlite3_value_blob(value));
        const int size = sqlite3_value_bytes(value);
        visitor.Bytes(c, data == nullptr || size <= 0 ? Blob() : Blob(data, data + size));
        break;
      }
      default:
        visitor.Null(c);
        break;
    }
  }
}

}  // namespace qts::db
