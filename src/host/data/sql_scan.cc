#include "host/data/sql_scan.h"

#include <cctype>

#include "core/text.h"

namespace qts::host::sqlscan {
namespace {

bool IsIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         (static_cast<unsigned char>(c) >= 0x80);
}
bool IsIdentPart(char c) {
  return IsIdentStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$';
}

// The end of the literal, bracket or comment starting at `i`, or `i` when none starts there.
// Sets `closed` to false when it runs to the end of the text unclosed.
size_t SkipOpaque(std::string_view t, size_t i, bool& closed) {
  closed = true;
  if (t[i] == '\'') {
    for (size_t j = i + 1; j < t.size(); ++j) {
      if (t[j] == '\'') {
        if (j + 1 < t.size() && t[j + 1] == '\'') {
          ++j;
          continue;
        }
        return j + 1;
      }
    }
    closed = false;
    return t.size();
  }
  if (t.compare(i, 2, "--") == 0) {
    size_t end = t.find('\n', i);
    return end == std::string_view::npos ? t.size() : end;
  }
  if (t.compare(i, 2, "/*") == 0) {
    size_t end = t.find("*/", i + 2);
    if (end == std::string_view::npos) {
      closed = false;
      return t.size();
    }
    return end + 2;
  }
  return i;
}

struct Token {
  size_t begin;
  size_t end;
  std::string name;  // identifier without brackets
};

// Calls `on_qualifier(token)` for each identifier followed by '.' that is not after a '.'.
template <class F>
void ForEachQualifier(std::string_view t, F on_qualifier) {
  size_t i = 0;
  char previous = ' ';  // last significant character before the current token
  while (i < t.size()) {
    bool closed = true;
    size_t skipped = SkipOpaque(t, i, closed);
    if (skipped != i) {
      previous = '\'';
      i = skipped;
      continue;
    }
    char c = t[i];
    Token token{i, i, {}};
    if (c == '[') {
      size_t end = t.find(']', i);
      if (end == std::string_view::npos) return;
      token.name = std::string(t.substr(i + 1, end - i - 1));
      token.end = end + 1;
    } else if (IsIdentStart(c)) {
      size_t j = i;
      while (j < t.size() && IsIdentPart(t[j])) ++j;
      token.name = std::string(t.substr(i, j - i));
      token.end = j;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < t.size() && (std::isalnum(static_cast<unsigned char>(t[j])) || t[j] == '.')) ++j;
      previous = '0';
      i = j;
      continue;
    } else {
      if (!std::isspace(static_cast<unsigned char>(c))) previous = c;
      ++i;
      continue;
    }
    size_t k = token.end;
    while (k < t.size() && std::isspace(static_cast<unsigned char>(t[k]))) ++k;
    if (previous != '.' && k < t.size() && t[k] == '.') on_qualifier(token);
    previous = 'a';
    i = token.end;
  }
}

}  // namespace

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty()) return false;
  if (!std::isalpha(static_cast<unsigned char>(name[0])) && name[0] != '_') return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

bool IsReservedWord(std::string_view name) {
  static const std::set<std::string> kReserved = {
      "add",     "all",    "and",    "any",      "as",        "asc",     "between", "by",
      "case",    "cast",   "check",  "column",   "convert",   "create",  "cross",   "current",
      "default", "delete", "desc",   "distinct", "drop",      "else",    "end",     "escape",
      "except",  "exists", "from",   "full",     "function",  "group",   "having",  "identity",
      "in",      "index",  "inner",  "insert",   "intersect", "into",    "is",      "join",
      "key",     "left",   "like",   "not",      "null",      "nullif",  "of",      "on",
      "or",      "order",  "outer",  "over",     "percent",   "primary", "right",   "select",
      "set",     "some",   "table",  "then",     "to",        "top",     "union",   "unique",
      "update",  "user",   "values", "view",     "when",      "where",   "with"};
  return kReserved.count(AsciiLower(name)) > 0;
}

std::string QuoteName(std::string_view name) {
  if (IsPlainIdentifier(name) && !IsReservedWord(name)) return std::string(name);
  std::string out = "[";
  for (char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  return out + "]";
}

std::string RenameQualifier(std::string_view text, std::string_view from, std::string_view to) {
  std::string lower_from = AsciiLower(from);
  std::string out;
  size_t copied = 0;
  ForEachQualifier(text, [&](const Token& token) {
    if (AsciiLower(token.name) != lower_from) return;
    out.append(text.substr(copied, token.begin - copied));
    out.append(QuoteName(to));
    copied = token.end;
  });
  out.append(text.substr(copied));
  return out;
}

std::set<std::string> Qualifiers(std::string_view text) {
  std::set<std::string> found;
  ForEachQualifier(text, [&](const Token& token) { found.insert(AsciiLower(token.name)); });
  return found;
}

bool IsConstant(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  std::string_view t = text.substr(b, e - b);
  if (t.empty()) return false;
  if (AsciiLower(t) == "null") return true;
  if (t.front() == '\'') {
    bool closed = true;
    return SkipOpaque(t, 0, closed) == t.size() && closed;
  }
  size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  bool digits = false;
  bool dot = false;
  for (; i < t.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(t[i]))) {
      digits = true;
    } else if (t[i] == '.' && !dot) {
      dot = true;
    } else {
      return false;
    }
  }
  return digits;
}

bool HasStatementBreak(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ';') return true;
    if (text.compare(i, 2, "--") == 0 || text.compare(i, 2, "/*") == 0) return true;
    if (text[i] == '\'') {
      bool closed = true;
      i = SkipOpaque(text, i, closed);
      if (!closed) return true;
      continue;
    }
    if (text[i] == '[') {
      size_t end = text.find(']', i);
      if (end == std::string_view::npos) return true;
      i = end + 1;
      continue;
    }
    ++i;
  }
  return false;
}

}  // namespace qts::host::sqlscan
