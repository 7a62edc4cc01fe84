#include "sql/date_literal.h"

#include <cstdio>

namespace qts::sql {

namespace {

bool TakeDigits(std::string_view text, size_t& pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool TakeChar(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::string NormalizeDateLiteral(std::string_view text) {
  size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (!TakeDigits(text, pos, 4, year)) return {};
  bool dashed = TakeChar(text, pos, '-');
  if (!TakeDigits(text, pos, 2, month)) return {};
  if (dashed && !TakeChar(text, pos, '-')) return {};
  if (!TakeDigits(text, pos, 2, day)) return {};
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && !leap)) {
    return {};
  }
  int hour = 0, minute = 0, second = 0;
  if (pos < text.size()) {
    if (!TakeChar(text, pos, ' ') && !TakeChar(text, pos, 'T')) return {};
    if (!TakeDigits(text, pos, 2, hour) || !TakeChar(text, pos, ':') ||
        !TakeDigits(text, pos, 2, minute)) {
      return {};
    }
    if (TakeChar(text, pos, ':') && !TakeDigits(text, pos, 2, second)) return {};
    if (TakeChar(text, pos, '.')) {
      int digit = 0;
      size_t digits = 0;
      while (TakeDigits(text, pos, 1, digit)) {
        if (digit != 0) return {};  // fractions of a second are not kept
        ++digits;
      }
      if (digits == 0) return {};
    }
    if (pos != text.size() || hour > 23 || minute > 59 || second > 59) return {};
  }
  char buffer[32];
  int written = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  std::string iso(buffer, static_cast<size_t>(written));
  if (hour != 0 || minute != 0 || second != 0) {
    written = std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", hour, minute, second);
    iso.append(buffer, static_cast<size_t>(written));
  }
  return iso;
}

}  // namespace qts::sql
