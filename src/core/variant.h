// Variant: the platform's tagged value. It holds one of the platform's types, keeps Empty
// (never assigned) apart from Null (no data), and copies like a value. Conversions live in
// convert.h, the platform's operators in operators.h.
#ifndef QTS_CORE_VARIANT_H_
#define QTS_CORE_VARIANT_H_

#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

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
  Variant() noexcept { SetPlain(kEmptyIndex, uint64_t{0}); }
  static Variant Null() {
    Variant v;
    v.index_ = kNullIndex;
    return v;
  }
  // The object Nothing.
  static Variant Nothing() { return Variant(ObjectPtr()); }

  Variant(bool value) noexcept { SetPlain(IndexOf<bool>(), value); }
  Variant(int16_t value) noexcept { SetPlain(IndexOf<int16_t>(), value); }
  Variant(int32_t value) noexcept { SetPlain(IndexOf<int32_t>(), value); }
  Variant(double value) noexcept { SetPlain(IndexOf<double>(), value); }
  Variant(Currency value) noexcept { SetPlain(IndexOf<Currency>(), value); }
  Variant(Date value) noexcept { SetPlain(IndexOf<Date>(), value); }
  Variant(std::string value) : index_(kStringIndex) {
    new (storage_) std::string(std::move(value));
  }
  Variant(std::string_view value) : index_(kStringIndex) { new (storage_) std::string(value); }
  Variant(const char* value) : index_(kStringIndex) { new (storage_) std::string(value); }
  // An object reference; a null pointer is Nothing.
  Variant(ObjectPtr value) noexcept : index_(kObjectIndex) {
    new (storage_) ObjectPtr(std::move(value));
  }
  Variant(std::nullptr_t) noexcept : Variant(ObjectPtr()) {}
  // Other integer types have no platform type of their own: convert explicitly (int32_t for
  // Long, int16_t for Integer, Currency::FromLong or double for wider values).
  template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, int16_t> &&
           !std::is_same_v<T, int32_t>) Variant(T)
  = delete;

  // Values without a text or an object inside copy as their bytes; the rest as themselves.
  Variant(const Variant& other) : index_(other.index_) {
    if (other.Plain()) {
      CopyPlain(other);
    } else if (index_ == kStringIndex) {
      new (storage_) std::string(other.Str());
    } else {
      new (storage_) ObjectPtr(other.Obj());
    }
  }
  Variant(Variant&& other) noexcept : index_(other.index_) {
    if (other.Plain()) {
      CopyPlain(other);
    } else if (index_ == kStringIndex) {
      new (storage_) std::string(std::move(other.Str()));
    } else {
      new (storage_) ObjectPtr(std::move(other.Obj()));
    }
  }
  Variant& operator=(const Variant& other) {
    if (this == &other) return *this;
    if (Plain() && other.Plain()) {
      index_ = other.index_;
      CopyPlain(other);
    } else if (index_ == other.index_) {
      if (index_ == kStringIndex) {
        Str() = other.Str();
      } else {
        Obj() = other.Obj();
      }
    } else {
      Variant copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  Variant& operator=(Variant&& other) noexcept {
    if (this == &other) return *this;
    if (Plain() && other.Plain()) {
      index_ = other.index_;
      CopyPlain(other);
    } else if (index_ == other.index_) {
      if (index_ == kStringIndex) {
        Str() = std::move(other.Str());
      } else {
        Obj() = std::move(other.Obj());
      }
    } else {
      Destroy();
      new (this) Variant(std::move(other));
    }
    return *this;
  }
  ~Variant() { Destroy(); }

  VarType Type() const { return kTypes[index_]; }
  bool IsEmpty() const { return Type() == VarType::kEmpty; }
  bool IsNull() const { return Type() == VarType::kNull; }
  // An object reference, Nothing included.
  bool IsObject() const { return Type() == VarType::kObject; }
  // The object Nothing.
  bool IsNothing() const { return IsObject() && !Obj(); }
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
  bool SameAs(const Variant& other) const {
    if (index_ != other.index_) return false;
    switch (index_) {
      case kEmptyIndex:
      case kNullIndex:
        return true;
      case kBoolIndex:
        return As<bool>() == other.As<bool>();
      case kIntegerIndex:
        return As<int16_t>() == other.As<int16_t>();
      case kLongIndex:
        return As<int32_t>() == other.As<int32_t>();
      case kDoubleIndex:
        return As<double>() == other.As<double>();
      case kCurrencyIndex:
        return As<Currency>() == other.As<Currency>();
      case kDateIndex:
        return As<Date>() == other.As<Date>();
      case kStringIndex:
        return Str() == other.Str();
      default:
        return Obj() == other.Obj();
    }
  }
  bool operator==(const Variant& other) const { return SameAs(other); }

 private:
  // The kinds in index order; kTypes gives each one's VarType.
  static constexpr uint8_t kEmptyIndex = 0;
  static constexpr uint8_t kNullIndex = 1;
  static constexpr uint8_t kBoolIndex = 2;
  static constexpr uint8_t kIntegerIndex = 3;
  static constexpr uint8_t kLongIndex = 4;
  static constexpr uint8_t kDoubleIndex = 5;
  static constexpr uint8_t kCurrencyIndex = 6;
  static constexpr uint8_t kDateIndex = 7;
  static constexpr uint8_t kStringIndex = 8;
  static constexpr uint8_t kObjectIndex = 9;
  static constexpr VarType kTypes[] = {
      VarType::kEmpty,  VarType::kNull,     VarType::kBoolean, VarType::kInteger, VarType::kLong,
      VarType::kDouble, VarType::kCurrency, VarType::kDate,    VarType::kString,  VarType::kObject};

  template <class T>
  static constexpr uint8_t IndexOf() {
    if constexpr (std::is_same_v<T, bool>) return kBoolIndex;
    if constexpr (std::is_same_v<T, int16_t>) return kIntegerIndex;
    if constexpr (std::is_same_v<T, int32_t>) return kLongIndex;
    if constexpr (std::is_same_v<T, double>) return kDoubleIndex;
    if constexpr (std::is_same_v<T, Currency>) return kCurrencyIndex;
    if constexpr (std::is_same_v<T, Date>) return kDateIndex;
    if constexpr (std::is_same_v<T, std::string>) return kStringIndex;
    if constexpr (std::is_same_v<T, ObjectPtr>) return kObjectIndex;
  }

  // A kind held in the first kPlainBytes of the storage, copied as bytes.
  static constexpr size_t kPlainBytes = sizeof(uint64_t);
  bool Plain() const { return index_ < kStringIndex; }
  template <class T>
  void SetPlain(uint8_t index, T value) noexcept {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= kPlainBytes);
    index_ = index;
    const uint64_t zero = 0;
    std::memcpy(storage_, &zero, kPlainBytes);
    std::memcpy(storage_, &value, sizeof value);
  }
  void CopyPlain(const Variant& other) noexcept {
    std::memcpy(storage_, other.storage_, kPlainBytes);
  }
  template <class T>
  const T& As() const {
    return *std::launder(reinterpret_cast<const T*>(storage_));
  }
  std::string& Str() { return *std::launder(reinterpret_cast<std::string*>(storage_)); }
  const std::string& Str() const { return As<std::string>(); }
  ObjectPtr& Obj() { return *std::launder(reinterpret_cast<ObjectPtr*>(storage_)); }
  const ObjectPtr& Obj() const { return As<ObjectPtr>(); }
  void Destroy() noexcept {
    if (index_ == kStringIndex) {
      Str().~basic_string();
    } else if (index_ == kObjectIndex) {
      Obj().~ObjectPtr();
    }
  }

  template <class T>
  const T& Get() const {
    if (index_ == IndexOf<T>()) return As<T>();
    ThrowTypeMismatch();
  }
  [[noreturn]] static void ThrowTypeMismatch();

  static constexpr size_t kStorageBytes = sizeof(std::string) > sizeof(ObjectPtr)
                                              ? sizeof(std::string)
                                              : sizeof(ObjectPtr);
  alignas(std::string) alignas(ObjectPtr) unsigned char storage_[kStorageBytes];
  uint8_t index_;
};

// The platform's TypeName: "Empty", "Null", "Integer", "Long", "Double", "Currency", "Date",
// "String", "Boolean", "Nothing", or the class name of the object.
std::string TypeName(const Variant& value);

// For test output and diagnostics: the type name and the value, e.g. `Long(12)`,
// `String("abc")`.
std::ostream& operator<<(std::ostream& out, const Variant& value);

}  // namespace qts

#endif  // QTS_CORE_VARIANT_H_
