#include "core/format.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"

namespace qts {

namespace {

// ---- Decimal digits of a value ---------------------------------------------------------------

// |value| = 0.d1 d2 ... dn x 10^point; no leading or trailing zero digits (zero has none).
struct Decimal {
  bool negative = false;
  std::string digits;
  int point = 0;
};

void StripZeros(Decimal& d) {
  size_t first = d.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    d.digits.clear();
    d.point = 0;
    return;
  }
  d.digits.erase(0, first);
  d.point -= static_cast<int>(first);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

// A Double stands for its 15 significant digits, as the platform shows it: 2.675 is 2.675,
// not 2.67499999999999982.
Decimal FromDouble(double value) {
  Decimal d;
  d.negative = value < 0;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", value < 0 ? -value : value);
  std::string_view text(buffer);
  size_t e = text.find('e');
  d.digits = std::string(1, text[0]) + std::string(text.substr(2, e - 2));
  d.point = std::stoi(std::string(text.substr(e + 1))) + 1;
  StripZeros(d);
  return d;
}

Decimal FromWhole(int64_t value) {
  Decimal d;
  d.negative = value < 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  d.digits = std::to_string(magnitude);
  d.point = static_cast<int>(d.digits.size());
  StripZeros(d);
  return d;
}

Decimal FromCurrency(Currency value) {
  Decimal d = FromWhole(value.Scaled());
  d.point -= 4;
  return d;
}

// Rounds half away from zero to `places` decimal places.
void RoundTo(Decimal& d, int places) {
  int keep = d.point + places;
  int n = static_cast<int>(d.digits.size());
  if (keep >= n) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits.insert(0, 1, '1');
      ++d.point;
    }
  }
  StripZeros(d);
}

char DigitAt(const Decimal& d, int index) {  // index 0 = first digit after 0.
  if (index < 0 || index >= static_cast<int>(d.digits.size())) return '0';
  return d.digits[index];
}

// ---- Number patterns -------------------------------------------------------------------------

enum class TokenKind { kZero, kHash, kPoint, kPercent, kLiteral };

struct Token {
  TokenKind kind;
  std::string text;  // kLiteral
};

struct NumberSection {
  std::vector<Token> tokens;
  bool thousands = false;
  int scale = 0;  // powers of ten to shift: +2 per '%', -3 per scaling comma
};

bool IsDigitToken(const Token& t) {
  return t.kind == TokenKind::kZero || t.kind == TokenKind::kHash;
}

// Splits a pattern on ';' outside quotes and escapes.
std::vector<std::string> SplitSections(std::string_view pattern) {
  std::vector<std::string> sections(1);
  bool quoted = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '"') quoted = !quoted;
    if (c == '\\' && !quoted && i + 1 < pattern.size()) {
      sections.back() += c;
      sections.back() += pattern[++i];
      continue;
    }
    if (c == ';' && !quoted) {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

NumberSection ParseNumberSection(std::string_view pattern) {
  NumberSection section;
  std::vector<Token> raw;
  auto literal = [&](std::string text) {
    if (!raw.empty() && raw.back().kind == TokenKind::kLiteral) {
      raw.back().text += text;
    } else {
      raw.push_back({TokenKind::kLiteral, std::move(text)});
    }
  };
  bool seen_point = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '"') {
      size_t end = pattern.find('"', i + 1);
      if (end == std::string_view::npos) end = pattern.size();
      literal(std::string(pattern.substr(i + 1, end - i - 1)));
      i = end;
    } else if (c == '\\' && i + 1 < pattern.size()) {
      literal(std::string(1, pattern[++i]));
    } else if (c == '0') {
      raw.push_back({TokenKind::kZero, {}});
    } else if (c == '#') {
      raw.push_back({TokenKind::kHash, {}});
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      raw.push_back({TokenKind::kPoint, {}});
    } else if (c == '%') {
      section.scale += 2;
      raw.push_back({TokenKind::kPercent, {}});
    } else if (c == ',' && !seen_point) {
      // Between digit placeholders: thousands separator. Right after them (before the point
      // or the end of the digits): divide by a thousand. Elsewhere a literal comma.
      bool after_digit = !raw.empty() && IsDigitToken(raw.back());
      size_t j = i;
      while (j < pattern.size() && pattern[j] == ',') ++j;
      bool before_digit = j < pattern.size() && (pattern[j] == '0' || pattern[j] == '#');
      if (after_digit && before_digit) {
        section.thousands = true;
      } else if (after_digit) {
        section.scale -= 3 * static_cast<int>(j - i);
      } else {
        literal(std::string(j - i, ','));
      }
      i = j - 1;
    } else {
      literal(std::string(1, c));
    }
  }
  section.tokens = std::move(raw);
  return section;
}

std::string FormatNumberSection(const NumberSection& section, Decimal value, bool with_sign) {
  value.point += section.scale;
  const std::vector<Token>& tokens = section.tokens;
  size_t point_at = tokens.size();
  int decimals = 0;
  int min_decimals = 0;
  int int_zeros = 0;
  size_t first_digit = tokens.size();
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == TokenKind::kPoint) point_at = i;
    if (!IsDigitToken(tokens[i])) continue;
    if (first_digit == tokens.size()) first_digit = i;
    if (point_at < i) {
      ++decimals;
      if (tokens[i].kind == TokenKind::kZero) min_decimals = decimals;
    } else if (tokens[i].kind == TokenKind::kZero) {
      ++int_zeros;
    }
  }
  RoundTo(value, decimals);
  // Integer digits, padded to the number of '0' placeholders.
  std::string int_digits;
  for (int i = 0; i < value.point; ++i) int_digits += DigitAt(value, i);
  if (static_cast<int>(int_digits.size()) < int_zeros) {
    int_digits.insert(0, int_zeros - int_digits.size(), '0');
  }
  // Fraction digits, trailing zeros dropped down to the '0' placeholders.
  std::string frac_digits;
  for (int i = 0; i < decimals; ++i) frac_digits += DigitAt(value, value.point + i);
  while (static_cast<int>(frac_digits.size()) > min_decimals && frac_digits.back() == '0') {
    frac_digits.pop_back();
  }

  // Integer part right to left: each placeholder takes one digit, the leftmost all the rest.
  std::string int_out;  // reversed
  size_t int_end = std::min(point_at, tokens.size());
  size_t digit_count = 0;
  auto emit_digit = [&](char digit) {
    if (section.thousands && digit_count > 0 && digit_count % 3 == 0) int_out += ',';
    int_out += digit;
    ++digit_count;
  };
  size_t remaining = int_digits.size();
  for (size_t k = int_end; k-- > 0;) {
    const Token& t = tokens[k];
    if (k < first_digit) break;
    if (IsDigitToken(t)) {
      if (k == first_digit) {
        while (remaining > 0) emit_digit(int_digits[--remaining]);
      } else if (remaining > 0) {
        emit_digit(int_digits[--remaining]);
      }
    } else if (t.kind == TokenKind::kLiteral) {
      for (size_t c = t.text.size(); c-- > 0;) int_out += t.text[c];
    } else if (t.kind == TokenKind::kPercent) {
      int_out += '%';
    }
  }
  std::string out = with_sign ? "-" : "";
  for (size_t k = 0; k < first_digit && k < int_end; ++k) {
    if (tokens[k].kind == TokenKind::kLiteral) out += tokens[k].text;
    if (tokens[k].kind == TokenKind::kPercent) out += '%';
  }
  out.append(int_out.rbegin(), int_out.rend());
  size_t frac_index = 0;
  for (size_t k = point_at; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    if (t.kind == TokenKind::kPoint) {
      out += '.';
    } else if (IsDigitToken(t)) {
      if (frac_index < frac_digits.size()) out += frac_digits[frac_index];
      ++frac_index;
    } else if (t.kind == TokenKind::kLiteral) {
      out += t.text;
    } else if (t.kind == TokenKind::kPercent) {
      out += '%';
    }
  }
  return out;
}

std::string FormatNumber(const Decimal& value, std::string_view pattern) {
  std::vector<std::string> sections = SplitSections(pattern);
  bool is_zero = value.digits.empty();
  if (is_zero && sections.size() >= 3 && !sections[2].empty()) {
    return FormatNumberSection(ParseNumberSection(sections[2]), value, false);
  }
  if (value.negative && sections.size() >= 2 && !sections[1].empty()) {
    return FormatNumberSection(ParseNumberSection(sections[1]), value, false);
  }
  return FormatNumberSection(ParseNumberSection(sections[0]), value, value.negative && !is_zero);
}

// ---- Date patterns ---------------------------------------------------------------------------

constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};

struct DateToken {
  char letter;  // y d m h n s w q, 'a' for an AM/PM marker, 0 for a literal
  int count = 0;
  std::string text;  // literal text, or the AM/PM marker as written
};

std::vector<DateToken> ParseDatePattern(std::string_view pattern) {
  std::vector<DateToken> tokens;
  auto literal = [&](std::string_view text) {
    if (!tokens.empty() && tokens.back().letter == 0) {
      tokens.back().text += text;
    } else {
      tokens.push_back({0, 0, std::string(text)});
    }
  };
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    char lower = AsciiToLower(c);
    if (c == '"') {
      size_t end = pattern.find('"', i + 1);
      if (end == std::string_view::npos) end = pattern.size();
      literal(pattern.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '\\' && i + 1 < pattern.size()) {
      literal(pattern.substr(++i, 1));
    } else if (StartsWithIgnoreCase(pattern.substr(i), "am/pm")) {
      tokens.push_back({'a', 5, std::string(pattern.substr(i, 5))});
      i += 4;
    } else if (StartsWithIgnoreCase(pattern.substr(i), "a/p")) {
      tokens.push_back({'a', 3, std::string(pattern.substr(i, 3))});
      i += 2;
    } else if (std::string_view("ydmhnswq").find(lower) != std::string_view::npos) {
      size_t j = i;
      while (j < pattern.size() && AsciiToLower(pattern[j]) == lower) ++j;
      tokens.push_back({lower, static_cast<int>(j - i), {}});
      i = j - 1;
    } else {
      literal(pattern.substr(i, 1));
    }
  }
  // m after h, or before s, is minutes.
  char previous = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].letter == 0) continue;
    if (tokens[i].letter == 'm' && tokens[i].count <= 2) {
      char next = 0;
      for (size_t j = i + 1; j < tokens.size() && next == 0; ++j) next = tokens[j].letter;
      if (previous == 'h' || next == 's') tokens[i].letter = 'n';
    }
    previous = tokens[i].letter;
  }
  return tokens;
}

bool LooksLikeDatePattern(std::string_view pattern) {
  for (const DateToken& t : ParseDatePattern(pattern)) {
    if (t.letter != 0) return true;
  }
  return false;
}

std::string FormatDate(Date date, std::string_view pattern) {
  std::vector<DateToken> tokens = ParseDatePattern(pattern);
  bool twelve_hour = false;
  for (const DateToken& t : tokens) twelve_hour = twelve_hour || t.letter == 'a';
  std::string out;
  for (const DateToken& t : tokens) {
    auto two = [&](int v, int count) {
      out += count >= 2 ? fmt::format("{:02}", v) : std::to_string(v);
    };
    switch (t.letter) {
      case 0:
        out += t.text;
        break;
      case 'y':
        if (t.count >= 3) {
          out += fmt::format("{:04}", date.Year());
        } else if (t.count == 2) {
          out += fmt::format("{:02}", date.Year() % 100);
        } else {
          Date jan1 = Date::FromYmd(date.Year(), 1, 1);
          out += std::to_string(static_cast<int>(date.DateOnly().Serial() - jan1.Serial()) + 1);
        }
        break;
      case 'd':
        if (t.count <= 2) {
          two(date.Day(), t.count);
        } else if (t.count == 3) {
          out += std::string_view(kDayNames[date.Weekday() - 1]).substr(0, 3);
        } else if (t.count == 4) {
          out += kDayNames[date.Weekday() - 1];
        } else {
          out += fmt::format("{:04}-{:02}-{:02}", date.Year(), date.Month(), date.Day());
        }
        break;
      case 'm':
        if (t.count <= 2) {
          two(date.Month(), t.count);
        } else if (t.count == 3) {
          out += std::string_view(kMonthNames[date.Month() - 1]).substr(0, 3);
        } else {
          out += kMonthNames[date.Month() - 1];
        }
        break;
      case 'h': {
        int hour = date.Hour();
        if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
        two(hour, t.count);
        break;
      }
      case 'n':
        two(date.Minute(), t.count);
        break;
      case 's':
        two(date.Second(), t.count);
        break;
      case 'w':
        out += std::to_string(date.Weekday());
        break;
      case 'q':
        out += std::to_string((date.Month() - 1) / 3 + 1);
        break;
      case 'a': {
        // The marker as written: "AM/PM" -> AM or PM, "am/pm" -> am or pm, "A/P" -> A or P.
        bool pm = date.Hour() >= 12;
        size_t slash = t.text.find('/');
        out += pm ? t.text.substr(slash + 1) : t.text.substr(0, slash);
        break;
      }
      default:
        break;
    }
  }
  return out;
}

// ---- Dispatch --------------------------------------------------------------------------------

bool HasDigitPlaceholder(std::string_view pattern) {
  bool quoted = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\\') {
      ++i;
      continue;
    }
    if (c == '0' || c == '#') return true;
  }
  return false;
}

std::optional<Decimal> NumberOf(const Variant& value) {
  switch (value.Type()) {
    case VarType::kBoolean:
      return FromWhole(value.AsBool() ? -1 : 0);
    case VarType::kInteger:
      return FromWhole(value.AsInteger());
    case VarType::kLong:
      return FromWhole(value.AsLong());
    case VarType::kDouble:
      if (!std::isfinite(value.AsDouble())) return std::nullopt;
      return FromDouble(value.AsDouble());
    case VarType::kCurrency:
      return FromCurrency(value.AsCurrency());
    case VarType::kDate:
      return FromDouble(value.AsDate().Serial());
    case VarType::kString: {
      if (std::optional<double> number = ParseNumber(value.AsString())) return FromDouble(*number);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<Date> DateOf(const Variant& value) {
  switch (value.Type()) {
    case VarType::kDate:
      return value.AsDate();
    case VarType::kString: {
      if (std::optional<Date> parsed = Date::ParseIso(value.AsString())) return parsed;
      std::optional<double> number = ParseNumber(value.AsString());
      if (!number) return std::nullopt;
      return CDate(Variant(*number));
    }
    default:
      return CDate(value);
  }
}

std::string_view NamedPattern(std::string_view pattern) {
  struct Named {
    std::string_view name;
    std::string_view pattern;
  };
  static constexpr Named kNamed[] = {
      {"fixed", "0.00"},       {"standard", "#,##0.00"},
      {"percent", "0.00%"},    {"short date", "yyyy-mm-dd"},
      {"short time", "hh:nn"}, {"long time", "hh:nn:ss"},
  };
  for (const Named& n : kNamed) {
    if (EqualsIgnoreCase(pattern, n.name)) return n.pattern;
  }
  return pattern;
}

}  // namespace

std::string Format(const Variant& value, std::string_view pattern) {
  if (value.IsNull() || value.IsEmpty()) return {};
  if (value.IsObject()) throw Error(kErrTypeMismatch);
  if (pattern.empty() || EqualsIgnoreCase(pattern, "general number") ||
      EqualsIgnoreCase(pattern, "general date")) {
    return CStr(value);
  }
  pattern = NamedPattern(pattern);
  if (!HasDigitPlaceholder(pattern) && LooksLikeDatePattern(pattern)) {
    std::optional<Date> date = DateOf(value);
    if (!date) return value.AsString();  // text that is not a date
    return FormatDate(*date, pattern);
  }
  std::optional<Decimal> number = NumberOf(value);
  if (!number) return CStr(value);  // text that is not a number; a Double that is no number
  return FormatNumber(*number, pattern);
}

}  // namespace qts
