// The platform's Format. Its text functions are in text.h.
#ifndef QTS_CORE_FORMAT_H_
#define QTS_CORE_FORMAT_H_

#include <string>
#include <string_view>

#include "core/variant.h"

namespace qts {

// `value` formatted by `pattern`:
// - date patterns from yyyy yy mm m dd d hh h nn n ss s (m and mm after h or hh, or before s
//   or ss, are minutes) with any other characters as literals ("yymmdd", "yyyy.mm.dd",
//   "dd.mm.yyyy hh:nn"); ddd/dddd/mmm/mmmm give English day and month names;
// - number patterns of 0 (digit), # (digit if needed), '.' (decimal point), ',' between digits
//   (thousands separator) and '%' (times 100), with up to three sections
//   "positive;negative;zero" and literal text around; rounding is half away from zero on the
//   decimal digits the value stands for (0.125 -> "0.13", 2.675 -> "2.68");
// - the named formats "General Number", "Fixed", "Standard", "Percent", "Short Date",
//   "Short Time" and "Long Time";
// - an empty pattern gives CStr.
// Null and Empty give "". Text that is not a number or a date is returned unchanged.
std::string Format(const Variant& value, std::string_view pattern);

}  // namespace qts

#endif  // QTS_CORE_FORMAT_H_
