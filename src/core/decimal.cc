#include "core/decimal.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/error.h"

namespace qts {

namespace {

using Int128 = Decimal::Int128;
using U128 = unsigned __int128;

constexpr const char* kSource = "Decimal";

constexpr std::array<U128, 39> kPowersOf10 = [] {
  std::array<U128, 39> p{};
  p[0] = 1;
  for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}();

// 10^n for n from 0 to 38.
constexpr U128 Pow10(int n) { return kPowersOf10[static_cast<size_t>(n)]; }

// Magnitudes of raw values stay below 10^38: values below 10^20.
constexpr U128 kLimit = Pow10(38);
constexpr U128 kOne = Pow10(Decimal::kPlaces);
constexpr int64_t kCurrencyUnit = 100'000'000'000'000;  // 10^14: raw per Currency unit

[[noreturn]] void ThrowOverflow() {
  throw Error(kErrOverflow, kSource, "Overflow: the number is beyond 10^20");
}

[[noreturn]] void ThrowDivisionByZero() {
  throw Error(kErrDivisionByZero, kSource, "Division by zero");
}

U128 Magnitude(Int128 v) { return v < 0 ? -static_cast<U128>(v) : static_cast<U128>(v); }

Int128 Signed(U128 magnitude, bool negative) {
  if (magnitude >= kLimit) ThrowOverflow();
  Int128 v = static_cast<Int128>(magnitude);
  return negative ? -v : v;
}

// A 256-bit unsigned number as four 64-bit limbs, most significant first.
struct U256 {
  uint64_t limb[4] = {0, 0, 0, 0};
};

U256 Multiply(U128 a, U128 b) {
  const uint64_t a0 = static_cast<uint64_t>(a), a1 = static_cast<uint64_t>(a >> 64);
  const uint64_t b0 = static_cast<uint64_t>(b), b1 = static_cast<uint64_t>(b >> 64);
  const U128 p00 = static_cast<U128>(a0) * b0;
  const U128 p01 = static_cast<U128>(a0) * b1;
  const U128 p10 = static_cast<U128>(a1) * b0;
  const U128 p11 = static_cast<U128>(a1) * b1;
  // Column sums, each carried into the next.
  U128 c0 = static_cast<uint64_t>(p00);
  U128 c1 = (p00 >> 64) + static_cast<uint64_t>(p01) + static_cast<uint64_t>(p10);
  U128 c2 = (c1 >> 64) + (p01 >> 64) + (p10 >> 64) + static_cast<uint64_t>(p11);
  U128 c3 = (c2 >> 64) + (p11 >> 64);
  U256 out;
  out.limb[3] = static_cast<uint64_t>(c0);
  out.limb[2] = static_cast<uint64_t>(c1);
  out.limb[1] = static_cast<uint64_t>(c2);
  out.limb[0] = static_cast<uint64_t>(c3);
  return out;
}

// n / d for a 64-bit divisor, cut; the quotient must fit 128 bits (else overflow).
U128 DivideSmall(const U256& n, uint64_t d) {
  U256 q;
  U128 rem = 0;
  for (int i = 0; i < 4; ++i) {
    const U128 cur = (rem << 64) | n.limb[i];
    q.limb[i] = static_cast<uint64_t>(cur / d);
    rem = cur % d;
  }
  if (q.limb[0] != 0 || q.limb[1] != 0) ThrowOverflow();
  return (static_cast<U128>(q.limb[2]) << 64) | q.limb[3];
}

// n / d, cut, by binary long division; d < 2^127, so the remainder shifted by one bit still
// fits 128 bits. The quotient must fit 128 bits (else overflow).
U128 DivideLarge(const U256& n, U128 d) {
  U128 rem = 0;
  U128 q = 0;
  bool started = false;
  for (int i = 0; i < 4; ++i) {
    for (int bit = 63; bit >= 0; --bit) {
      const uint64_t b = (n.limb[i] >> bit) & 1;
      if (!started && b == 0) continue;
      started = true;
      rem = (rem << 1) | b;
      if (q >> 127) ThrowOverflow();
      q <<= 1;
      if (rem >= d) {
        rem -= d;
        q |= 1;
      }
    }
  }
  return q;
}

U128 Divide(const U256& n, U128 d) {
  if (d >> 64 == 0) return DivideSmall(n, static_cast<uint64_t>(d));
  return DivideLarge(n, d);
}

}  // namespace

Decimal Decimal::FromCurrency(Currency value) {
  return Decimal(static_cast<Int128>(value.Scaled()) * kCurrencyUnit);
}

Decimal Decimal::FromLong(int64_t value) {
  return Decimal(static_cast<Int128>(value) * static_cast<Int128>(kOne));
}

Decimal Decimal::FromRaw(Int128 raw) { return Decimal(Signed(Magnitude(raw), raw < 0)); }

Decimal Decimal::FromDouble(double value) {
  if (!std::isfinite(value)) ThrowOverflow();
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  std::optional<Decimal> d = Parse(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
  if (!d) ThrowOverflow();
  return *d;
}

std::optional<Decimal> Decimal::Parse(std::string_view text) {
  size_t i = 0;
  auto blank = [&](size_t at) { return text[at] == ' ' || text[at] == '\t'; };
  while (i < text.size() && blank(i)) ++i;
  size_t end = text.size();
  while (end > i && blank(end - 1)) --end;
  bool negative = false;
  if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // Digits into a mantissa, remembering the decimal point; digits beyond what can matter are
  // counted (they shift the exponent) but not kept.
  U128 mantissa = 0;
  int kept_digits = 0;
  int exponent = 0;  // the value is mantissa * 10^exponent
  int digits = 0;
  bool point = false;
  for (; i < end; ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    ++digits;
    if (mantissa == 0 && c == '0') {
      if (point) --exponent;
      continue;
    }
    if (kept_digits < 38) {
      mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
      ++kept_digits;
      if (point) --exponent;
    } else if (!point) {
      ++exponent;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    int e = 0;
    auto [ptr, error] = std::from_chars(text.data() + i + (i < end && text[i] == '+' ? 1 : 0),
                                        text.data() + end, e);
    if (error != std::errc() || ptr != text.data() + end) return std::nullopt;
    exponent += e;
    i = end;
  }
  if (i != end) return std::nullopt;
  if (mantissa == 0) return Decimal();
  // raw = mantissa * 10^(exponent + 18), cut toward zero.
  const int shift = exponent + kPlaces;
  if (shift < 0) {
    if (shift < -38) return Decimal();
    return Decimal(Signed(mantissa / Pow10(-shift), negative));
  }
  if (shift > 38) ThrowOverflow();
  const U128 factor = Pow10(shift);
  if (mantissa > kLimit / factor) ThrowOverflow();
  return Decimal(Signed(mantissa * factor, negative));
}

Decimal Decimal::operator+(Decimal other) const {
  // Both magnitudes are below 10^38 < 2^127 / 2: the sum cannot wrap.
  const Int128 sum = raw_ + other.raw_;
  return Decimal(Signed(Magnitude(sum), sum < 0));
}

Decimal Decimal::operator-(Decimal other) const { return *this + (-other); }

Decimal Decimal::operator*(Decimal other) const {
  const bool negative = (raw_ < 0) != (other.raw_ < 0);
  const U128 product =
      DivideSmall(Multiply(Magnitude(raw_), Magnitude(other.raw_)), static_cast<uint64_t>(kOne));
  return Decimal(Signed(product, negative));
}

Decimal Decimal::operator/(Decimal other) const {
  if (other.raw_ == 0) ThrowDivisionByZero();
  const bool negative = (raw_ < 0) != (other.raw_ < 0);
  // raw = a * 10^18 / b. Decimal zeros at the end of b are taken out of both sides first, so a
  // divisor that came from money (a multiple of 10^14) divides in 64 bits.
  U128 divisor = Magnitude(other.raw_);
  int scale = kPlaces;
  // Up to kPlaces zeros, taken 16, 8, 4, 2 and 1 at a time: as many as one at a time would
  // take, in at most five steps (a 128-bit division each is dear).
  for (int step = 16; step > 0; step /= 2) {
    if (scale >= step && divisor % Pow10(step) == 0) {
      divisor /= Pow10(step);
      scale -= step;
    }
  }
  const U128 quotient = Divide(Multiply(Magnitude(raw_), Pow10(scale)), divisor);
  return Decimal(Signed(quotient, negative));
}

Decimal Decimal::operator%(Decimal other) const {
  if (other.raw_ == 0) ThrowDivisionByZero();
  return Decimal(raw_ % other.raw_);  // the same scale on both sides
}

Decimal Decimal::Round(int digits) const {
  if (digits >= kPlaces) return *this;
  if (digits < -20) return Decimal();  // every value is below half of 10^21
  const U128 unit = Pow10(kPlaces - digits);
  const U128 magnitude = Magnitude(raw_);
  U128 rounded = magnitude - magnitude % unit;
  if (magnitude % unit >= unit / 2) rounded += unit;
  return Decimal(Signed(rounded, raw_ < 0));
}

int64_t Decimal::Truncated() const {
  const Int128 whole = raw_ / static_cast<Int128>(kOne);
  if (whole > INT64_MAX || whole < INT64_MIN) ThrowOverflow();
  return static_cast<int64_t>(whole);
}

Currency Decimal::ToCurrency() const {
  const Int128 scaled = Round(4).raw_ / kCurrencyUnit;
  if (scaled > INT64_MAX || scaled < INT64_MIN) {
    throw Error(kErrOverflow, kSource, "Overflow: " + ToString() + " does not fit Currency");
  }
  return Currency::FromScaled(static_cast<int64_t>(scaled));
}

double Decimal::ToDouble() const { return std::strtod(ToString().c_str(), nullptr); }

std::string Decimal::ToString(int places) const {
  if (places < 0) places = 0;
  if (places > kPlaces) places = kPlaces;
  U128 magnitude = Magnitude(raw_);
  std::string digits;
  for (U128 m = magnitude; m != 0; m /= 10) digits.insert(digits.begin(), char('0' + int(m % 10)));
  if (digits.size() <= static_cast<size_t>(kPlaces)) {
    digits.insert(0, static_cast<size_t>(kPlaces) + 1 - digits.size(), '0');
  }
  std::string whole = digits.substr(0, digits.size() - kPlaces);
  std::string fraction = digits.substr(digits.size() - kPlaces, static_cast<size_t>(places));
  const bool zero = whole.find_first_not_of('0') == std::string::npos &&
                    fraction.find_first_not_of('0') == std::string::npos;
  std::string out = raw_ < 0 && !zero ? "-" : "";
  out += whole;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

std::string Decimal::ToString() const {
  std::string text = ToString(kPlaces);
  const size_t last = text.find_last_not_of('0');
  text.erase(last + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

std::array<uint8_t, Decimal::kEncodedSize> Decimal::Encode() const {
  // Two's complement with the sign bit flipped orders as unsigned; big-endian bytes order as
  // memcmp compares.
  U128 bits = static_cast<U128>(raw_) ^ (static_cast<U128>(1) << 127);
  std::array<uint8_t, kEncodedSize> out{};
  for (int i = kEncodedSize - 1; i >= 0; --i) {
    out[static_cast<size_t>(i)] = static_cast<uint8_t>(bits);
    bits >>= 8;
  }
  return out;
}

Decimal Decimal::Decode(const uint8_t* bytes) {
  U128 bits = 0;
  for (int i = 0; i < kEncodedSize; ++i) bits = (bits << 8) | bytes[i];
  return Decimal(static_cast<Int128>(bits ^ (static_cast<U128>(1) << 127)));
}

}  // namespace qts
