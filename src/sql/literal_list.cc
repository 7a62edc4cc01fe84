#include "sql/literal_list.h"

#include "sql/lexer.h"
#include "sql/sql_error.h"

namespace qts::sql {
namespace {

bool IsNumber(const Token& token) {
  return token.kind == TokenKind::kInteger || token.kind == TokenKind::kDecimal;
}

[[noreturn]] void Refuse(const Token& token, std::string_view expected) {
  if (token.kind == TokenKind::kEnd) {
    throw SqlError("expected " + std::string(expected) + ", found end of list", "", token.position);
  }
  throw SqlError("expected " + std::string(expected) + " in a value list, found '" +
                     std::string(token.text) + "'",
                 std::string(token.text), token.position);
}

// The literal starting at tokens[i], written afresh; advances `i` past it.
std::string ReadLiteral(const std::vector<Token>& tokens, size_t& i) {
  const Token& token = tokens[i];
  if (token.after_comment) ThrowUnsupported("a comment in a value list", token.position);
  if (token.kind == TokenKind::kString && !token.national) {
    ++i;
    std::string item = "'";
    for (char c : token.value) {
      if (c == '\'') item += '\'';
      item += c;
    }
    return item + "'";
  }
  if (IsNumber(token)) return std::string(tokens[i++].text);
  // A sign belongs to the number only when written directly before it.
  const Token& next = tokens[i + (token.kind == TokenKind::kEnd ? 0 : 1)];
  if ((token.Is('-') || token.Is('+')) && IsNumber(next) && !next.after_comment &&
      next.offset == token.offset + 1) {
    i += 2;
    return std::string(token.text) + std::string(next.text);
  }
  Refuse(token, "a quoted text or a number");
}

}  // namespace

std::vector<std::string> ReadLiteralList(std::string_view text) {
  const std::vector<Token> tokens = Tokenize(text);
  std::vector<std::string> items;
  size_t i = 0;
  for (;;) {
    items.push_back(ReadLiteral(tokens, i));
    const Token& next = tokens[i];
    if (next.after_comment) ThrowUnsupported("a comment in a value list", next.position);
    if (next.kind == TokenKind::kEnd) return items;
    if (!next.Is(',')) Refuse(next, "','");
    ++i;
  }
}

}  // namespace qts::sql
