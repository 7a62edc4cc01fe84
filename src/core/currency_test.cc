#include "core/currency.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

struct FromDoubleCase {
  double input;
  int64_t scaled;
};

class CurrencyFromDouble : public ::testing::TestWithParam<FromDoubleCase> {};

TEST_P(CurrencyFromDouble, RoundsHalfToEven) {
  EXPECT_EQ(Currency::FromDouble(GetParam().input).Scaled(), GetParam().scaled) << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurrencyFromDouble,
    ::testing::Values(FromDoubleCase{0.03125, 312}, FromDoubleCase{0.09375, 938},
                      FromDoubleCase{-0.03125, -312}, FromDoubleCase{-0.09375, -938},
                      FromDoubleCase{543.214588 * 2, 10864292}, FromDoubleCase{0.00005, 0},
                      FromDoubleCase{0.00015, 1} /* the Double is a hair below */,
                      FromDoubleCase{1.23456, 12346}, FromDoubleCase{0, 0}, FromDoubleCase{-0.0, 0},
                      FromDoubleCase{922337203685477.0, 9223372036854770000},
                      FromDoubleCase{-922337203685477.0, -9223372036854770000}));

TEST(Currency, FromDoubleOutOfRangeIsOverflow) {
  for (double bad :
       {922337203685478.0, -922337203685478.0, 1e300, std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_QTS_ERROR(Currency::FromDouble(bad), kErrOverflow) << bad;
  }
}

TEST(Currency, FromLongChecksRange) {
  EXPECT_EQ(Currency::FromLong(922337203685477).Scaled(), 9223372036854770000);
  EXPECT_EQ(Currency::FromLong(-12).Scaled(), -120000);
  EXPECT_QTS_ERROR(Currency::FromLong(922337203685478), kErrOverflow);
  EXPECT_QTS_ERROR(Currency::FromLong(-922337203685478), kErrOverflow);
}

struct ParseCase {
  const char* text;
  int64_t scaled;
};

class CurrencyParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CurrencyParse, ExactDecimal) {
  std::optional<Currency> c = Currency::Parse(GetParam().text);
  ASSERT_TRUE(c.has_value()) << GetParam().text;
  EXPECT_EQ(c->Scaled(), GetParam().scaled) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurrencyParse,
    ::testing::Values(ParseCase{"12", 120000}, ParseCase{" -0.5 ", -5000},
                      ParseCase{"+1086.4292", 10864292}, ParseCase{"0.03125", 312},
                      ParseCase{"0.09375", 938}, ParseCase{"0.031250000000000000001", 313},
                      ParseCase{"1.5E3", 15000000}, ParseCase{"25e-5", 2}, ParseCase{".5", 5000},
                      ParseCase{"7.", 70000}, ParseCase{"0.00001", 0},
                      ParseCase{"922337203685477.5807", std::numeric_limits<int64_t>::max()},
                      ParseCase{"-922337203685477.5808", std::numeric_limits<int64_t>::min()}));

TEST(Currency, ParseRejectsNonNumbers) {
  for (const char* bad : {"", " ", "abc", "1,5", "1.2.3", "1e", "--1", "1 2", "e5"}) {
    EXPECT_FALSE(Currency::Parse(bad).has_value()) << bad;
  }
  EXPECT_QTS_ERROR(Currency::Parse("922337203685477.5808"), kErrOverflow);
  EXPECT_QTS_ERROR(Currency::Parse("1e20"), kErrOverflow);
}

TEST(Currency, ToStringAsThePlatformWritesIt) {
  const std::pair<int64_t, const char*> cases[] = {
      {10864292, "1086.4292"},
      {-5000, "-0.5"},
      {120000, "12"},
      {0, "0"},
      {1, "0.0001"},
      {-1, "-0.0001"},
      {std::numeric_limits<int64_t>::max(), "922337203685477.5807"},
      {std::numeric_limits<int64_t>::min(), "-922337203685477.5808"},
  };
  for (const auto& [scaled, text] : cases) {
    EXPECT_EQ(Currency::FromScaled(scaled).ToString(), text);
  }
}

TEST(Currency, ArithmeticIsExact) {
  Currency a = Currency::FromScaled(5432146);  // 543.2146
  Currency b = Currency::FromScaled(3);        // 0.0003
  EXPECT_EQ((a + b).Scaled(), 5432149);
  EXPECT_EQ((a - b).Scaled(), 5432143);
  EXPECT_EQ((-a).Scaled(), -5432146);
  EXPECT_EQ((a * Currency::FromLong(2)).Scaled(), 10864292);
  // 0.0003 * 0.5 = 0.00015 -> 0.0002 (half to even); 0.0001 * 0.5 -> 0.0000.
  EXPECT_EQ((b * Currency::FromScaled(5000)).Scaled(), 2);
  EXPECT_EQ((Currency::FromScaled(1) * Currency::FromScaled(5000)).Scaled(), 0);
  EXPECT_EQ((Currency::FromLong(1) / Currency::FromLong(3)).Scaled(), 3333);
  EXPECT_EQ((Currency::FromLong(-2) / Currency::FromLong(3)).Scaled(), -6667);
  EXPECT_EQ((Currency::FromLong(1) / Currency::FromLong(-8)).Scaled(), -1250);
  EXPECT_LT(b, a);
  EXPECT_EQ(a, Currency::FromScaled(5432146));
}

TEST(Currency, ArithmeticErrors) {
  Currency max = Currency::FromScaled(std::numeric_limits<int64_t>::max());
  Currency min = Currency::FromScaled(std::numeric_limits<int64_t>::min());
  Currency tiny = Currency::FromScaled(1);
  EXPECT_QTS_ERROR(max + tiny, kErrOverflow);
  EXPECT_QTS_ERROR(min - tiny, kErrOverflow);
  EXPECT_QTS_ERROR(-min, kErrOverflow);
  EXPECT_QTS_ERROR(max * Currency::FromLong(2), kErrOverflow);
  EXPECT_QTS_ERROR(max / Currency::FromScaled(5000), kErrOverflow);
  EXPECT_QTS_ERROR(tiny / Currency(), kErrDivisionByZero);
}

struct RoundCase {
  const char* value;
  int digits;
  const char* expected;
};

class RoundCyTable : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundCyTable, HalfAwayFromZero) {
  const RoundCase& c = GetParam();
  Currency value = *Currency::Parse(c.value);
  EXPECT_EQ(RoundCy(value, c.digits).ToString(), c.expected)
      << c.value << " at " << c.digits << " digits";
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoundCyTable,
    ::testing::Values(RoundCase{"2.675", 2, "2.68"}, RoundCase{"-2.675", 2, "-2.68"},
                      RoundCase{"2.665", 2, "2.67"}, RoundCase{"2.6749", 2, "2.67"},
                      RoundCase{"1.0005", 3, "1.001"}, RoundCase{"-1.0005", 3, "-1.001"},
                      RoundCase{"1.0004", 3, "1"}, RoundCase{"-1.2345", 4, "-1.2345"},
                      RoundCase{"0.5", 0, "1"}, RoundCase{"-0.5", 0, "-1"},
                      RoundCase{"125", -1, "130"}, RoundCase{"-125", -1, "-130"},
                      RoundCase{"1.2345", 5, "1.2345"},
                      RoundCase{"922337203685477.4999", 0, "922337203685477"},
                      RoundCase{"-922337203685477.4999", 0, "-922337203685477"}));

TEST(Currency, RoundCyDoubleConvertedFirst) {
  // 2.675 as a Double is a hair below 2.675; as Currency it is exact, so it rounds up.
  EXPECT_EQ(RoundCy(Currency::FromDouble(2.675), 2).ToString(), "2.68");
}

TEST(Currency, RoundCyAtTheEdgeOfTheRangeOverflows) {
  Currency max = Currency::FromScaled(std::numeric_limits<int64_t>::max());
  Currency min = Currency::FromScaled(std::numeric_limits<int64_t>::min());
  EXPECT_QTS_ERROR(RoundCy(max, 0), kErrOverflow);
  EXPECT_QTS_ERROR(RoundCy(min, 0), kErrOverflow);
  EXPECT_EQ(RoundCy(max, 4), max);
  EXPECT_EQ(RoundCy(min, 2).ToString(), "-922337203685477.58");
}

}  // namespace
}  // namespace qts
