#include "core/rounding.h"

#include <gtest/gtest.h>

namespace qts {
namespace {

struct DecimalCase {
  double x;
  int digits;
  double expected;
};

class RoundDecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(RoundDecimalTest, RoundsTheDecimalValueHalfAwayFromZero) {
  const DecimalCase& c = GetParam();
  EXPECT_EQ(RoundDecimal(c.x, c.digits), c.expected) << c.x << " at " << c.digits;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoundDecimalTest,
    ::testing::Values(DecimalCase{2.675, 2, 2.68}, DecimalCase{-2.675, 2, -2.68},
                      DecimalCase{1.0005, 3, 1.001}, DecimalCase{0.125, 2, 0.13},
                      DecimalCase{0.124999, 2, 0.12},  // just under the half stays down
                      DecimalCase{1.005, 2, 1.01}, DecimalCase{12345.5, 0, 12346},
                      DecimalCase{-0.5, 0, -1}, DecimalCase{0.5, 0, 1}, DecimalCase{0.4, 0, 0},
                      DecimalCase{15, -1, 20}, DecimalCase{149, -2, 100},
                      DecimalCase{9.995, 2, 10}, DecimalCase{99.96, 1, 100},
                      DecimalCase{0.1 + 0.2, 2, 0.3}, DecimalCase{7, 2, 7},
                      DecimalCase{1234.5678, 4, 1234.5678}, DecimalCase{0.00004, 4, 0},
                      DecimalCase{0.00005, 4, 0.0001}, DecimalCase{1e20, 2, 1e20}));

TEST(RoundScaled4Test, RoundsScaledIntegersHalfAwayFromZero) {
  EXPECT_EQ(RoundScaled4(26750, 2), 26800);    // 2.675 -> 2.68
  EXPECT_EQ(RoundScaled4(-26750, 2), -26800);  // -2.675 -> -2.68
  EXPECT_EQ(RoundScaled4(26749, 2), 26700);
  EXPECT_EQ(RoundScaled4(10005, 3), 10010);
  EXPECT_EQ(RoundScaled4(12345, 4), 12345);
  EXPECT_EQ(RoundScaled4(150000, -1), 200000);  // 15 -> 20
  EXPECT_EQ(RoundScaled4(INT64_MAX, 2), INT64_MAX - INT64_MAX % 100) << "no overflow below half";
}

}  // namespace
}  // namespace qts
