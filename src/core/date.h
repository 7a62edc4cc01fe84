// Date: the platform's date, a Double counting days since 1899-12-30 with the time of day as
// the fraction. Serial 0 (1899-12-30 00:00) is the "zero date" that stands for "no date".
#ifndef QTS_CORE_DATE_H_
#define QTS_CORE_DATE_H_

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace qts {

class Date {
 public:
  // The platform's range: 100-01-01 .. 9999-12-31 23:59:59.
  static constexpr double kMinSerial = -657434.0;
  static constexpr double kMaxSerial = 2958465.99999;

  constexpr Date() = default;
  constexpr explicit Date(double serial) : serial_(serial) {}

  // As the platform's DateSerial: months and days outside their range carry over
  // (FromYmd(2024, 13, 1) is 2025-01-01, FromYmd(2024, 3, 0) is 2024-02-29). Error 5 when the
  // result falls outside the range above.
  static Date FromYmd(int year, int month, int day);
  // FromYmd plus a time of day; hour, minute and second must be in range (error 5 otherwise).
  static Date FromYmdHms(int year, int month, int day, int hour, int minute, int second);
  // "YYYY-MM-DD", optionally followed by " HH:MM[:SS]" or "THH:MM[:SS]"; surrounding blanks
  // allowed. nullopt for anything else, including impossible dates such as 2023-02-29.
  static std::optional<Date> ParseIso(std::string_view text);
  // The current local date (no time) and the current local date and time to the second.
  static Date Today();
  static Date Now();

  constexpr double Serial() const { return serial_; }

  // Calendar parts. The whole part of the serial is the day and the fraction, taken away from
  // zero, the time: serial -1.25 is 1899-12-29 06:00, as on the platform. The time is counted
  // to the nearest second.
  int Year() const;
  int Month() const;
  int Day() const;
  int Hour() const;
  int Minute() const;
  int Second() const;
  // 1 = Sunday .. 7 = Saturday, as the platform's Weekday with its default first day.
  int Weekday() const;
  // True when the serial has a time part.
  bool HasTime() const;
  // The date without its time part.
  Date DateOnly() const;

  // The same time of day `days` calendar days later (earlier when negative).
  Date AddDays(int days) const;

  // "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when there is a time part.
  std::string ToIso() const;

  constexpr auto operator<=>(const Date&) const = default;
  constexpr bool operator==(const Date&) const = default;

 private:
  double serial_ = 0.0;
};

}  // namespace qts

#endif  // QTS_CORE_DATE_H_
