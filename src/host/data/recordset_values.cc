#include "host/data/recordset_values.h"

#include <fmt/format.h>

#include <cmath>
#include <optional>

#include "core/convert.h"
#include "core/error.h"
#include "core/operators.h"
#include "core/text.h"

namespace qts::host {

namespace {

// Ordering used by Sort and Filter: Null (and Empty) first, then numbers and dates, then
// text without regard to case.
int Rank(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return 0;
  if (v.Type() == VarType::kString) return 2;
  if (v.IsObject()) return 3;
  return 1;
}

template <class T>
int Order(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

void RaiseAdo(int32_t number, std::string description, const char* source) {
  throw Error(number, source, std::move(description));
}

bool IsKnownType(int32_t type) {
  switch (type) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDate:
    case adBSTR:
    case adBoolean:
    case adVariant:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
    case adNumeric:
    case adChar:
    case adWChar:
    case adDBDate:
    case adDBTimeStamp:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
      return true;
    default:
      return false;
  }
}

bool IsTextType(int32_t type) {
  switch (type) {
    case adBSTR:
    case adChar:
    case adWChar:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
      return true;
    default:
      return false;
  }
}

namespace {

// How a refused value is named in the error: "Null", "an object" or its text in quotes.
std::string Shown(const Variant& value) {
  if (value.IsNull()) return "Null";
  if (value.IsObject()) return "an object";
  try {
    return "\"" + CStr(value) + "\"";
  } catch (const Error&) {
    return "a value";
  }
}

[[noreturn]] void Refuse(const FieldDef& field, const Variant& value, std::string_view why) {
  RaiseAdo(kAdErrMultipleStep,
           fmt::format("Multiple-step operation generated errors: field \"{}\" cannot take {} ({})",
                       field.name, Shown(value), why),
           "ADODB.Field");
}

// `value` (neither Null nor an object) as a number, date or Boolean when the field holds one;
// nullopt for a text field. Raises the conversion's error when the value does not convert.
std::optional<Variant> ConvertToNonText(const FieldDef& field, const Variant& value) {
  switch (field.type) {
    case adTinyInt:
    case adUnsignedTinyInt: {
      int16_t v = CInt(value);
      bool fits = field.type == adTinyInt ? v >= -128 && v <= 127 : v >= 0 && v <= 255;
      if (!fits) Refuse(field, value, "out of range");
      return Variant(v);
    }
    case adSmallInt:
      return Variant(CInt(value));
    case adInteger:
      return Variant(CLng(value));
    case adBigInt:
      return Variant(std::nearbyint(CDbl(value)));
    case adSingle:
    case adDouble:
      return Variant(CDbl(value));
    case adCurrency:
    case adDecimal:
    case adNumeric:
      return Variant(CCur(value));
    case adDate:
    case adDBTimeStamp:
      return Variant(CDate(value));
    case adDBDate:
      return Variant(CDate(value).DateOnly());
    case adBoolean:
      return Variant(CBool(value));
    default:
      return std::nullopt;
  }
}

// `value` as the text of a text field; refused when longer than a sized field takes.
Variant ConvertToText(const FieldDef& field, const Variant& value) {
  std::string text = CStr(value);
  bool sized = field.type != adBSTR && field.type != adLongVarChar &&
               field.type != adLongVarWChar && (field.attributes & adFldLong) == 0 &&
               field.defined_size > 0;
  if (sized && Len(text) > field.defined_size) {
    Refuse(field, value, fmt::format("longer than {} characters", field.defined_size));
  }
  return Variant(std::move(text));
}

}  // namespace

Variant CoerceToField(const FieldDef& field, Variant value) {
  if (value.IsNull()) {
    if ((field.attributes & (adFldIsNullable | adFldMayBeNull)) == 0 &&
        field.attributes != adFldUnspecified) {
      Refuse(field, value, "the field is not nullable");
    }
    return value;
  }
  if (field.type == adVariant) return value;
  if (value.IsObject()) Refuse(field, value, "type mismatch");
  std::optional<Variant> converted;
  try {
    converted = ConvertToNonText(field, value);
  } catch (const Error& e) {
    if (e.Number() == kAdErrMultipleStep) throw;
    Refuse(field, value, e.Description());
  }
  if (converted) return *std::move(converted);
  return ConvertToText(field, value);
}

int CompareRecordValues(const Variant& a, const Variant& b) {
  // Same-type fast paths: sorting and filtering compare a column against itself.
  if (a.Type() == b.Type()) {
    switch (a.Type()) {
      case VarType::kCurrency:
        return Order(a.AsCurrency(), b.AsCurrency());
      case VarType::kLong:
        return Order(a.AsLong(), b.AsLong());
      case VarType::kInteger:
        return Order(a.AsInteger(), b.AsInteger());
      case VarType::kDouble:
        return Order(a.AsDouble(), b.AsDouble());
      case VarType::kDate:
        return Order(a.AsDate().Serial(), b.AsDate().Serial());
      default:
        break;
    }
  }
  int ra = Rank(a);
  int rb = Rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0 || ra == 3) return 0;
  if (ra == 2) {
    int c = LCase(a.AsString()).compare(LCase(b.AsString()));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return *Compare(a, b);
}

}  // namespace qts::host
