// Commercial rounding (half away from zero) on decimal digits, the way the books and the
// server's ROUND round. Every rounding of money and quantities goes through here.
#ifndef QTS_CORE_ROUNDING_H_
#define QTS_CORE_ROUNDING_H_

#include <cstdint>

namespace qts {

// Rounds a scaled integer (value * 10^4) to `digits` decimal places, half away from zero.
// digits >= 4 leaves it unchanged; digits may be negative (tens, hundreds, ...).
int64_t RoundScaled4(int64_t scaled, int digits);

// Rounds `x` to `digits` decimal places, half away from zero, on the decimal value `x`
// stands for (its shortest decimal text): 2.675 rounds to 2.68 although the double is a hair
// below it, and 0.124999 rounds to 0.12. `digits` may be negative (tens, hundreds, ...).
double RoundDecimal(double x, int digits);

}  // namespace qts

#endif  // QTS_CORE_ROUNDING_H_
