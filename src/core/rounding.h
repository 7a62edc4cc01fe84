// Commercial rounding (half away from zero) on decimal digits, the way the books and the
// server's ROUND round. Every rounding of money and quantities goes through here.
#ifndef QTS_CORE_ROUNDING_H_
#define QTS_CORE_ROUNDING_H_

#include <cstdint>

namespace qts {

// Rounds a scaled integer (value * 10^4) to `digits` decimal places, half away from zero.
// digits >= 4 leaves it unchanged; digits may be negative (tens, hundreds, ...).
int64_t RoundScaled4(int64_t scaled, int digits);

// Rounds `x` to `digits` decimal places, half away from zero, as if `x` were the decimal
// NUMERIC(19,4) value it stands for: 2.675 rounds to 2.68 although the double is a hair
// below it. Values that do not fit NUMERIC(19,4) are rounded in binary.
double RoundDecimal(double x, int digits);

}  // namespace qts

#endif  // QTS_CORE_ROUNDING_H_
