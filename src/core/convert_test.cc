#include "core/convert.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

Variant Cy(const char* text) { return Variant(*Currency::Parse(text)); }

// ---- Whole-number conversions ----------------------------------------------------------------

struct WholeCase {
  Variant input;
  int32_t expected;  // ignored when error != 0
  int error;
};

class CLngTable : public ::testing::TestWithParam<WholeCase> {};

TEST_P(CLngTable, RoundsHalfToEven) {
  const WholeCase& c = GetParam();
  if (c.error != 0) {
    EXPECT_QTS_ERROR(CLng(c.input), c.error) << c.input;
  } else {
    EXPECT_EQ(CLng(c.input), c.expected) << c.input;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CLngTable,
    ::testing::Values(
        WholeCase{0.5, 0, 0}, WholeCase{1.5, 2, 0}, WholeCase{2.5, 2, 0}, WholeCase{-2.5, -2, 0},
        WholeCase{-3.5, -4, 0}, WholeCase{25427.55, 25428, 0}, WholeCase{2.4999999, 2, 0},
        WholeCase{Cy("2.5"), 2, 0}, WholeCase{Cy("3.5"), 4, 0}, WholeCase{Cy("-0.5"), 0, 0},
        WholeCase{Cy("-1.5001"), -2, 0}, WholeCase{" 12 ", 12, 0}, WholeCase{"2.5", 2, 0},
        WholeCase{"-1e3", -1000, 0}, WholeCase{true, -1, 0}, WholeCase{false, 0, 0},
        WholeCase{Variant(), 0, 0}, WholeCase{Date(33996.75), 33997, 0},
        WholeCase{2147483647.0, 2147483647, 0}, WholeCase{2147483647.5, 0, kErrOverflow},
        WholeCase{-2147483648.0, -2147483647 - 1, 0}, WholeCase{-2147483649.0, 0, kErrOverflow},
        WholeCase{Cy("922337203685477"), 0, kErrOverflow},
        WholeCase{std::numeric_limits<double>::quiet_NaN(), 0, kErrOverflow},
        WholeCase{Variant::Null(), 0, kErrInvalidUseOfNull}, WholeCase{"", 0, kErrTypeMismatch},
        WholeCase{"12a", 0, kErrTypeMismatch}, WholeCase{Variant::Nothing(), 0, kErrTypeMismatch}));

TEST(CInt, SixteenBitRange) {
  EXPECT_EQ(CInt(Variant(32767.4)), 32767);
  EXPECT_EQ(CInt(Variant(-32768.5)), -32768);  // half to even
  EXPECT_EQ(CInt(Variant(int32_t{-32768})), -32768);
  EXPECT_EQ(CInt(Variant(2.5)), 2);
  EXPECT_EQ(CInt(Variant(true)), -1);
  EXPECT_QTS_ERROR(CInt(Variant(32767.5)), kErrOverflow);
  EXPECT_QTS_ERROR(CInt(Variant(int32_t{32768})), kErrOverflow);
  EXPECT_QTS_ERROR(CInt(Variant(-32769.0)), kErrOverflow);
  EXPECT_QTS_ERROR(CInt(Variant::Null()), kErrInvalidUseOfNull);
}

// ---- Boolean -----------------------------------------------------------------------------

TEST(CBool, Table) {
  const std::vector<std::pair<Variant, bool>> cases = {
      {"True", true},     {"false", false}, {"TRUE", true},       {" False ", false},
      {"1", true},        {"0", false},     {"-0.5", true},       {"0.0", false},
      {int16_t{2}, true}, {0.0, false},     {Cy("0.0001"), true}, {Variant(), false},
      {Date(0), false},   {Date(1), true},  {true, true},         {int32_t{0}, false},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(CBool(input), expected) << input;
  for (const char* bad : {"x", "", "yes", "Tru", "1,0", "on"}) {
    EXPECT_QTS_ERROR(CBool(Variant(bad)), kErrTypeMismatch) << bad;
  }
  EXPECT_QTS_ERROR(CBool(Variant::Null()), kErrInvalidUseOfNull);
  EXPECT_QTS_ERROR(CBool(Variant::Nothing()), kErrTypeMismatch);
}

TEST(IsTrue, NullAndEmptyAreFalse) {
  EXPECT_FALSE(IsTrue(Variant::Null()));
  EXPECT_FALSE(IsTrue(Variant()));
  EXPECT_TRUE(IsTrue(Variant(int32_t{-1})));
  EXPECT_TRUE(IsTrue(Variant("true")));
  EXPECT_FALSE(IsTrue(Variant(0.0)));
  EXPECT_QTS_ERROR(IsTrue(Variant("maybe")), kErrTypeMismatch);
}

// ---- Double and Currency -------------------------------------------------------------------

TEST(ParseNumber, PlatformGrammar) {
  const std::vector<std::pair<const char*, double>> good = {
      {"12", 12},    {"  -3.5  ", -3.5}, {"+7", 7},        {".5", 0.5}, {"5.", 5},
      {"1e3", 1000}, {"1E+3", 1000},     {"2.5e-1", 0.25}, {"-0", 0},   {"1e-400", 0},
  };
  for (const auto& [text, expected] : good) {
    std::optional<double> v = ParseNumber(text);
    ASSERT_TRUE(v.has_value()) << text;
    EXPECT_DOUBLE_EQ(*v, expected) << text;
  }
  for (const char* bad : {"", "  ", "abc", "1,5", "1.2.3", "1e", "e3", "- 1", "1 2", ".", "+",
                          "0x10", "1e+", "12abc", "\t1"}) {
    EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
  }
  EXPECT_QTS_ERROR(ParseNumber("1e400"), kErrOverflow);
  EXPECT_QTS_ERROR(ParseNumber("-1e400"), kErrOverflow);
  EXPECT_QTS_ERROR(ParseNumber(std::string(400, '9')), kErrOverflow);
  EXPECT_QTS_ERROR(ParseNumber("0.0001e400"), kErrOverflow);
  EXPECT_EQ(ParseNumber("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(ParseNumber("1000e-400"), 0.0);
}

TEST(CDbl, Conversions) {
  EXPECT_DOUBLE_EQ(CDbl(Variant(" 1.25 ")), 1.25);
  EXPECT_DOUBLE_EQ(CDbl(Cy("1086.4292")), 1086.4292);
  EXPECT_DOUBLE_EQ(CDbl(Variant(true)), -1);
  EXPECT_DOUBLE_EQ(CDbl(Variant()), 0);
  EXPECT_DOUBLE_EQ(CDbl(Variant(Date(1.5))), 1.5);
  EXPECT_QTS_ERROR(CDbl(Variant("")), kErrTypeMismatch);
  EXPECT_QTS_ERROR(CDbl(Variant::Null()), kErrInvalidUseOfNull);
}

TEST(CCur, Conversions) {
  EXPECT_EQ(CCur(Variant(0.03125)).ToString(), "0.0312");
  EXPECT_EQ(CCur(Variant(0.09375)).ToString(), "0.0938");
  EXPECT_EQ(CCur(Variant(543.214588 * 2)).ToString(), "1086.4292");
  EXPECT_EQ(CCur(Variant("0.03125")).ToString(), "0.0312");
  EXPECT_EQ(CCur(Variant(int32_t{-7})).ToString(), "-7");
  EXPECT_EQ(CCur(Variant(true)).ToString(), "-1");
  EXPECT_EQ(CCur(Variant()).ToString(), "0");
  EXPECT_QTS_ERROR(CCur(Variant(922337203685478.0)), kErrOverflow);
  EXPECT_QTS_ERROR(CCur(Variant("922337203685478")), kErrOverflow);
  EXPECT_QTS_ERROR(CCur(Variant("12 Lt")), kErrTypeMismatch);
  EXPECT_QTS_ERROR(CCur(Variant::Null()), kErrInvalidUseOfNull);
}

TEST(CDate, Conversions) {
  EXPECT_EQ(CDate(Variant("1993-01-27")), Date::FromYmd(1993, 1, 27));
  EXPECT_EQ(CDate(Variant(33996.5)).ToIso(), "1993-01-27 12:00:00");
  EXPECT_EQ(CDate(Variant(int32_t{1})).ToIso(), "1899-12-31");
  EXPECT_EQ(CDate(Variant()).ToIso(), "1899-12-30");
  EXPECT_EQ(CDate(Variant(true)).ToIso(), "1899-12-29");
  EXPECT_QTS_ERROR(CDate(Variant(3e6)), kErrOverflow);
  EXPECT_QTS_ERROR(CDate(Variant(-657435.0)), kErrOverflow);
  EXPECT_QTS_ERROR(CDate(Variant("27.01.1993")), kErrTypeMismatch);
  EXPECT_QTS_ERROR(CDate(Variant::Null()), kErrInvalidUseOfNull);
}

// ---- Text ------------------------------------------------------------------------------------

struct StrCase {
  Variant input;
  const char* expected;
};

class CStrTable : public ::testing::TestWithParam<StrCase> {};

TEST_P(CStrTable, PlatformText) { EXPECT_EQ(CStr(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, CStrTable,
    ::testing::Values(StrCase{Variant(), ""}, StrCase{true, "True"}, StrCase{false, "False"},
                      StrCase{int16_t{-5}, "-5"}, StrCase{int32_t{123456}, "123456"},
                      StrCase{0.1, "0.1"}, StrCase{1e20, "1E+20"}, StrCase{1.5e-5, "1.5E-05"},
                      StrCase{0.0001, "0.0001"}, StrCase{1.0 / 3, "0.333333333333333"},
                      StrCase{123456789012345.0, "123456789012345"},
                      StrCase{1234567890123456.0, "1.23456789012346E+15"}, StrCase{-2.5, "-2.5"},
                      StrCase{-0.0, "0"}, StrCase{100.0, "100"}, StrCase{0.1 + 0.2, "0.3"},
                      StrCase{Cy("1086.4292"), "1086.4292"}, StrCase{Cy("-0.5"), "-0.5"},
                      StrCase{Cy("12"), "12"}, StrCase{Date(33996), "1993-01-27"},
                      StrCase{Date(33996.25), "1993-01-27 06:00:00"}, StrCase{"abc", "abc"}));

TEST(CStr, NullAndObjects) {
  EXPECT_QTS_ERROR(CStr(Variant::Null()), kErrInvalidUseOfNull);
  EXPECT_QTS_ERROR(CStr(Variant::Nothing()), kErrTypeMismatch);
}

}  // namespace
}  // namespace qts
