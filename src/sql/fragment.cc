#include "sql/fragment.h"

#include <optional>
#include <vector>

#include "core/text.h"
#include "sql/lexer.h"
#include "sql/sql_error.h"

namespace qts::sql {
namespace {

bool IsAsciiLetter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The tokens of `text`, or nullopt when the lexer cannot read it.
std::optional<std::vector<Token>> TryTokenize(std::string_view text) {
  try {
    return Tokenize(text);
  } catch (const SqlError&) {
    return std::nullopt;
  }
}

bool IsName(const Token& token) noexcept {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kQuotedIdentifier;
}

std::string_view NameOf(const Token& token) noexcept {
  return token.kind == TokenKind::kQuotedIdentifier ? std::string_view(token.value) : token.text;
}

// Calls `on_qualifier(token)` for each name followed by '.' that does not itself follow a '.'.
template <class F>
void ForEachQualifier(const std::vector<Token>& tokens, F on_qualifier) {
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (IsName(tokens[i]) && tokens[i + 1].Is('.') && (i == 0 || !tokens[i - 1].Is('.'))) {
      on_qualifier(tokens[i]);
    }
  }
}

}  // namespace

bool IsPlainIdentifier(std::string_view name) noexcept {
  if (name.empty() || !(IsAsciiLetter(name[0]) || name[0] == '_')) return false;
  for (char c : name) {
    if (!(IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_')) return false;
  }
  return true;
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
  std::optional<std::vector<Token>> tokens = TryTokenize(text);
  if (!tokens) return std::string(text);
  const std::string quoted = QuoteName(to);
  std::string out;
  size_t copied = 0;
  ForEachQualifier(*tokens, [&](const Token& token) {
    if (!EqualsIgnoreCase(NameOf(token), from)) return;
    out.append(text.substr(copied, token.offset - copied));
    out.append(quoted);
    copied = token.offset + token.text.size();
  });
  out.append(text.substr(copied));
  return out;
}

std::set<std::string> Qualifiers(std::string_view text) {
  std::set<std::string> found;
  if (std::optional<std::vector<Token>> tokens = TryTokenize(text)) {
    ForEachQualifier(*tokens, [&](const Token& token) { found.insert(AsciiLower(NameOf(token))); });
  }
  return found;
}

bool IsSingleLiteral(std::string_view text) {
  std::optional<std::vector<Token>> tokens = TryTokenize(text);
  if (!tokens) return false;
  const std::vector<Token>& t = *tokens;  // ends with kEnd
  auto is_number = [](const Token& token) {
    return token.kind == TokenKind::kInteger || token.kind == TokenKind::kDecimal;
  };
  if (t.size() == 2) {
    return is_number(t[0]) || t[0].kind == TokenKind::kString || t[0].Is(Keyword::kNull);
  }
  // A sign belongs to the number only when written directly before it.
  return t.size() == 3 && (t[0].Is('-') || t[0].Is('+')) && is_number(t[1]) &&
         t[1].offset == t[0].offset + 1;
}

bool HasStatementBreak(std::string_view text) {
  std::optional<std::vector<Token>> tokens = TryTokenize(text);
  if (!tokens) return true;
  for (const Token& token : *tokens) {
    if (token.Is(';') || token.after_comment) return true;
  }
  return false;
}

}  // namespace qts::sql
