#include "core/convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/error.h"
#include "core/text.h"

namespace qts {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

double TextToDouble(const std::string& text) {
  std::optional<double> number = ParseNumber(text);
  if (!number) throw Error(kErrTypeMismatch);
  return *number;
}

// `value` rounded half to even to a whole number inside [lo, hi], or error 6.
int64_t RoundToRange(double value, int64_t lo, int64_t hi) {
  double rounded = std::nearbyint(value);
  if (!(rounded >= static_cast<double>(lo) && rounded <= static_cast<double>(hi))) {
    throw Error(kErrOverflow);
  }
  return static_cast<int64_t>(rounded);
}

int64_t RoundToRange(Currency value, int64_t lo, int64_t hi) {
  int64_t q = value.Scaled() / Currency::kScale;
  int64_t r = value.Scaled() % Currency::kScale;
  int64_t twice = (r < 0 ? -r : r) * 2;
  if (twice > Currency::kScale || (twice == Currency::kScale && q % 2 != 0)) {
    q += value.Scaled() < 0 ? -1 : 1;
  }
  if (q < lo || q > hi) throw Error(kErrOverflow);
  return q;
}

int64_t ToWhole(const Variant& value, int64_t lo, int64_t hi) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      throw Error(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return value.AsBool() ? -1 : 0;
    case VarType::kInteger:
      return RoundToRange(static_cast<double>(value.AsInteger()), lo, hi);
    case VarType::kLong:
      return RoundToRange(static_cast<double>(value.AsLong()), lo, hi);
    case VarType::kDouble:
      return RoundToRange(value.AsDouble(), lo, hi);
    case VarType::kCurrency:
      return RoundToRange(value.AsCurrency(), lo, hi);
    case VarType::kDate:
      return RoundToRange(value.AsDate().Serial(), lo, hi);
    case VarType::kString:
      return RoundToRange(TextToDouble(value.AsString()), lo, hi);
    case VarType::kObject:
      break;
  }
  throw Error(kErrTypeMismatch);
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  text = TrimBlanks(text);
  size_t i = 0;
  size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= n || !IsDigit(text[i])) return std::nullopt;
    while (i < n && IsDigit(text[i])) ++i;
  }
  if (i != n) return std::nullopt;
  // from_chars takes no leading '+'.
  std::string_view body = text[0] == '+' ? text.substr(1) : text;
  double value = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is the platform's error 6. Which one it is follows
    // from the decimal exponent of the first significant digit.
    size_t e = body.find_first_of("Ee");
    std::string_view mantissa = body.substr(0, e);
    long exponent = 0;
    if (e != std::string_view::npos) {
      std::string_view digits = body.substr(e + 1);
      bool negative = !digits.empty() && digits[0] == '-';
      if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
      for (char c : digits) exponent = std::min(exponent * 10 + (c - '0'), 100000L);
      if (negative) exponent = -exponent;
    }
    size_t point = mantissa.find('.');
    std::string_view whole = mantissa.substr(0, point);
    size_t first = whole.find_first_not_of("-0");
    if (first != std::string_view::npos) {
      exponent += static_cast<long>(whole.size() - first);
    } else if (point != std::string_view::npos) {
      std::string_view fraction = mantissa.substr(point + 1);
      exponent -= static_cast<long>(std::min(fraction.find_first_not_of('0'), fraction.size()));
    }
    if (exponent > 0) throw Error(kErrOverflow);
    return 0.0;
  }
  if (ec != std::errc() || end != body.data() + body.size()) return std::nullopt;
  return value;
}

std::string FormatDouble(double value) {
  if (value == 0) return "0";  // also -0
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

bool CBool(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return false;
    case VarType::kNull:
      throw Error(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return value.AsBool();
    case VarType::kInteger:
      return value.AsInteger() != 0;
    case VarType::kLong:
      return value.AsLong() != 0;
    case VarType::kDouble:
      return value.AsDouble() != 0;
    case VarType::kCurrency:
      return value.AsCurrency().Scaled() != 0;
    case VarType::kDate:
      return value.AsDate().Serial() != 0;
    case VarType::kString: {
      std::string_view text = TrimBlanks(value.AsString());
      if (EqualsIgnoreCase(text, "true")) return true;
      if (EqualsIgnoreCase(text, "false")) return false;
      return TextToDouble(value.AsString()) != 0;
    }
    case VarType::kObject:
      break;
  }
  throw Error(kErrTypeMismatch);
}

int16_t CInt(const Variant& value) {
  return static_cast<int16_t>(
      ToWhole(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

int32_t CLng(const Variant& value) {
  return static_cast<int32_t>(
      ToWhole(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

double CDbl(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      throw Error(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return value.AsBool() ? -1 : 0;
    case VarType::kInteger:
      return value.AsInteger();
    case VarType::kLong:
      return value.AsLong();
    case VarType::kDouble:
      return value.AsDouble();
    case VarType::kCurrency:
      return value.AsCurrency().ToDouble();
    case VarType::kDate:
      return value.AsDate().Serial();
    case VarType::kString:
      return TextToDouble(value.AsString());
    case VarType::kObject:
      break;
  }
  throw Error(kErrTypeMismatch);
}

Currency CCur(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return Currency();
    case VarType::kNull:
      throw Error(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return Currency::FromLong(value.AsBool() ? -1 : 0);
    case VarType::kInteger:
      return Currency::FromLong(value.AsInteger());
    case VarType::kLong:
      return Currency::FromLong(value.AsLong());
    case VarType::kDouble:
      return Currency::FromDouble(value.AsDouble());
    case VarType::kCurrency:
      return value.AsCurrency();
    case VarType::kDate:
      return Currency::FromDouble(value.AsDate().Serial());
    case VarType::kString: {
      std::optional<Currency> parsed = Currency::Parse(value.AsString());
      if (!parsed) throw Error(kErrTypeMismatch);
      return *parsed;
    }
    case VarType::kObject:
      break;
  }
  throw Error(kErrTypeMismatch);
}

Date CDate(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return Date();
    case VarType::kNull:
      throw Error(kErrInvalidUseOfNull);
    case VarType::kDate:
      return value.AsDate();
    case VarType::kString: {
      std::optional<Date> parsed = Date::ParseIso(value.AsString());
      if (!parsed) throw Error(kErrTypeMismatch);
      return *parsed;
    }
    case VarType::kObject:
      throw Error(kErrTypeMismatch);
    default: {
      double serial = CDbl(value);
      if (!(serial >= Date::kMinSerial && serial < Date::kMaxSerial + 0.00001)) {
        throw Error(kErrOverflow);
      }
      return Date(serial);
    }
  }
}

std::string CStr(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return {};
    case VarType::kNull:
      throw Error(kErrInvalidUseOfNull);
    case VarType::kBoolean:
      return value.AsBool() ? "True" : "False";
    case VarType::kInteger:
      return std::to_string(value.AsInteger());
    case VarType::kLong:
      return std::to_string(value.AsLong());
    case VarType::kDouble:
      return FormatDouble(value.AsDouble());
    case VarType::kCurrency:
      return value.AsCurrency().ToString();
    case VarType::kDate:
      return value.AsDate().ToIso();
    case VarType::kString:
      return value.AsString();
    case VarType::kObject:
      break;
  }
  throw Error(kErrTypeMismatch);
}

bool IsTrue(const Variant& value) {
  if (value.IsNull()) return false;
  return CBool(value);
}

}  // namespace qts
