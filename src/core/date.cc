#include "core/date.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <ctime>

#include "core/error.h"

namespace qts {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Days from 1970-01-01 to the platform's day 0, 1899-12-30.
constexpr int64_t kEpochOffset = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int year;
  int month;
  int day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp + (mp < 10 ? 3 : -9);
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// The serial's calendar day (days since 1899-12-30) and its time in seconds, the time rounded
// to the second and carried into the next calendar day at midnight.
struct Split {
  int64_t day;
  int64_t seconds;
};

Split SplitSerial(double serial) {
  double whole = std::trunc(serial);
  double frac = std::fabs(serial - whole);
  auto seconds = static_cast<int64_t>(std::llround(frac * kSecondsPerDay));
  auto day = static_cast<int64_t>(whole);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++day;
  }
  return {day, seconds};
}

// The serial of a calendar day plus a time of day: before day 0 the time counts away from
// zero, as the platform stores it.
double MakeSerial(int64_t day, int64_t seconds) {
  double time = static_cast<double>(seconds) / kSecondsPerDay;
  return day < 0 ? static_cast<double>(day) - time : static_cast<double>(day) + time;
}

void CheckRange(double serial) {
  if (!(serial >= Date::kMinSerial && serial < Date::kMaxSerial + 0.00001)) {
    throw Error(kErrInvalidCall, "Date", "date out of range (100-01-01 .. 9999-12-31)");
  }
}

Date FromLocalTm(const std::tm& tm, bool with_time) {
  int64_t day = DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) + kEpochOffset;
  int64_t seconds = with_time ? tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec : 0;
  return Date(MakeSerial(day, seconds));
}

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}

}  // namespace

Date Date::FromYmd(int year, int month, int day) {
  // Carry months into years first, then let the day count run over the month's end.
  int64_t m0 = static_cast<int64_t>(month) - 1;
  int64_t y = year + (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
  int64_t m = ((m0 % 12) + 12) % 12 + 1;
  if (y < 100 || y > 9999) {
    throw Error(kErrInvalidCall, "Date", fmt::format("year {} out of range", y));
  }
  int64_t serial = DaysFromCivil(y, m, 1) + kEpochOffset + (static_cast<int64_t>(day) - 1);
  CheckRange(static_cast<double>(serial));
  return Date(static_cast<double>(serial));
}

Date Date::FromYmdHms(int year, int month, int day, int hour, int minute, int second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    throw Error(kErrInvalidCall, "Date",
                fmt::format("invalid time {:02}:{:02}:{:02}", hour, minute, second));
  }
  auto day_serial = static_cast<int64_t>(FromYmd(year, month, day).Serial());
  return Date(MakeSerial(day_serial, hour * 3600 + minute * 60 + second));
}

std::optional<Date> Date::ParseIso(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  size_t pos = 0;
  auto number = [&](size_t digits, int& out) {
    if (pos + digits > text.size()) return false;
    out = 0;
    for (size_t k = 0; k < digits; ++k) {
      char c = text[pos + k];
      if (c < '0' || c > '9') return false;
      out = out * 10 + (c - '0');
    }
    pos += digits;
    return true;
  };
  auto expect = [&](char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
  };
  int y = 0, m = 0, d = 0, hh = 0, mi = 0, ss = 0;
  if (!number(4, y) || !expect('-') || !number(2, m) || !expect('-') || !number(2, d)) {
    return std::nullopt;
  }
  if (y < 100 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
  bool with_time = false;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    ++pos;
    if (!number(2, hh) || !expect(':') || !number(2, mi)) return std::nullopt;
    if (pos < text.size() && (!expect(':') || !number(2, ss))) return std::nullopt;
    if (pos != text.size()) return std::nullopt;
    if (hh > 23 || mi > 59 || ss > 59) return std::nullopt;
    with_time = true;
  }
  if (!with_time) return FromYmd(y, m, d);
  return FromYmdHms(y, m, d, hh, mi, ss);
}

Date Date::Today() { return FromLocalTm(LocalNow(), false); }

Date Date::Now() { return FromLocalTm(LocalNow(), true); }

int Date::Year() const { return CivilFromDays(SplitSerial(serial_).day - kEpochOffset).year; }
int Date::Month() const { return CivilFromDays(SplitSerial(serial_).day - kEpochOffset).month; }
int Date::Day() const { return CivilFromDays(SplitSerial(serial_).day - kEpochOffset).day; }
int Date::Hour() const { return static_cast<int>(SplitSerial(serial_).seconds / 3600); }
int Date::Minute() const { return static_cast<int>(SplitSerial(serial_).seconds / 60 % 60); }
int Date::Second() const { return static_cast<int>(SplitSerial(serial_).seconds % 60); }

int Date::Weekday() const {
  // Day 0 (1899-12-30) was a Saturday.
  int64_t day = SplitSerial(serial_).day;
  return static_cast<int>(((day % 7 + 7) % 7 + 6) % 7) + 1;
}

bool Date::HasTime() const { return SplitSerial(serial_).seconds != 0; }

Date Date::DateOnly() const { return Date(static_cast<double>(SplitSerial(serial_).day)); }

Date Date::AddDays(int days) const {
  Split s = SplitSerial(serial_);
  Date result(MakeSerial(s.day + days, s.seconds));
  CheckRange(result.serial_);
  return result;
}

std::string Date::ToIso() const {
  Split s = SplitSerial(serial_);
  Civil c = CivilFromDays(s.day - kEpochOffset);
  if (c.year < 0 || c.year > 9999) {
    if (s.seconds == 0) return fmt::format("{:04}-{:02}-{:02}", c.year, c.month, c.day);
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", c.year, c.month, c.day,
                       s.seconds / 3600, s.seconds / 60 % 60, s.seconds % 60);
  }
  // Written digit by digit: reports and JSON write a date per cell.
  char text[19];
  auto two = [&](size_t at, int64_t value) {
    text[at] = static_cast<char>('0' + value / 10);
    text[at + 1] = static_cast<char>('0' + value % 10);
  };
  two(0, c.year / 100);
  two(2, c.year % 100);
  text[4] = '-';
  two(5, c.month);
  text[7] = '-';
  two(8, c.day);
  if (s.seconds == 0) return std::string(text, 10);
  text[10] = ' ';
  two(11, s.seconds / 3600);
  text[13] = ':';
  two(14, s.seconds / 60 % 60);
  text[16] = ':';
  two(17, s.seconds % 60);
  return std::string(text, 19);
}

}  // namespace qts
