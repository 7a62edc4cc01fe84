#include "core/format.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/error.h"

namespace qts {
namespace {

Variant Cy(const char* text) { return Variant(*Currency::Parse(text)); }

struct FormatCase {
  Variant value;
  const char* pattern;
  const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* out) {
  *out << "Format(" << c.value << ", \"" << c.pattern << "\")";
}

class FormatTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTable, Text) {
  EXPECT_EQ(Format(GetParam().value, GetParam().pattern), GetParam().expected);
}

const Date kDay = Date::FromYmd(1993, 1, 27);
const Date kMoment = Date::FromYmdHms(2024, 3, 5, 14, 7, 9);

INSTANTIATE_TEST_SUITE_P(
    Dates, FormatTable,
    ::testing::Values(
        FormatCase{kDay, "yymmdd", "930127"}, FormatCase{kDay, "yyyy.mm.dd", "1993.01.27"},
        FormatCase{kDay, "dd.mm.yyyy", "27.01.1993"}, FormatCase{kDay, "d.m.yy", "27.1.93"},
        FormatCase{kDay, "YYYY-MM-DD", "1993-01-27"},
        FormatCase{kMoment, "yyyy-mm-dd hh:nn:ss", "2024-03-05 14:07:09"},
        FormatCase{kMoment, "hh:mm", "14:07"},  // m after h is minutes
        FormatCase{kMoment, "mm:ss", "07:09"},  // m before s is minutes
        FormatCase{kMoment, "h:n:s", "14:7:9"}, FormatCase{kMoment, "h AM/PM", "2 PM"},
        FormatCase{kMoment, "hh a/p", "02 p"},
        FormatCase{kMoment, "ddd, d mmm yyyy", "Tue, 5 Mar 2024"},
        FormatCase{kMoment, "dddd mmmm", "Tuesday March"}, FormatCase{kMoment, "q", "1"},
        FormatCase{kMoment, "y", "65"},  // day of the year
        FormatCase{kMoment, "\\y\\e\\a\\r yyyy", "year 2024"},
        FormatCase{kMoment, "\"day\" d", "day 5"}, FormatCase{kMoment, "Short Date", "2024-03-05"},
        FormatCase{kMoment, "Long Time", "14:07:09"},
        FormatCase{Variant("1993-01-27"), "yymmdd", "930127"},
        FormatCase{Variant(33996.0), "yyyy-mm-dd", "1993-01-27"},
        FormatCase{Variant("not a date"), "yyyy", "not a date"},
        FormatCase{Variant(Date()), "yyyy-mm-dd", "1899-12-30"}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, FormatTable,
    ::testing::Values(
        FormatCase{0.125, "0.00", "0.13"}, FormatCase{-0.125, "0.00", "-0.13"},
        FormatCase{2.675, "0.00", "2.68"}, FormatCase{1.005, "0.00", "1.01"},
        FormatCase{0.5, "0", "1"}, FormatCase{1.5, "0", "2"}, FormatCase{2.5, "0", "3"},
        FormatCase{-2.5, "0", "-3"}, FormatCase{3.0, "0.000", "3.000"},
        FormatCase{1.23456, "0.0000", "1.2346"},
        FormatCase{1234567.891, "#,##0.00", "1,234,567.89"},
        FormatCase{-1234.5, "#,##0.00", "-1,234.50"}, FormatCase{999.995, "#,##0.00", "1,000.00"},
        FormatCase{0.0, "#,##0.00", "0.00"}, FormatCase{12.0, "#,##0", "12"},
        FormatCase{0.5, "#.##", ".5"}, FormatCase{5.0, "#.##", "5."},
        FormatCase{1.5, "0.0#", "1.5"}, FormatCase{1.567, "0.0#", "1.57"},
        FormatCase{7.0, "000", "007"}, FormatCase{1234.0, "0", "1234"},
        FormatCase{0.256, "0.0%", "25.6%"}, FormatCase{1234567.0, "#,##0,", "1,235"},
        FormatCase{-0.001, "0.00", "-0.00"},  // the sign is taken before rounding
        FormatCase{5.0, "0.00;(0.00)", "5.00"}, FormatCase{-5.0, "0.00;(0.00)", "(5.00)"},
        FormatCase{0.0, "0.00;(0.00);\"zero\"", "zero"},
        FormatCase{12.5, "\"Lt \"0.00", "Lt 12.50"},
        FormatCase{12.5, "0.00 \\E\\U\\R", "12.50 EUR"},
        FormatCase{Cy("1086.4292"), "0.00", "1086.43"}, FormatCase{Cy("-0.005"), "0.00", "-0.01"},
        FormatCase{Cy("922337203685477.5807"), "#,##0.0000", "922,337,203,685,477.5807"},
        FormatCase{int16_t{-42}, "0.0", "-42.0"}, FormatCase{true, "0", "-1"},
        FormatCase{"0.125", "0.00", "0.13"}, FormatCase{"abc", "0.00", "abc"},
        FormatCase{1e20, "0", "100000000000000000000"}, FormatCase{1e-20, "0.00", "0.00"},
        FormatCase{1234.5, "Standard", "1,234.50"}, FormatCase{0.5, "Percent", "50.00%"},
        FormatCase{2.0, "Fixed", "2.00"}, FormatCase{0.1, "", "0.1"},
        FormatCase{0.1, "General Number", "0.1"}, FormatCase{Variant(), "0.00", ""},
        FormatCase{Variant::Null(), "yyyy", ""}));

TEST(Format, DoublesThatAreNoNumbersAreWrittenAsCStrWrites) {
  EXPECT_EQ(Format(Variant(std::numeric_limits<double>::infinity()), "0.00"), "INF");
  EXPECT_EQ(Format(Variant(std::numeric_limits<double>::quiet_NaN()), "#,##0"), "NAN");
}

TEST(Format, ObjectIsTypeMismatch) { EXPECT_THROW((void)Format(Variant::Nothing(), "0"), Error); }

}  // namespace
}  // namespace qts
