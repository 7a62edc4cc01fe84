// Decimal: an exact decimal number with eighteen places in a 128-bit integer, the book's carrier
// for money arithmetic whose result has more places than money keeps (products, quotients and
// what is summed or rounded from them), as the server carries a NUMERIC product or quotient at
// a higher scale than the NUMERIC(19,4) columns it came from.
//
// Rules, the same in the SQL functions of the embedded book and in C++:
//   + and -   exact;
//   x         exact product, cut toward zero to eighteen places;
//   /         quotient cut toward zero to eighteen places. A later rounding to fewer places
//             (ROUND, storing into a money column) gives what rounding the exact quotient
//             gives: cutting never moves a value across a half-way point of a coarser place;
//   Round     half away from zero;
//   ToCurrency  rounded half away from zero to four places, as storing into NUMERIC(19,4).
// Values run up to 10^20 (exclusive) either way; beyond that error 6 (overflow).
#ifndef QTS_CORE_DECIMAL_H_
#define QTS_CORE_DECIMAL_H_

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/currency.h"

namespace qts {

class Decimal {
 public:
  using Int128 = __int128;
  static constexpr int kPlaces = 18;
  // Bytes of Encode().
  static constexpr int kEncodedSize = 16;

  constexpr Decimal() = default;

  static Decimal FromCurrency(Currency value);
  static Decimal FromLong(int64_t value);
  // The value whose representation (value * 10^18) is `raw`; error 6 beyond the range.
  static Decimal FromRaw(Int128 raw);
  // The decimal value `value` stands for (its shortest decimal text, as RoundDecimal reads
  // it), cut to eighteen places; error 6 for NaN, infinity or a value beyond the range.
  static Decimal FromDouble(double value);
  // Decimal text ("12", "-0.5", "5.47475", "1.5E3", blanks around it allowed), cut to eighteen
  // places; nullopt when the text is not a number, error 6 when it is beyond the range.
  static std::optional<Decimal> Parse(std::string_view text);

  constexpr Int128 Raw() const { return raw_; }

  Decimal operator+(Decimal other) const;
  Decimal operator-(Decimal other) const;
  Decimal operator-() const { return Decimal(-raw_); }
  Decimal operator*(Decimal other) const;
  // Error 11 (division by zero) when `other` is 0.
  Decimal operator/(Decimal other) const;
  // The remainder of the quotient cut to a whole number (the sign of this value), as T-SQL's
  // '%'; error 11 when `other` is 0.
  Decimal operator%(Decimal other) const;
  Decimal Abs() const { return raw_ < 0 ? -*this : *this; }

  // Rounded to `digits` places half away from zero; digits >= 18 leaves it unchanged,
  // negative digits round to tens, hundreds, ...
  Decimal Round(int digits) const;
  // The whole part, cut toward zero; error 6 when it does not fit int64.
  int64_t Truncated() const;
  // Rounded half away from zero to four places; error 6 beyond Currency's range.
  Currency ToCurrency() const;
  // The nearest double.
  double ToDouble() const;
  // Plain decimal text with `places` decimals (0 to 18), cut: ToString(4) of 5.47475 is
  // "5.4747". Without `places`: no trailing zeros ("5.47475", "-12", "0.5").
  std::string ToString(int places) const;
  std::string ToString() const;

  // Sixteen bytes whose byte order (memcmp) is the order of the values.
  std::array<uint8_t, kEncodedSize> Encode() const;
  static Decimal Decode(const uint8_t* bytes);

  constexpr auto operator<=>(const Decimal&) const = default;
  constexpr bool operator==(const Decimal&) const = default;

 private:
  constexpr explicit Decimal(Int128 raw) : raw_(raw) {}
  Int128 raw_ = 0;
};

}  // namespace qts

#endif  // QTS_CORE_DECIMAL_H_
