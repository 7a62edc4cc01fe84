#include "core/date.h"

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

struct CalendarCase {
  int year, month, day;
  double serial;
  int weekday;  // 1 = Sunday
};

class DateCalendar : public ::testing::TestWithParam<CalendarCase> {};

TEST_P(DateCalendar, SerialAndPartsAgree) {
  const CalendarCase& c = GetParam();
  Date d = Date::FromYmd(c.year, c.month, c.day);
  EXPECT_DOUBLE_EQ(d.Serial(), c.serial);
  Date back(c.serial);
  EXPECT_EQ(back.Year(), c.year);
  EXPECT_EQ(back.Month(), c.month);
  EXPECT_EQ(back.Day(), c.day);
  EXPECT_EQ(back.Weekday(), c.weekday);
  EXPECT_FALSE(back.HasTime());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DateCalendar,
    ::testing::Values(CalendarCase{1899, 12, 30, 0, 7}, CalendarCase{1899, 12, 31, 1, 1},
                      CalendarCase{1899, 12, 29, -1, 6}, CalendarCase{1900, 1, 1, 2, 2},
                      CalendarCase{1900, 3, 1, 61, 5}, CalendarCase{1993, 1, 27, 33996, 4},
                      CalendarCase{2000, 2, 29, 36585, 3}, CalendarCase{2024, 12, 31, 45657, 3},
                      CalendarCase{100, 1, 1, -657434, 6}, CalendarCase{9999, 12, 31, 2958465, 6}));

TEST(Date, FromYmdCarriesLikeDateSerial) {
  EXPECT_EQ(Date::FromYmd(2024, 13, 1), Date::FromYmd(2025, 1, 1));
  EXPECT_EQ(Date::FromYmd(2024, 3, 0), Date::FromYmd(2024, 2, 29));
  EXPECT_EQ(Date::FromYmd(2024, 0, 1), Date::FromYmd(2023, 12, 1));
  EXPECT_EQ(Date::FromYmd(2023, 1, 32), Date::FromYmd(2023, 2, 1));
  EXPECT_EQ(Date::FromYmd(2023, -13, 1), Date::FromYmd(2021, 11, 1));
}

TEST(Date, OutOfRangeIsInvalidCall) {
  for (auto [y, m, d] : {std::tuple{99, 12, 31}, {10000, 1, 1}, {9999, 12, 32}, {100, 1, 0}}) {
    EXPECT_QTS_ERROR(Date::FromYmd(y, m, d), kErrInvalidCall) << y << "-" << m << "-" << d;
  }
  EXPECT_THROW((void)Date::FromYmdHms(2024, 1, 1, 24, 0, 0), Error);
  EXPECT_THROW((void)Date::FromYmdHms(2024, 1, 1, 0, 60, 0), Error);
  EXPECT_THROW((void)Date::FromYmdHms(2024, 1, 1, 0, 0, -1), Error);
  EXPECT_THROW((void)Date(2958465.5).AddDays(1), Error);
}

TEST(Date, TimeOfDay) {
  Date d = Date::FromYmdHms(1993, 1, 27, 13, 45, 30);
  EXPECT_EQ(d.Hour(), 13);
  EXPECT_EQ(d.Minute(), 45);
  EXPECT_EQ(d.Second(), 30);
  EXPECT_TRUE(d.HasTime());
  EXPECT_EQ(d.DateOnly(), Date::FromYmd(1993, 1, 27));
  EXPECT_EQ(d.ToIso(), "1993-01-27 13:45:30");
  // The time is counted to the nearest second; 23:59:59.6 rolls into the next day.
  Date almost(33996.0 + 86399.6 / 86400.0);
  EXPECT_EQ(almost.ToIso(), "1993-01-28");
  // Every digit is written, at both ends of the platform's range.
  EXPECT_EQ(Date::FromYmd(100, 1, 1).ToIso(), "0100-01-01");
  EXPECT_EQ(Date::FromYmdHms(9999, 12, 31, 23, 59, 59).ToIso(), "9999-12-31 23:59:59");
  EXPECT_EQ(Date::FromYmdHms(2007, 10, 9, 0, 0, 1).ToIso(), "2007-10-09 00:00:01");
}

TEST(Date, NegativeSerialsCountTheTimeAwayFromZero) {
  // -1.25 is 1899-12-29 06:00; -0.5 is noon on day 0.
  Date d(-1.25);
  EXPECT_EQ(d.ToIso(), "1899-12-29 06:00:00");
  EXPECT_EQ(Date(-0.5).ToIso(), "1899-12-30 12:00:00");
  Date built = Date::FromYmdHms(1899, 12, 29, 6, 0, 0);
  EXPECT_DOUBLE_EQ(built.Serial(), -1.25);
  EXPECT_EQ(Date::FromYmdHms(1850, 6, 1, 18, 0, 0).ToIso(), "1850-06-01 18:00:00");
  EXPECT_EQ(d.AddDays(-1).ToIso(), "1899-12-28 06:00:00");
  EXPECT_EQ(d.AddDays(2).ToIso(), "1899-12-31 06:00:00");
}

TEST(Date, AddDaysKeepsTheTime) {
  Date d = Date::FromYmdHms(2024, 2, 28, 8, 0, 0);
  EXPECT_EQ(d.AddDays(1).ToIso(), "2024-02-29 08:00:00");
  EXPECT_EQ(d.AddDays(2).ToIso(), "2024-03-01 08:00:00");
  EXPECT_EQ(d.AddDays(-59).ToIso(), "2023-12-31 08:00:00");
}

struct IsoCase {
  const char* text;
  const char* expected;  // nullptr: refused
};

class DateParseIso : public ::testing::TestWithParam<IsoCase> {};

TEST_P(DateParseIso, AcceptsIsoOnly) {
  std::optional<Date> d = Date::ParseIso(GetParam().text);
  if (GetParam().expected == nullptr) {
    EXPECT_FALSE(d.has_value()) << GetParam().text;
  } else {
    ASSERT_TRUE(d.has_value()) << GetParam().text;
    EXPECT_EQ(d->ToIso(), GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DateParseIso,
    ::testing::Values(IsoCase{"1993-01-27", "1993-01-27"}, IsoCase{" 2024-02-29 ", "2024-02-29"},
                      IsoCase{"2024-02-29 13:05", "2024-02-29 13:05:00"},
                      IsoCase{"2024-02-29T13:05:09", "2024-02-29 13:05:09"},
                      IsoCase{"1899-12-30", "1899-12-30"}, IsoCase{"2023-02-29", nullptr},
                      IsoCase{"2023-13-01", nullptr}, IsoCase{"2023-00-10", nullptr},
                      IsoCase{"2023-1-5", nullptr}, IsoCase{"27.01.1993", nullptr},
                      IsoCase{"", nullptr}, IsoCase{"2023-01-01 24:00", nullptr},
                      IsoCase{"2023-01-01 10:60", nullptr}, IsoCase{"2023-01-01 10", nullptr},
                      IsoCase{"2023-01-01x", nullptr}, IsoCase{"2023-01-01 10:00:00:00", nullptr}));

TEST(Date, TodayHasNoTimeAndNowIsToday) {
  Date today = Date::Today();
  Date now = Date::Now();
  EXPECT_FALSE(today.HasTime());
  // Allow for midnight passing between the two calls.
  EXPECT_LE(now.DateOnly().Serial() - today.Serial(), 1.0);
  EXPECT_GE(now.Serial(), today.Serial());
  EXPECT_GT(today.Year(), 2000);
}

}  // namespace
}  // namespace qts
