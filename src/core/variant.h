// Variant: the platform's tagged value. It holds one of the platform's types, keeps Empty
// (never assigned) apart from Null (no data), and copies like a value. Conversions live in
// convert.h, the platform's operators in operators.h.
#ifndef QTS_CORE_VARIANT_H_
#define QTS_CORE_VARIANT_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/currency.h"
#include "core/date.h"
#include "core/object.h"

namespace qts {

// The platform's VarType codes.
enum class VarType : uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,  // 16-bit
  kLong = 3,     // 32-bit
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kString = 8,
  kObject = 9,
  kBoolean = 11,
};

class Variant {
 public:
  // Empty.
  Variant() = default;
  static Variant Null() { return Variant(NullTag{}); }
  // The object Nothing.
  static Variant Nothing() { return Variant(ObjectPtr()); }

  Variant(bool value) : value_(value) {}
  Variant(int16_t value) : value_(value) {}
  Variant(int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(Currency value) : value_(value) {}
  Variant(Date value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  // An object reference; a null pointer is Nothing.
  Variant(ObjectPtr value) : value_(std::move(value)) {}
  Variant(std::nullptr_t) : value_(ObjectPtr()) {}
  // Other integer types have no platform type of their own: convert explicitly (int32_t for
  // Long, int16_t for Integer, Currency::FromLong or double for wider values).
  template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, int16_t> &&
           !std::is_same_v<T, int32_t>) Variant(T)
  = delete;

  VarType Type() const { return kTypes[value_.index()]; }
  bool IsEmpty() const { return Type() == VarType::kEmpty; }
  bool IsNull() const { return Type() == VarType::kNull; }
  // An object reference, Nothing included.
  bool IsObject() const { return Type() == VarType::kObject; }
  // The object Nothing.
  bool IsNothing() const { return IsObject() && !std::get<ObjectPtr>(value_); }
  // As the platform's IsNumeric: True for Empty, Boolean, Integer, Long, Double, Currency and
  // for text that converts to a number; False for Null, Date, objects and other text.
  bool IsNumeric() const;

  // Typed access without conversion: error 13 (Type mismatch) when the Variant holds another
  // type. Use the conversions of convert.h to convert.
  bool AsBool() const { return Get<bool>(); }
  int16_t AsInteger() const { return Get<int16_t>(); }
  int32_t AsLong() const { return Get<int32_t>(); }
  double AsDouble() const { return Get<double>(); }
  Currency AsCurrency() const { return Get<Currency>(); }
  Date AsDate() const { return Get<Date>(); }
  const std::string& AsString() const { return Get<std::string>(); }
  const ObjectPtr& AsObject() const { return Get<ObjectPtr>(); }

  // Same type and same value (objects: the same object). This is NOT the platform's `=`,
  // which is Eq in operators.h.
  bool SameAs(const Variant& other) const { return value_ == other.value_; }
  bool operator==(const Variant& other) const { return SameAs(other); }

 private:
  struct EmptyTag {
    bool operator==(const EmptyTag&) const = default;
  };
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  using Storage = std::variant<EmptyTag, NullTag, bool, int16_t, int32_t, double, Currency, Date,
                               std::string, ObjectPtr>;
  static constexpr VarType kTypes[] = {
      VarType::kEmpty,  VarType::kNull,     VarType::kBoolean, VarType::kInteger, VarType::kLong,
      VarType::kDouble, VarType::kCurrency, VarType::kDate,    VarType::kString,  VarType::kObject};

  explicit Variant(NullTag tag) : value_(tag) {}

  template <class T>
  const T& Get() const {
    if (const T* p = std::get_if<T>(&value_)) return *p;
    ThrowTypeMismatch();
  }
  [[noreturn]] static void ThrowTypeMismatch();

  Storage value_;
};

// The platform's TypeName: "Empty", "Null", "Integer", "Long", "Double", "Currency", "Date",
// "String", "Boolean", "Nothing", or the class name of the object.
std::string TypeName(const Variant& value);

// For test output and diagnostics: the type name and the value, e.g. `Long(12)`,
// `String("abc")`.
std::ostream& operator<<(std::ostream& out, const Variant& value);

}  // namespace qts

#endif  // QTS_CORE_VARIANT_H_
