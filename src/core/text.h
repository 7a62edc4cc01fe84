// Text helpers, in two groups that do different jobs:
//
// - The platform's text functions (Replace, UCase, LCase, Trim, Len, Left, Right, Mid, InStr)
//   work on the data: UTF-8 text whose positions and lengths count characters, with case
//   mapping for the letters a book's texts hold (Lithuanian among them).
// - Identifier helpers (EqualsIgnoreCase and its companions) compare and fold names: of
//   tables, columns, fields, members, settings, formats and the keywords of small grammars.
//   Identifiers in a book are case-insensitive, as on the original server, and are ASCII, so
//   these fold the ASCII letters A-Z and a-z only: every other byte, including each byte of a
//   non-ASCII UTF-8 character, must match exactly ("Š" and "š" are different names). Both
//   sides are folded, always.
#ifndef QTS_CORE_TEXT_H_
#define QTS_CORE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace qts {

// ---- The platform's text functions ------------------------------------------------------------

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

// ---- Identifiers: ASCII, ignoring case --------------------------------------------------------

// `c` with an ASCII upper-case letter lowered (an ASCII lower-case letter raised); any other
// byte as it is.
constexpr char AsciiToLower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiToUpper(char c) noexcept {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// `text` with its ASCII letters lowered / raised; other bytes unchanged.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// Whether `a` and `b` are equal, ignoring the case of ASCII letters.
bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept;
// Whether `text` begins with `prefix`, ignoring the case of ASCII letters.
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) noexcept;

// `text` without the ASCII white space (space, tab, line feed, vertical tab, form feed,
// carriage return) at its start, or at both ends. Unlike Trim, for input that people and
// programs type rather than for the platform's data.
std::string_view StripLeadingAsciiWhitespace(std::string_view text) noexcept;
std::string_view StripAsciiWhitespace(std::string_view text) noexcept;

// Hash and equality of names under EqualsIgnoreCase, for containers keyed by name that
// are looked up with a string_view and without making a folded copy first.
struct IgnoreCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const noexcept {
    size_t h = 14695981039346656037ULL;  // FNV-1a over the lowered bytes
    for (char c : text) {
      h ^= static_cast<unsigned char>(AsciiToLower(c));
      h *= 1099511628211ULL;
    }
    return h;
  }
};
struct IgnoreCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    return EqualsIgnoreCase(a, b);
  }
};

}  // namespace qts

#endif  // QTS_CORE_TEXT_H_
