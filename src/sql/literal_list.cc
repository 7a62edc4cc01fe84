#include "sql/literal_list.h"

#include <vector>

#include "sql/lexer.h"
#include "sql/sql_error.h"

namespace qts::sql {

std::string NormalizeLiteralList(std::string_view text) {
  std::vector<Token> tokens = Tokenize(text);
  std::string list;
  size_t i = 0;
  for (;;) {
    const Token* token = &tokens[i];
    std::string item;
    if (token->Is('-') && tokens[i + 1].kind != TokenKind::kEnd) {
      item = "-";
      token = &tokens[++i];
    }
    switch (token->kind) {
      case TokenKind::kInteger:
      case TokenKind::kDecimal:
      case TokenKind::kFloat:
        item += token->text;
        break;
      case TokenKind::kString:
        if (!item.empty()) ThrowUnsupported("'-' before a text", token->position);
        item += token->national ? "N'" : "'";
        for (char c : token->value) {
          if (c == '\'') item += '\'';
          item += c;
        }
        item += '\'';
        break;
      default:
        if (token->Is(Keyword::kNull) && item.empty()) {
          item = "NULL";
          break;
        }
        if (token->kind == TokenKind::kEnd) {
          throw SqlError("expected a literal, found end of list", "", token->position);
        }
        throw SqlError(
            "only literals may appear in a value list, not '" + std::string(token->text) + "'",
            std::string(token->text), token->position);
    }
    if (!list.empty()) list += ", ";
    list += item;
    const Token& next = tokens[++i];
    if (next.kind == TokenKind::kEnd) return list;
    if (!next.Is(',')) {
      throw SqlError("expected ',' in a value list, found '" + std::string(next.text) + "'",
                     std::string(next.text), next.position);
    }
    ++i;
  }
}

}  // namespace qts::sql
