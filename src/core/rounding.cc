#include "core/rounding.h"

#include <cmath>

namespace qts {

int64_t RoundScaled4(int64_t scaled, int digits) {
  if (digits >= 4) return scaled;
  int64_t unit = 1;
  for (int i = digits; i < 4; ++i) {
    if (unit > INT64_MAX / 10) return 0;  // rounding to a unit larger than any value
    unit *= 10;
  }
  int64_t half = unit / 2;
  int64_t rem = scaled % unit;
  int64_t base = scaled - rem;
  if (rem >= half) return base + unit;
  if (rem <= -half) return base - unit;
  return base;
}

double RoundDecimal(double x, int digits) {
  if (!std::isfinite(x)) return x;
  constexpr double kLimit = 9.2e14;  // |x| * 10^4 stays inside int64
  if (std::fabs(x) < kLimit) {
    int64_t scaled = std::llround(x * 10000.0);
    if (digits >= 4) {
      // More digits than the stored scale: the value is already exact at 4 places.
      if (digits == 4) return static_cast<double>(scaled) / 10000.0;
    } else {
      return static_cast<double>(RoundScaled4(scaled, digits)) / 10000.0;
    }
  }
  double factor = std::pow(10.0, digits);
  return std::round(x * factor) / factor;
}

}  // namespace qts
