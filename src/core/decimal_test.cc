#include "core/decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/error.h"
#include "core/rounding.h"

namespace qts {
namespace {

Decimal D(const char* text) {
  std::optional<Decimal> d = Decimal::Parse(text);
  EXPECT_TRUE(d.has_value()) << text;
  return d.value_or(Decimal());
}

Currency Cy(const char* text) { return *Currency::Parse(text); }

TEST(DecimalTest, ParsesAndPrintsExactly) {
  EXPECT_EQ(D("5.47475").ToString(), "5.47475");
  EXPECT_EQ(D(" -0.5 ").ToString(), "-0.5");
  EXPECT_EQ(D("1.5E3").ToString(), "1500");
  EXPECT_EQ(D("0.000000000000000001").ToString(), "0.000000000000000001");
  // Places beyond eighteen are cut toward zero.
  EXPECT_EQ(D("0.1234567890123456789").ToString(), "0.123456789012345678");
  EXPECT_EQ(D("-0.0000000000000000009").ToString(), "0");
  EXPECT_EQ(D("99999999999999999999.999999999999999999").ToString(),
            "99999999999999999999.999999999999999999");
  EXPECT_EQ(D("12.3").ToString(4), "12.3000");
  EXPECT_EQ(D("-5.47475").ToString(4), "-5.4747");
  EXPECT_FALSE(Decimal::Parse("abc").has_value());
  EXPECT_FALSE(Decimal::Parse("1.2.3").has_value());
  EXPECT_FALSE(Decimal::Parse("").has_value());
  EXPECT_THROW(static_cast<void>(Decimal::Parse("100000000000000000000")), Error);
}

// The tie of the report issue: a value ending on half of the fourth place, reached through a
// product and a quotient. Binary doubles see 0.8975 x 6.1 a hair below 5.47475 and round it
// down.
TEST(DecimalTest, ProductAndQuotientTiesRoundAwayFromZero) {
  const Decimal product = D("0.8975") * D("6.1");
  EXPECT_EQ(product.ToString(), "5.47475");
  EXPECT_EQ(product.ToCurrency(), Cy("5.4748"));
  EXPECT_EQ(product.Round(4), D("5.4748"));
  EXPECT_EQ((-product).ToCurrency(), Cy("-5.4748"));
  const Decimal quotient = D("0.8975") * D("12.2") / D("2");
  EXPECT_EQ(quotient.Round(4), D("5.4748"));
  EXPECT_EQ((D("109.495") / D("20")).ToCurrency(), Cy("5.4748"));
  EXPECT_EQ(RoundDecimal(0.8975 * 6.1, 4), 5.4747);  // what binary floating point gives
  EXPECT_EQ(RoundDecimal(0.8975 * 12.2 / 2, 4), 5.4747);
}

TEST(DecimalTest, ProductsAreExact) {
  EXPECT_EQ((D("0.0005") * D("0.0005")).ToString(), "0.00000025");
  EXPECT_EQ((D("17.64") * D("17") / D("24") + D("7.64")).Round(2), D("20.14"));
  // Near the top of the money range: 922,337,203,685,477 x 100 is exact.
  EXPECT_EQ((D("922337203685477.5807") * D("100000")).ToString(), "92233720368547758070");
  EXPECT_THROW(static_cast<void>(D("922337203685477.5807") * D("1000000")), Error);
  EXPECT_EQ((D("-1.5") * D("2.25")).ToString(), "-3.375");
}

TEST(DecimalTest, QuotientsAreCutAtEighteenPlaces) {
  EXPECT_EQ((D("1") / D("3")).ToString(), "0.333333333333333333");
  EXPECT_EQ((D("-2") / D("3")).ToString(), "-0.666666666666666666");
  // A divisor with more places than money keeps takes the long road.
  EXPECT_EQ((D("1") / D("0.333333333333333333")).ToString(), "3.000000000000000003");
  EXPECT_EQ((D("123456789.1234") / D("0.0001")).ToString(), "1234567891234");
  try {
    static_cast<void>(D("1") / Decimal());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrDivisionByZero);
  }
  EXPECT_EQ((D("7.5") % D("2")).ToString(), "1.5");
  EXPECT_EQ((D("-7.5") % D("2")).ToString(), "-1.5");
}

// The divisor's decimal zeros are taken out before dividing: whatever their number (none up to
// many more than the eighteen places), the quotient is the cut one. Expected: 10^(36 - k) / 35
// by schoolbook long division, the point 18 places from the right.
TEST(DecimalTest, QuotientsByDivisorsWithAnyNumberOfZeros) {
  Decimal divisor = D("0.000000000000000035");
  for (int k = 0; k <= 35; ++k) {
    SCOPED_TRACE(divisor.ToString());
    std::string digits;
    int remainder = 1;
    for (int place = 0; place < 36 - k; ++place) {
      remainder *= 10;
      digits += static_cast<char>('0' + remainder / 35);
      remainder %= 35;
    }
    digits.insert(0, 19, '0');
    std::string expected =
        digits.substr(0, digits.size() - 18) + "." + digits.substr(digits.size() - 18);
    expected.erase(0, std::min(expected.find_first_not_of('0'), expected.find('.') - 1));
    expected.erase(expected.find_last_not_of('0') + 1);
    if (expected.back() == '.') expected.pop_back();
    EXPECT_EQ((D("1") / divisor).ToString(), expected);
    EXPECT_EQ((D("-1") / divisor).ToString(), expected == "0" ? "0" : "-" + expected);
    divisor = divisor * D("10");
  }
}

struct RoundCase {
  const char* value;
  int digits;
  const char* rounded;
};

class DecimalRoundTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(DecimalRoundTest, HalfAwayFromZero) {
  const RoundCase& c = GetParam();
  EXPECT_EQ(D(c.value).Round(c.digits).ToString(), c.rounded);
  EXPECT_EQ((-D(c.value)).Round(c.digits), -D(c.rounded));
}

INSTANTIATE_TEST_SUITE_P(
    Ties, DecimalRoundTest,
    ::testing::Values(RoundCase{"5.47475", 4, "5.4748"}, RoundCase{"5.47465", 4, "5.4747"},
                      RoundCase{"0.005", 2, "0.01"}, RoundCase{"0.00499999999999", 2, "0"},
                      RoundCase{"2.675", 2, "2.68"}, RoundCase{"25", -1, "30"},
                      RoundCase{"1234.5", 0, "1235"},
                      RoundCase{"9999999999999999999.5", 0, "10000000000000000000"},
                      RoundCase{"0.1", -21, "0"}));

TEST(DecimalTest, CurrencyRoundTripsAndRange) {
  for (const char* text :
       {"0", "0.0001", "-0.0001", "5.4748", "922337203685477.5807", "-922337203685477.5808"}) {
    EXPECT_EQ(Decimal::FromCurrency(Cy(text)).ToCurrency(), Cy(text)) << text;
  }
  try {
    static_cast<void>(D("922337203685477.58075").ToCurrency());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrOverflow);
  }
  EXPECT_EQ(D("922337203685477.58074").ToCurrency(), Cy("922337203685477.5807"));
  EXPECT_EQ(Decimal::FromLong(-3).ToString(), "-3");
  EXPECT_EQ(Decimal::FromDouble(2.675).ToString(), "2.675");
  EXPECT_EQ(D("2.675").ToDouble(), 2.675);
  EXPECT_THROW(static_cast<void>(Decimal::FromDouble(1e21)), Error);
}

TEST(DecimalTest, EncodingOrdersAsTheValues) {
  std::vector<Decimal> values = {D("-99999999999999999999"),
                                 D("-5.4748"),
                                 D("-0.000000000000000001"),
                                 D("0"),
                                 D("0.000000000000000001"),
                                 D("5.47475"),
                                 D("5.4748"),
                                 D("99999999999999999999")};
  for (size_t i = 0; i < values.size(); ++i) {
    auto a = values[i].Encode();
    EXPECT_EQ(Decimal::Decode(a.data()), values[i]);
    for (size_t j = 0; j < values.size(); ++j) {
      auto b = values[j].Encode();
      const int order = std::memcmp(a.data(), b.data(), a.size());
      EXPECT_EQ(order < 0, i < j) << i << " " << j;
      EXPECT_EQ(order == 0, i == j) << i << " " << j;
    }
  }
}

// The host's rounding of Currency values: the same ties, half away from zero on either side,
// up to the ends of the range.
struct RoundCyCase {
  const char* value;
  int digits;
  const char* rounded;
};

class RoundCyTieTest : public ::testing::TestWithParam<RoundCyCase> {};

TEST_P(RoundCyTieTest, AgreesWithDecimal) {
  const RoundCyCase& c = GetParam();
  EXPECT_EQ(RoundCy(Cy(c.value), c.digits), Cy(c.rounded));
  EXPECT_EQ(Decimal::FromCurrency(Cy(c.value)).Round(c.digits).ToCurrency(), Cy(c.rounded));
}

INSTANTIATE_TEST_SUITE_P(
    Ties, RoundCyTieTest,
    ::testing::Values(RoundCyCase{"5.475", 2, "5.48"}, RoundCyCase{"-5.475", 2, "-5.48"},
                      RoundCyCase{"5.4749", 2, "5.47"}, RoundCyCase{"0.0050", 2, "0.01"},
                      RoundCyCase{"-0.0050", 2, "-0.01"}, RoundCyCase{"2.5", 0, "3"},
                      RoundCyCase{"-2.5", 0, "-3"}, RoundCyCase{"5.4748", 4, "5.4748"},
                      RoundCyCase{"922337203685477.5807", 2, "922337203685477.58"},
                      RoundCyCase{"-922337203685477.5804", 3, "-922337203685477.58"}));

}  // namespace
}  // namespace qts
