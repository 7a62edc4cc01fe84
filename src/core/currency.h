// Currency: the platform's 64-bit fixed-point money type, four decimal places. Money and
// quantities travel as Currency so that sums add up to the last digit.
#ifndef QTS_CORE_CURRENCY_H_
#define QTS_CORE_CURRENCY_H_

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qts {

class Currency {
 public:
  static constexpr int64_t kScale = 10000;

  constexpr Currency() = default;

  // The value whose scaled representation (value * 10,000) is `scaled`.
  static constexpr Currency FromScaled(int64_t scaled) { return Currency(scaled); }
  // `value` rounded half to even to four places, as the platform converts a Double.
  // Error 6 (Overflow) outside -922,337,203,685,477.5808 .. 922,337,203,685,477.5807 and for
  // NaN or infinity.
  static Currency FromDouble(double value);
  // A whole number; error 6 when it does not fit.
  static Currency FromLong(int64_t value);
  // Decimal text ("12", "-0.5", "1086.4292", "1.5E3", blanks around it allowed), converted
  // exactly and rounded half to even to four places; nullopt when the text is not a number,
  // error 6 when the number does not fit.
  static std::optional<Currency> Parse(std::string_view text);

  constexpr int64_t Scaled() const { return scaled_; }
  double ToDouble() const { return static_cast<double>(scaled_) / kScale; }
  // As the platform's CStr: no trailing zeros, no decimal point for whole values
  // ("1086.4292", "-0.5", "12").
  std::string ToString() const;

  // Arithmetic is exact; a result outside the range raises error 6, division by zero error 11.
  // Multiplication and division round the exact result half to even to four places.
  Currency operator+(Currency other) const;
  Currency operator-(Currency other) const;
  Currency operator*(Currency other) const;
  Currency operator/(Currency other) const;
  Currency operator-() const;
  Currency& operator+=(Currency other) { return *this = *this + other; }
  Currency& operator-=(Currency other) { return *this = *this - other; }
  Currency& operator*=(Currency other) { return *this = *this * other; }
  Currency& operator/=(Currency other) { return *this = *this / other; }

  constexpr auto operator<=>(const Currency&) const = default;
  constexpr bool operator==(const Currency&) const = default;

 private:
  constexpr explicit Currency(int64_t scaled) : scaled_(scaled) {}
  int64_t scaled_ = 0;
};

// The host's rounding of money and quantities: `value` rounded to `digits` places half away
// from zero (commercial rounding, as the books and the server's ROUND round). digits >= 4
// leaves it unchanged; negative digits round to tens, hundreds, ...
Currency RoundCy(Currency value, int digits);

}  // namespace qts

#endif  // QTS_CORE_CURRENCY_H_
