#include "core/variant.h"

#include <ostream>

#include "core/convert.h"

namespace qts {

void Variant::ThrowTypeMismatch() { throw Error(kErrTypeMismatch); }

bool Variant::IsNumeric() const {
  switch (Type()) {
    case VarType::kEmpty:
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      return true;
    case VarType::kString:
      try {
        return ParseNumber(AsString()).has_value();
      } catch (const Error&) {
        return true;  // a number, only too large for a Double
      }
    default:
      return false;
  }
}

std::string TypeName(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kInteger:
      return "Integer";
    case VarType::kLong:
      return "Long";
    case VarType::kDouble:
      return "Double";
    case VarType::kCurrency:
      return "Currency";
    case VarType::kDate:
      return "Date";
    case VarType::kString:
      return "String";
    case VarType::kBoolean:
      return "Boolean";
    case VarType::kObject:
      if (!value.AsObject()) return "Nothing";
      return std::string(value.AsObject()->ClassName());
  }
  return "Unknown";
}

std::ostream& operator<<(std::ostream& out, const Variant& value) {
  out << TypeName(value);
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull:
    case VarType::kObject:
      return out;
    case VarType::kString:
      return out << "(\"" << value.AsString() << "\")";
    default:
      return out << '(' << CStr(value) << ')';
  }
}

}  // namespace qts
