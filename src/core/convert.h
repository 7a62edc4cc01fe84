// The platform's conversion functions. Null converts to nothing but a Variant (error 94), Empty
// converts to False / 0 / "" / the zero date, text converts the platform's way.
#ifndef QTS_CORE_CONVERT_H_
#define QTS_CORE_CONVERT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/currency.h"
#include "core/date.h"
#include "core/variant.h"

namespace qts {

// Text accepted as "True"/"False" (any case) or as a number (non-zero is True); anything else,
// "" included, raises error 13.
bool CBool(const Variant& value);
// Rounded half to even; error 6 outside -32,768 .. 32,767. True converts to -1.
int16_t CInt(const Variant& value);
// Rounded half to even; error 6 outside the 32-bit range.
int32_t CLng(const Variant& value);
double CDbl(const Variant& value);
// Doubles round half to even to four places; text converts exactly.
Currency CCur(const Variant& value);
// Numbers are serials (error 6 outside the date range); text must be an ISO date
// ("YYYY-MM-DD" with an optional time), anything else raises error 13.
Date CDate(const Variant& value);
// Booleans give "True"/"False"; Doubles the platform's shortest form (15 significant digits:
// "0.1", "1E+20", "1.5E-05"); Currency as Currency::ToString; dates as Date::ToIso
// ("YYYY-MM-DD", with " HH:MM:SS" when there is a time part) -- the platform would use the
// short date format of the user's locale, this system always writes ISO dates.
std::string CStr(const Variant& value);

// A condition as the platform's If tests it: Null and Empty are False, numbers are True when
// non-zero, text as CBool.
bool IsTrue(const Variant& value);

// Text to number the platform's way: blanks around, a sign, digits with an optional decimal
// point ('.'), an optional exponent (E or e, with a sign). nullopt when the text is not a
// number ("" included). Error 6 when the number is beyond the Double range.
std::optional<double> ParseNumber(std::string_view text);

// A Double as the platform writes it (the CStr form above).
std::string FormatDouble(double value);

}  // namespace qts

#endif  // QTS_CORE_CONVERT_H_
