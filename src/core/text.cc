#include "core/text.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error.h"

namespace qts {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of character `index` (0-based), or text.size() when the text is shorter.
size_t OffsetOfChar(std::string_view text, long index) {
  size_t pos = 0;
  for (long i = 0; i < index && pos < text.size(); ++i) {
    ++pos;
    while (pos < text.size() && IsContinuation(text[pos])) ++pos;
  }
  return pos;
}

// Outside Unicode: a byte that does not start a valid sequence decodes to this plus the byte,
// which no case mapping touches, so it is copied through unchanged.
constexpr char32_t kInvalidByte = 0x110000;

// Decodes the code point at `pos` and advances past it.
char32_t Decode(std::string_view text, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  if (extra == 0 || pos + extra >= text.size()) {
    ++pos;
    return kInvalidByte + lead;
  }
  char32_t cp = lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if (!IsContinuation(text[pos + k])) {
      ++pos;
      return kInvalidByte + lead;
    }
    cp = (cp << 6) | (byte(pos + k) & 0x3F);
  }
  pos += extra + 1;
  return cp;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Latin Extended-A pairs an upper-case letter with the lower-case one after it; the blocks
// differ in whether the upper case sits on the even or the odd code point.
bool InPairedBlock(char32_t cp, bool& upper_is_even) {
  if ((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) {
    upper_is_even = true;
    return true;
  }
  if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) {
    upper_is_even = false;
    return true;
  }
  return false;
}

char32_t ToUpper(char32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 32;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  if (cp == 0xFF) return 0x178;
  if (cp >= 0x430 && cp <= 0x44F) return cp - 32;
  if (cp >= 0x450 && cp <= 0x45F) return cp - 80;
  bool upper_is_even = false;
  if (InPairedBlock(cp, upper_is_even) && ((cp % 2 == 0) != upper_is_even)) return cp - 1;
  return cp;
}

char32_t ToLower(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  bool upper_is_even = false;
  if (InPairedBlock(cp, upper_is_even) && ((cp % 2 == 0) == upper_is_even)) return cp + 1;
  return cp;
}

std::string MapCase(std::string_view text, char32_t (*map)(char32_t)) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = pos;
    char32_t cp = Decode(text, pos);
    char32_t mapped = map(cp);
    if (mapped == cp) {
      out.append(text.substr(start, pos - start));
    } else {
      Encode(mapped, out);
    }
  }
  return out;
}

void CheckLength(long length) {
  if (length < 0) throw Error(kErrInvalidCall);
}

bool IsAsciiWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string Replace(std::string_view text, std::string_view find, std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(find, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(replacement);
    pos = hit + find.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string UCase(std::string_view text) { return MapCase(text, ToUpper); }
std::string LCase(std::string_view text) { return MapCase(text, ToLower); }

std::string LTrim(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string RTrim(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string Trim(std::string_view text) { return LTrim(RTrim(text)); }

long Len(std::string_view text) {
  long count = 0;
  for (char c : text) count += IsContinuation(c) ? 0 : 1;
  return count;
}

std::string Left(std::string_view text, long length) {
  CheckLength(length);
  return std::string(text.substr(0, OffsetOfChar(text, length)));
}

std::string Right(std::string_view text, long length) {
  CheckLength(length);
  long total = Len(text);
  if (length >= total) return std::string(text);
  return std::string(text.substr(OffsetOfChar(text, total - length)));
}

std::string Mid(std::string_view text, long start) {
  if (start < 1) throw Error(kErrInvalidCall);
  return std::string(text.substr(OffsetOfChar(text, start - 1)));
}

std::string Mid(std::string_view text, long start, long length) {
  if (start < 1) throw Error(kErrInvalidCall);
  CheckLength(length);
  size_t from = OffsetOfChar(text, start - 1);
  std::string_view rest = text.substr(from);
  return std::string(rest.substr(0, OffsetOfChar(rest, length)));
}

long InStr(std::string_view text, std::string_view find) { return InStr(1, text, find); }

long InStr(long start, std::string_view text, std::string_view find) {
  if (start < 1) throw Error(kErrInvalidCall);
  long total = Len(text);
  if (start > total) return 0;
  if (find.empty()) return start;
  size_t from = OffsetOfChar(text, start - 1);
  size_t hit = text.find(find, from);
  if (hit == std::string_view::npos) return 0;
  return Len(text.substr(0, hit)) + 1;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiToLower(c);
  return out;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiToUpper(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && StartsWithIgnoreCase(a, b);
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiToLower(text[i]) != AsciiToLower(prefix[i])) return false;
  }
  return true;
}

std::string_view StripLeadingAsciiWhitespace(std::string_view text) noexcept {
  while (!text.empty() && IsAsciiWhitespace(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view StripAsciiWhitespace(std::string_view text) noexcept {
  text = StripLeadingAsciiWhitespace(text);
  while (!text.empty() && IsAsciiWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace qts
