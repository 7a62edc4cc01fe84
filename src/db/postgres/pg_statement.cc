#include "db/postgres/pg_statement.h"

#include <fmt/format.h>
#include <libpq-fe.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <utility>

#include "core/decimal.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "db/db_error.h"
#include "db/postgres/pg_connection.h"
#include "db/postgres/pg_error.h"

namespace qts::db {

namespace {

constexpr const char* kSource = "Statement";

// Type oids of the server's built-in types (pg_type.dat).
constexpr unsigned int kBoolOid = 16;
constexpr unsigned int kByteaOid = 17;
constexpr unsigned int kInt8Oid = 20;
constexpr unsigned int kInt2Oid = 21;
constexpr unsigned int kInt4Oid = 23;
constexpr unsigned int kTextOid = 25;
constexpr unsigned int kOidOid = 26;
constexpr unsigned int kFloat4Oid = 700;
constexpr unsigned int kFloat8Oid = 701;
constexpr unsigned int kBpcharOid = 1042;
constexpr unsigned int kVarcharOid = 1043;
constexpr unsigned int kDateOid = 1082;
constexpr unsigned int kTimestampOid = 1114;
constexpr unsigned int kNumericOid = 1700;

ValueKind KindOfType(unsigned int type) {
  switch (type) {
    case kBoolOid:
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
      return ValueKind::kInteger;
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid:
      return ValueKind::kReal;
    case kByteaOid:
      return ValueKind::kBlob;
    default:
      return ValueKind::kText;
  }
}

bool IsIntegerType(unsigned int type) {
  return type == kInt2Oid || type == kInt4Oid || type == kInt8Oid || type == kOidOid;
}

bool IdentifierStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IdentifierChar(char c) { return IdentifierStart(c) || (c >= '0' && c <= '9') || c == '$'; }

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithWord(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = text[at + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != word[i]) return false;
  }
  return at + word.size() == text.size() || !IdentifierChar(text[at + word.size()]);
}

size_t SkipSpace(std::string_view text, size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' ||
                              text[at] == '\r' || text[at] == '\f')) {
    ++at;
  }
  return at;
}

}  // namespace

std::string InsertTarget(std::string_view sql) {
  size_t at = SkipSpace(sql, 0);
  if (!StartsWithWord(sql, at, "INSERT")) return {};
  at = SkipSpace(sql, at + 6);
  if (!StartsWithWord(sql, at, "INTO")) return {};
  at = SkipSpace(sql, at + 4);
  size_t start = at;
  while (at < sql.size()) {
    if (sql[at] == '"') {
      ++at;
      while (at < sql.size() && !(sql[at] == '"' && (at + 1 >= sql.size() || sql[at + 1] != '"'))) {
        at += sql[at] == '"' ? 2 : 1;
      }
      ++at;
    } else if (IdentifierChar(sql[at]) || sql[at] == '.') {
      ++at;
    } else {
      break;
    }
  }
  std::string table(sql.substr(start, at - start));
  // A statement that names its own RETURNING list keeps it (a rough look suffices: the word
  // in a text or a name only costs the key lookup).
  for (size_t i = at; i + 9 <= sql.size(); ++i) {
    if ((i == 0 || !IdentifierChar(sql[i - 1])) && StartsWithWord(sql, i, "RETURNING")) return {};
  }
  return table;
}

namespace {

// Parses a whole number or a real the way the SQLite backend accepts text: all of it.
template <typename T>
bool ParseAll(std::string_view text, T& value) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

constexpr double kTwoPow63 = 9223372036854775808.0;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

ServerParameters NumberParameters(std::string_view sql) {
  ServerParameters out;
  out.sql.reserve(sql.size() + 8);
  auto name_slot = [&](int number) -> std::string& {
    if (static_cast<int>(out.names.size()) < number) out.names.resize(number);
    return out.names[number - 1];
  };
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'' || c == '"') {
      // Quoted text or identifier, doubled quotes inside.
      size_t end = i + 1;
      while (end < sql.size()) {
        if (sql[end] == c) {
          if (end + 1 < sql.size() && sql[end + 1] == c) {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      end = std::min(end + 1, sql.size());
      out.sql.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      size_t end = sql.find('\n', i);
      end = end == std::string_view::npos ? sql.size() : end;
      out.sql.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
      out.sql.append(sql.substr(i, end - i));
      i = end;
    } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
      out.sql.append("::");
      i += 2;
    } else if ((c == '?' || c == '$') && i + 1 < sql.size() && Digit(sql[i + 1])) {
      size_t end = i + 1;
      int number = 0;
      while (end < sql.size() && Digit(sql[end])) {
        number = std::min(number * 10 + (sql[end] - '0'), 100000);
        ++end;
      }
      out.count = std::max(out.count, number);
      out.sql += '$';
      out.sql.append(sql.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '?') {
      out.count += 1;
      out.sql += '$' + std::to_string(out.count);
      ++i;
    } else if ((c == ':' || c == '@') && i + 1 < sql.size() && IdentifierStart(sql[i + 1]) &&
               (i == 0 || !IdentifierChar(sql[i - 1]))) {
      size_t end = i + 1;
      while (end < sql.size() && IdentifierChar(sql[end])) ++end;
      std::string name(sql.substr(i + 1, end - i - 1));
      int number = 0;
      for (size_t n = 0; n < out.names.size(); ++n) {
        if (out.names[n] == name) number = static_cast<int>(n) + 1;
      }
      if (number == 0) {
        number = ++out.count;
        name_slot(number) = name;
      }
      out.sql += '$' + std::to_string(number);
      i = end;
    } else {
      out.sql += c;
      ++i;
    }
  }
  if (!out.names.empty()) out.names.resize(out.count);
  return out;
}

void PgStatement::ResultClearer::operator()(pg_result* result) const noexcept { PQclear(result); }

PgStatement::PgStatement(PgConnection& connection, std::string_view sql)
    : link_(connection.Link()), sql_(sql) {
  ServerParameters numbered = NumberParameters(sql_);
  names_ = std::move(numbered.names);
  std::string text = std::move(numbered.sql);
  std::string target = InsertTarget(text);
  if (!target.empty()) {
    const std::string& identity = connection.IdentityColumn(target);
    if (!identity.empty()) {
      std::string quoted = "\"";
      for (char c : identity) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      text += " RETURNING " + quoted + "\"";
      returns_identity_ = true;
    }
  }
  // The trace shows what the server was sent, with its own parameter numbers.
  trace_.RunsAs(text == sql_ ? std::string() : text, '$');
  pg_conn* conn = connection.Handle();
  name_ = connection.NextStatementName();
  std::unique_ptr<pg_result, ResultClearer> prepared(
      PQprepare(conn, name_.c_str(), text.c_str(), 0, nullptr));
  if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
    name_.clear();
    ThrowPgError(conn, prepared.get(), kSource, sql_);
  }
  std::unique_ptr<pg_result, ResultClearer> described(PQdescribePrepared(conn, name_.c_str()));
  if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
    ThrowPgError(conn, described.get(), kSource, sql_);
  }
  const int parameters = PQnparams(described.get());
  parameter_types_.resize(parameters);
  for (int p = 0; p < parameters; ++p) parameter_types_[p] = PQparamtype(described.get(), p);
  values_.resize(parameters);
  formats_.assign(parameters, 0);
  if (!names_.empty()) names_.resize(parameters);
  if (!returns_identity_) {
    const int fields = PQnfields(described.get());
    columns_.resize(fields);
    for (int f = 0; f < fields; ++f) {
      Column& column = columns_[f];
      column.name = PQfname(described.get(), f);
      column.type = PQftype(described.get(), f);
      column.modifier = PQfmod(described.get(), f);
      column.from_table = PQftable(described.get(), f) != InvalidOid;
      column.kind = KindOfType(column.type);
    }
  }
}

PgStatement::~PgStatement() {
  PgConnection* owner = Owner();
  pg_conn* conn = owner != nullptr ? owner->Handle() : nullptr;
  if (name_.empty() || conn == nullptr || PQstatus(conn) != CONNECTION_OK) return;
  // A failed transaction refuses every command until it is rolled back; the statement then
  // stays prepared until the session ends, which costs nothing but its name.
  if (PQtransactionStatus(conn) == PQTRANS_INERROR) return;
  PQclear(PQexec(conn, ("DEALLOCATE " + name_).c_str()));
}

void PgStatement::ThrowMisuse(std::string message) const {
  throw DatabaseError(kErrDbMisuse, kSource, DescribeWithSql(message, sql_), 0, sql_);
}

// --- Parameters ---

int PgStatement::ParameterIndex(std::string_view name) const {
  std::string_view bare = name;
  if (!bare.empty() && (bare.front() == ':' || bare.front() == '@' || bare.front() == '$')) {
    bare.remove_prefix(1);
  }
  for (size_t n = 0; n < names_.size(); ++n) {
    if (!names_[n].empty() && names_[n] == bare) return static_cast<int>(n) + 1;
  }
  ThrowMisuse(fmt::format("The statement has no parameter named '{}'", name));
}

void PgStatement::CheckIndex(int index) {
  if (index < 1 || index > ParameterCount()) {
    ThrowMisuse(
        fmt::format("Parameter {} is out of range: the statement has {}", index, ParameterCount()));
  }
}

void PgStatement::BindNull(int index) {
  CheckIndex(index);
  values_[index - 1].reset();
  formats_[index - 1] = 0;
  if (SqlTraceOn()) trace_.Bound(index, Value());
}

void PgStatement::BindInt64(int index, int64_t value) {
  CheckIndex(index);
  if (parameter_types_[index - 1] == kBoolOid) {
    values_[index - 1] = value != 0 ? "t" : "f";
  } else {
    values_[index - 1] = std::to_string(value);
  }
  formats_[index - 1] = 0;
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void PgStatement::BindDouble(int index, double value) {
  CheckIndex(index);
  std::string text;
  if (!std::isfinite(value)) {
    text = std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity";
  } else if (IsIntegerType(parameter_types_[index - 1]) && std::trunc(value) == value &&
             value >= -kTwoPow63 && value < kTwoPow63) {
    // A whole real bound where the server expects an integer, as SQLite would store it.
    text = std::to_string(static_cast<int64_t>(value));
  } else {
    text = fmt::format("{}", value);  // shortest text that reads back as the same double
  }
  values_[index - 1] = std::move(text);
  formats_[index - 1] = 0;
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void PgStatement::BindText(int index, std::string_view value) {
  CheckIndex(index);
  values_[index - 1] = std::string(value);
  formats_[index - 1] = 0;
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void PgStatement::BindBlob(int index, const Blob& value) {
  CheckIndex(index);
  values_[index - 1] = std::string(value.begin(), value.end());
  formats_[index - 1] = 1;
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

void PgStatement::BindCurrency(int index, Currency value) {
  CheckIndex(index);
  // Exact decimal text: whole part, point, four places.
  const int64_t scaled = value.Scaled();
  const uint64_t magnitude =
      scaled < 0 ? static_cast<uint64_t>(-(scaled + 1)) + 1 : static_cast<uint64_t>(scaled);
  values_[index - 1] =
      fmt::format("{}{}.{:04}", scaled < 0 ? "-" : "", magnitude / 10000, magnitude % 10000);
  formats_[index - 1] = 0;
  if (SqlTraceOn()) trace_.Bound(index, Value(value));
}

// --- Execution ---

bool PgStatement::Step() {
  if (executed_) {
    if (row_ + 1 < rows_) {
      ++row_;
      if (SqlTraceOn()) trace_.Stepped(sql_, true);
      return true;
    }
    // Finished: the next Step runs the statement again, as SQLite's does.
    row_ = rows_;
    executed_ = false;
    result_.reset();
    if (SqlTraceOn()) trace_.Stepped(sql_, false);
    return false;
  }
  PgConnection* owner = Owner();
  if (owner == nullptr) ThrowMisuse("The statement's connection is closed");
  pg_conn* conn = owner->Handle();
  const int count = ParameterCount();
  std::vector<const char*> values(count);
  std::vector<int> lengths(count);
  for (int p = 0; p < count; ++p) {
    if (values_[p]) {
      values[p] = values_[p]->data();
      lengths[p] = static_cast<int>(values_[p]->size());
    }
  }
  if (SqlTraceOn()) trace_.Starting();
  result_.reset(PQexecPrepared(conn, name_.c_str(), count, values.data(), lengths.data(),
                               formats_.data(), 0));
  ExecStatusType status = PQresultStatus(result_.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    std::unique_ptr<pg_result, ResultClearer> failed = std::move(result_);
    if (SqlTraceOn()) trace_.Failed(sql_, StripAsciiWhitespace(PQresultErrorMessage(failed.get())));
    ThrowPgError(conn, failed.get(), kSource, sql_);
  }
  // COMMIT of a transaction that an earlier failure doomed answers ROLLBACK, not an error.
  if (std::string_view(PQcmdStatus(result_.get())) == "ROLLBACK" &&
      StartsWithWord(sql_, SkipSpace(sql_, 0), "COMMIT")) {
    result_.reset();
    if (SqlTraceOn()) trace_.Failed(sql_, "the server rolled the transaction back");
    throw DatabaseError(kErrDatabase, kSource,
                        "The transaction cannot be committed: a statement in it failed and "
                        "the server rolled it back",
                        PackSqlState("25P02"), sql_);
  }
  const char* tuples = PQcmdTuples(result_.get());
  if (tuples != nullptr && *tuples != '\0') owner->SetChanges(std::atoll(tuples));
  executed_ = true;
  row_ = -1;
  rows_ = status == PGRES_TUPLES_OK ? PQntuples(result_.get()) : 0;
  if (returns_identity_) {
    if (rows_ > 0 && !PQgetisnull(result_.get(), rows_ - 1, 0)) {
      owner->SetLastInsertId(std::atoll(PQgetvalue(result_.get(), rows_ - 1, 0)));
    }
    rows_ = 0;
  }
  return Step();
}

void PgStatement::Reset() noexcept {
  if (SqlTraceOn()) trace_.Rewound(sql_);
  result_.reset();
  executed_ = false;
  row_ = -1;
  rows_ = 0;
}

void PgStatement::ClearBindings() noexcept {
  for (auto& value : values_) value.reset();
  std::fill(formats_.begin(), formats_.end(), 0);
  if (SqlTraceOn()) trace_.Cleared();
}

// --- Result columns ---

void PgStatement::CheckColumnIndex(int column) const {
  if (column < 0 || column >= ColumnCount()) {
    ThrowMisuse(fmt::format("Column {} is out of range: the statement returns {} column(s)", column,
                            ColumnCount()));
  }
}

void PgStatement::RequireRow(int column) const {
  CheckColumnIndex(column);
  if (!executed_ || row_ < 0 || row_ >= rows_) {
    ThrowMisuse(fmt::format("Column {} read with no current row", column));
  }
}

std::string_view PgStatement::Cell(int column) const {
  return {PQgetvalue(result_.get(), row_, column),
          static_cast<size_t>(PQgetlength(result_.get(), row_, column))};
}

void PgStatement::ThrowConversion(int column, std::string_view wanted) const {
  const Column& c = columns_[column];
  if (PQgetisnull(result_.get(), row_, column)) {
    throw Error(
        kErrInvalidUseOfNull, kSource,
        DescribeWithSql(
            fmt::format("Invalid use of Null: column {} ('{}') is NULL", column, c.name), sql_));
  }
  throw Error(kErrTypeMismatch, kSource,
              DescribeWithSql(fmt::format("Type mismatch: column {} ('{}') holds {}, not {}",
                                          column, c.name, ValueKindName(c.kind), wanted),
                              sql_));
}

std::string PgStatement::ColumnName(int column) const {
  CheckColumnIndex(column);
  return columns_[column].name;
}

std::string PgStatement::ColumnDeclaredType(int column) const {
  CheckColumnIndex(column);
  const Column& c = columns_[column];
  if (!c.from_table) return {};
  switch (c.type) {
    case kBoolOid:
      return "BOOLEAN";
    case kInt2Oid:
      return "SMALLINT";
    case kInt4Oid:
      return "INTEGER";
    case kInt8Oid:
      return "BIGINT";
    case kFloat4Oid:
      return "REAL";
    case kFloat8Oid:
      return "DOUBLE PRECISION";
    case kTextOid:
      return "TEXT";
    case kDateOid:
      return "DATE";
    case kTimestampOid:
      return "TIMESTAMP";
    case kByteaOid:
      return "BYTEA";
    case kNumericOid:
      if (c.modifier >= 4) {
        const int m = c.modifier - 4;
        return fmt::format("NUMERIC({},{})", (m >> 16) & 0xFFFF, m & 0xFFFF);
      }
      return "NUMERIC";
    case kVarcharOid:
    case kBpcharOid:
      return fmt::format("{}({})", c.type == kVarcharOid ? "VARCHAR" : "CHAR", c.modifier - 4);
    default:
      return {};
  }
}

ValueKind PgStatement::ColumnKind(int column) const {
  RequireRow(column);
  if (PQgetisnull(result_.get(), row_, column)) return ValueKind::kNull;
  return columns_[column].kind;
}

int64_t PgStatement::GetInt64(int column) const {
  ValueKind kind = ColumnKind(column);
  std::string_view cell = Cell(column);
  if (columns_[column].type == kBoolOid) return cell == "t" ? 1 : 0;
  int64_t value = 0;
  if ((kind == ValueKind::kInteger || kind == ValueKind::kText) && ParseAll(cell, value)) {
    return value;
  }
  if (kind == ValueKind::kReal) {
    double real = 0;
    if (ParseAll(cell, real) && real >= -kTwoPow63 && real < kTwoPow63 &&
        std::trunc(real) == real) {
      return static_cast<int64_t>(real);
    }
  }
  ThrowConversion(column, "INTEGER");
}

double PgStatement::GetDouble(int column) const {
  ValueKind kind = ColumnKind(column);
  std::string_view cell = Cell(column);
  if (columns_[column].type == kBoolOid) return cell == "t" ? 1 : 0;
  double value = 0;
  if (kind != ValueKind::kNull && kind != ValueKind::kBlob && ParseAll(cell, value)) return value;
  ThrowConversion(column, "REAL");
}

std::string_view PgStatement::GetTextView(int column) const {
  ValueKind kind = ColumnKind(column);
  if (kind == ValueKind::kNull) ThrowConversion(column, "TEXT");
  std::string_view cell = Cell(column);
  if (columns_[column].type == kBoolOid) return cell == "t" ? "1" : "0";
  return cell;
}

Blob PgStatement::GetBlob(int column) const {
  ValueKind kind = ColumnKind(column);
  if (kind == ValueKind::kNull) ThrowConversion(column, "BLOB");
  std::string_view cell = Cell(column);
  if (kind != ValueKind::kBlob) return Blob(cell.begin(), cell.end());
  // bytea in text form: "\x" and two hex digits a byte.
  Blob out;
  if (cell.size() >= 2 && cell[0] == '\\' && cell[1] == 'x') {
    out.reserve((cell.size() - 2) / 2);
    for (size_t i = 2; i + 1 < cell.size(); i += 2) {
      out.push_back(static_cast<uint8_t>(HexValue(cell[i]) * 16 + HexValue(cell[i + 1])));
    }
  }
  return out;
}

Currency PgStatement::GetCurrency(int column) const {
  ValueKind kind = ColumnKind(column);
  std::string_view cell = Cell(column);
  switch (kind) {
    case ValueKind::kInteger:
      return Decimal::FromLong(GetInt64(column)).ToCurrency();
    case ValueKind::kReal:
    case ValueKind::kText: {
      if (columns_[column].type == kFloat4Oid || columns_[column].type == kFloat8Oid) {
        return Decimal::FromDouble(GetDouble(column)).ToCurrency();
      }
      // NUMERIC text: exact. Places beyond the eighteen a Decimal holds cannot change a
      // rounding to four.
      std::string_view text = cell;
      const size_t point = text.find('.');
      if (point != std::string_view::npos && text.size() - point - 1 > 18) {
        text = text.substr(0, point + 19);
      }
      if (std::optional<Decimal> value = Decimal::Parse(text)) {
        try {
          return value->ToCurrency();
        } catch (const Error& e) {
          throw Error(e.Number(), kSource,
                      DescribeWithSql(fmt::format("column {} ('{}'): {}", column,
                                                  columns_[column].name, e.Description()),
                                      sql_));
        }
      }
      break;
    }
    default:
      break;
  }
  ThrowConversion(column, "MONEY");
}

void PgStatement::ReadRow(RowVisitor& visitor, const std::vector<bool>& money) const {
  if (!executed_ || row_ < 0 || row_ >= rows_) ThrowMisuse("A row read with no current row");
  const int count = ColumnCount();
  for (int c = 0; c < count; ++c) {
    if (PQgetisnull(result_.get(), row_, c)) {
      visitor.Null(c);
      continue;
    }
    if (static_cast<size_t>(c) < money.size() && money[c]) {
      visitor.Money(c, GetCurrency(c));
      continue;
    }
    switch (columns_[c].kind) {
      case ValueKind::kInteger:
        visitor.Integer(c, GetInt64(c));
        break;
      case ValueKind::kReal:
        visitor.Real(c, GetDouble(c));
        break;
      case ValueKind::kBlob:
        visitor.Bytes(c, GetBlob(c));
        break;
      default:
        visitor.Text(c, Cell(c));
        break;
    }
  }
}

}  // namespace qts::db
