#include "core/currency.h"

#include <cmath>
#include <limits>

#include "core/error.h"
#include "core/rounding.h"

namespace qts {

namespace {

using Int128 = __int128;

int64_t Checked(Int128 v) {
  if (v > std::numeric_limits<int64_t>::max() || v < std::numeric_limits<int64_t>::min()) {
    throw Error(kErrOverflow);
  }
  return static_cast<int64_t>(v);
}

// num / den rounded half to even; den > 0.
Int128 DivideHalfEven(Int128 num, Int128 den) {
  Int128 q = num / den;
  Int128 r = num % den;
  Int128 twice = (r < 0 ? -r : r) * 2;
  if (twice > den || (twice == den && (q % 2 != 0))) q += (num < 0 ? -1 : 1);
  return q;
}

}  // namespace

Currency Currency::FromDouble(double value) {
  // The platform scales in double precision and rounds the scaled value to the nearest
  // integer, ties to even: 0.03125 -> 0.0312, 0.09375 -> 0.0938, 0.00005 -> 0 (its product
  // rounds to exactly 0.5). Where the scaled value no longer fits the 53-bit mantissa, the
  // product is taken in extended precision so that large whole values stay whole.
  constexpr long double kTwo63 = 9223372036854775808.0L;
  constexpr double kTwo52 = 4503599627370496.0;
  double scaled = value * static_cast<double>(kScale);
  if (!std::isfinite(scaled)) throw Error(kErrOverflow);
  // rint rounds in the default mode, ties to even; below 2^52 the double result is exact.
  if (std::fabs(scaled) < kTwo52) return Currency(static_cast<int64_t>(std::rint(scaled)));
  long double rounded = std::rint(static_cast<long double>(value) * kScale);
  if (rounded >= kTwo63 || rounded < -kTwo63) throw Error(kErrOverflow);
  return Currency(static_cast<int64_t>(rounded));
}

Currency Currency::FromLong(int64_t value) {
  return Currency(Checked(static_cast<Int128>(value) * kScale));
}

std::optional<Currency> Currency::Parse(std::string_view text) {
  size_t i = 0;
  size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  while (n > i && text[n - 1] == ' ') --n;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Digits collected as an exact integer mantissa with a decimal exponent; digits far beyond
  // the range only matter for overflow, which the exponent handles.
  Int128 mantissa = 0;
  int exponent = 0;
  bool any_digit = false;
  bool seen_point = false;
  Int128 sticky = 0;  // non-zero when digits were dropped
  constexpr Int128 kMantissaLimit = static_cast<Int128>(1) << 100;
  for (; i < n; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      any_digit = true;
      if (mantissa < kMantissaLimit) {
        mantissa = mantissa * 10 + (c - '0');
        if (seen_point) --exponent;
      } else {
        if (c != '0') sticky = 1;
        if (!seen_point) ++exponent;
      }
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!any_digit) return std::nullopt;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    if (i >= n || text[i] < '0' || text[i] > '9') return std::nullopt;
    int e = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
      if (e < 100000) e = e * 10 + (text[i] - '0');
    }
    exponent += exp_negative ? -e : e;
  }
  if (i != n) return std::nullopt;
  // value = mantissa * 10^exponent; scaled = mantissa * 10^(exponent + 4).
  int shift = exponent + 4;
  if (mantissa == 0) return Currency(0);
  Int128 scaled;
  if (shift >= 0) {
    if (shift > 19) throw Error(kErrOverflow);
    scaled = mantissa;
    for (int k = 0; k < shift; ++k) {
      if (scaled > (static_cast<Int128>(1) << 120)) throw Error(kErrOverflow);
      scaled *= 10;
    }
  } else {
    if (-shift > 36) {
      scaled = 0;
    } else {
      Int128 den = 1;
      for (int k = 0; k < -shift; ++k) den *= 10;
      Int128 q = mantissa / den;
      Int128 r = mantissa % den;
      // Half to even, with dropped digits breaking a tie upwards.
      if (r * 2 > den || (r * 2 == den && (sticky != 0 || q % 2 != 0))) ++q;
      scaled = q;
    }
  }
  if (negative) scaled = -scaled;
  return Currency(Checked(scaled));
}

std::string Currency::ToString() const {
  uint64_t magnitude =
      scaled_ < 0 ? static_cast<uint64_t>(-(scaled_ + 1)) + 1 : static_cast<uint64_t>(scaled_);
  std::string out = scaled_ < 0 ? "-" : "";
  out += std::to_string(magnitude / kScale);
  uint64_t frac = magnitude % kScale;
  if (frac != 0) {
    std::string digits = std::to_string(frac);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    out += '.';
    out += digits;
  }
  return out;
}

Currency Currency::operator+(Currency other) const {
  return Currency(Checked(static_cast<Int128>(scaled_) + other.scaled_));
}

Currency Currency::operator-(Currency other) const {
  return Currency(Checked(static_cast<Int128>(scaled_) - other.scaled_));
}

Currency Currency::operator*(Currency other) const {
  Int128 product = static_cast<Int128>(scaled_) * other.scaled_;
  return Currency(Checked(DivideHalfEven(product, kScale)));
}

Currency Currency::operator/(Currency other) const {
  if (other.scaled_ == 0) throw Error(kErrDivisionByZero);
  Int128 num = static_cast<Int128>(scaled_) * kScale;
  Int128 den = other.scaled_;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  return Currency(Checked(DivideHalfEven(num, den)));
}

Currency Currency::operator-() const { return Currency(Checked(-static_cast<Int128>(scaled_))); }

Currency RoundCy(Currency value, int digits) {
  int64_t scaled = value.Scaled();
  if (digits >= 4 || 4 - digits > 18) return Currency::FromScaled(RoundScaled4(scaled, digits));
  int64_t unit = 1;
  for (int i = digits; i < 4; ++i) unit *= 10;
  // Rounding commutes with moving the value by whole units as long as its sign stays, so the
  // value is brought near zero first: rounding up at the edge of the range then overflows
  // (error 6) instead of wrapping.
  int64_t units = scaled / unit;
  if (units > 0) --units;
  if (units < 0) ++units;
  Int128 shift = static_cast<Int128>(units) * unit;
  int64_t near_zero = static_cast<int64_t>(scaled - shift);
  return Currency::FromScaled(
      Checked(static_cast<Int128>(RoundScaled4(near_zero, digits)) + shift));
}

}  // namespace qts
