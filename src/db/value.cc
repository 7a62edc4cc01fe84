#include "db/value.h"

#include <fmt/format.h>

#include <ostream>

#include "core/error.h"

namespace qts::db {

namespace {

constexpr const char* kSource = "Value";

[[noreturn]] void ThrowKind(ValueKind have, ValueKind want) {
  if (have == ValueKind::kNull) throw Error(kErrInvalidUseOfNull, kSource);
  throw Error(kErrTypeMismatch, kSource,
              fmt::format("Type mismatch: the value is {}, not {}", ValueKindName(have),
                          ValueKindName(want)));
}

}  // namespace

std::string_view ValueKindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::kNull:
      return "NULL";
    case ValueKind::kInteger:
      return "INTEGER";
    case ValueKind::kReal:
      return "REAL";
    case ValueKind::kText:
      return "TEXT";
    case ValueKind::kBlob:
      return "BLOB";
    case ValueKind::kMoney:
      return "MONEY";
  }
  return "?";
}

void Value::ThrowUnsignedOverflow() {
  throw Error(kErrOverflow, kSource, "Overflow: the integer does not fit a signed 64-bit value");
}

int64_t Value::Int64() const {
  if (Kind() != ValueKind::kInteger) ThrowKind(Kind(), ValueKind::kInteger);
  return std::get<int64_t>(storage_);
}

double Value::Double() const {
  if (Kind() != ValueKind::kReal) ThrowKind(Kind(), ValueKind::kReal);
  return std::get<double>(storage_);
}

const std::string& Value::Text() const {
  if (Kind() != ValueKind::kText) ThrowKind(Kind(), ValueKind::kText);
  return std::get<std::string>(storage_);
}

const Blob& Value::Bytes() const {
  if (Kind() != ValueKind::kBlob) ThrowKind(Kind(), ValueKind::kBlob);
  return std::get<Blob>(storage_);
}

Currency Value::Money() const {
  if (Kind() != ValueKind::kMoney) ThrowKind(Kind(), ValueKind::kMoney);
  return std::get<Currency>(storage_);
}

std::string Value::ToLiteral() const {
  switch (Kind()) {
    case ValueKind::kNull:
      return "NULL";
    case ValueKind::kInteger:
      return fmt::format("{}", std::get<int64_t>(storage_));
    case ValueKind::kReal:
      return fmt::format("{}", std::get<double>(storage_));
    case ValueKind::kText: {
      std::string out = "'";
      for (char c : std::get<std::string>(storage_)) {
        if (c == '\'') out += '\'';
        out += c;
      }
      out += '\'';
      return out;
    }
    case ValueKind::kBlob: {
      std::string out = "x'";
      for (uint8_t b : std::get<Blob>(storage_)) out += fmt::format("{:02x}", b);
      out += '\'';
      return out;
    }
    case ValueKind::kMoney:
      return std::get<Currency>(storage_).ToString();
  }
  return {};
}

void PrintTo(const Value& value, std::ostream* os) { *os << value.ToLiteral(); }

}  // namespace qts::db
