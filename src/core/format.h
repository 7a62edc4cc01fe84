// The platform's Format and its text functions. Text is UTF-8; positions and lengths count
// characters (code points), comparisons are binary.
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

// Every occurrence of `find` replaced, binary compare, left to right without rescanning;
// an empty `find` returns `text` unchanged.
std::string Replace(std::string_view text, std::string_view find, std::string_view replacement);

// Case mapping for ASCII, Latin-1, Latin Extended-A (Lithuanian letters) and Cyrillic.
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);
// Trim, LTrim and RTrim remove spaces only (not tabs or line breaks), as the platform does.
std::string Trim(std::string_view text);
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);

// Length in characters.
long Len(std::string_view text);
// The first / last `length` characters (all of them when longer than the text);
// error 5 when `length` is negative.
std::string Left(std::string_view text, long length);
std::string Right(std::string_view text, long length);
// From character `start` (1-based) to the end or for `length` characters; "" when start is
// past the end. Error 5 when start < 1 or length < 0.
std::string Mid(std::string_view text, long start);
std::string Mid(std::string_view text, long start, long length);
// 1-based position of the first `find` at or after `start`, 0 when absent or when start is
// past the end (an empty text included); an empty `find` otherwise gives `start`.
// Error 5 when start < 1.
long InStr(std::string_view text, std::string_view find);
long InStr(long start, std::string_view text, std::string_view find);

}  // namespace qts

#endif  // QTS_CORE_FORMAT_H_
