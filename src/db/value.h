// A value crossing the backend boundary: a bound parameter or a column of a fetched row.
// It mirrors the storage classes every backend shares, and money: a Currency value that each
// backend keeps its own way (NUMERIC(19,4) on PostgreSQL, INTEGER scaled by 10,000 on
// SQLite). The rest of the host's Variant semantics (Date, Empty) live above this layer.
#ifndef QTS_DB_VALUE_H_
#define QTS_DB_VALUE_H_

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/currency.h"

namespace qts::db {

// kMoney is a bound value's kind only: a fetched row reports the backend's storage kind, and a
// money column is read with Statement::GetCurrency or ReadRow's money columns.
enum class ValueKind { kNull, kInteger, kReal, kText, kBlob, kMoney };

// "NULL", "INTEGER", "REAL", "TEXT", "BLOB", "MONEY".
std::string_view ValueKindName(ValueKind kind);

using Blob = std::vector<std::uint8_t>;

// Constructors are implicit on purpose: a Value is written where its contents are, as in
// statement->BindAll({id, "code", 2.5, nullptr}).
class Value {
 public:
  // Alternatives in the order of ValueKind, so index() == kind.
  using Storage = std::variant<std::monostate, int64_t, double, std::string, Blob, Currency>;

  Value() = default;  // NULL
  Value(std::nullptr_t) {}
  Value(std::monostate) {}
  // Every integer type, bool included (SQL has no boolean storage: true is 1). An unsigned
  // value above INT64_MAX raises error 6 rather than wrapping.
  template <std::integral T>
  Value(T v) : storage_(CheckedInt64(v)) {}
  template <std::floating_point T>
  Value(T v) : storage_(static_cast<double>(v)) {}
  Value(std::string v) : storage_(std::move(v)) {}
  Value(std::string_view v) : storage_(std::string(v)) {}
  Value(const char* v) : storage_(std::string(v)) {}
  Value(Blob v) : storage_(std::move(v)) {}
  Value(Currency v) : storage_(v) {}

  ValueKind Kind() const noexcept { return static_cast<ValueKind>(storage_.index()); }
  bool IsNull() const noexcept { return Kind() == ValueKind::kNull; }

  // Checked accessors: raise error 94 on NULL and error 13 when the kind differs.
  // Int64/Double do not convert between each other: a caller that wants a number of
  // either kind asks Kind() first.
  int64_t Int64() const;
  double Double() const;
  const std::string& Text() const;
  const Blob& Bytes() const;
  Currency Money() const;

  const Storage& storage() const noexcept { return storage_; }

  // For messages and test output: NULL, 42, 2.5, 'text' (quotes doubled), x'0aff', 5.4748.
  std::string ToLiteral() const;

  friend bool operator==(const Value&, const Value&) = default;

 private:
  template <std::integral T>
  static int64_t CheckedInt64(T v) {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(int64_t)) {
      if (v > static_cast<T>(INT64_MAX)) ThrowUnsignedOverflow();
    }
    return static_cast<int64_t>(v);
  }
  [[noreturn]] static void ThrowUnsignedOverflow();

  Storage storage_;
};

// GoogleTest and log output.
void PrintTo(const Value& value, std::ostream* os);

}  // namespace qts::db

#endif  // QTS_DB_VALUE_H_
