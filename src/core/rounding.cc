#include "core/rounding.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

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
  if (!std::isfinite(x) || x == 0.0) return x;
  // The shortest decimal text that reads back as x is the decimal value x stands for
  // (2.675, not 2.67499999...). Round that text, then read the result back.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific);
  std::string text(buf, res.ptr);
  bool negative = text[0] == '-';
  size_t start = negative ? 1 : 0;
  size_t e_pos = text.find('e');
  int exponent = std::atoi(text.c_str() + e_pos + 1);
  std::string mantissa;
  for (size_t i = start; i < e_pos; ++i) {
    if (text[i] != '.') mantissa.push_back(text[i]);
  }
  // mantissa d1 d2 d3 ... stands for 0.d1d2d3... * 10^(exponent + 1).
  long keep = static_cast<long>(exponent) + 1 + digits;
  if (keep >= static_cast<long>(mantissa.size())) return x;  // no digit beyond `digits`
  if (keep < 0) return negative ? -0.0 : 0.0;
  std::string kept = mantissa.substr(0, static_cast<size_t>(keep));
  if (mantissa[static_cast<size_t>(keep)] >= '5') {
    // Half away from zero: add one unit in the last kept place.
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++kept[static_cast<size_t>(i)];
    } else {
      kept.insert(kept.begin(), '1');
      ++exponent;
      ++keep;
    }
  }
  if (kept.empty()) return negative ? -0.0 : 0.0;
  long scale = static_cast<long>(exponent) + 1 - keep;
  std::string out = (negative ? "-" : "") + kept + "e" + std::to_string(scale);
  return std::strtod(out.c_str(), nullptr);
}

}  // namespace qts
