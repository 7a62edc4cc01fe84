#include "sql/shape_cache.h"

#include <algorithm>
#include <charconv>

#include "sql/emitter.h"
#include "sql/lexer.h"
#include "sql/parser.h"

namespace qts::sql {

namespace {

bool IsLiteral(const Token& token) {
  return token.kind == TokenKind::kString || token.kind == TokenKind::kInteger ||
         token.kind == TokenKind::kDecimal || token.kind == TokenKind::kFloat;
}

// A literal token as the shape's key and its fixed values spell it: kind, then the text.
std::string LiteralText(const Token& token) {
  if (token.kind == TokenKind::kString) return (token.national ? "N'" : "'") + token.value;
  return std::string(token.text);
}

ParameterValue ValueOf(const Literal& literal) {
  if (literal.literal_type == Literal::Type::kString) return literal.value;
  long long n = 0;
  std::from_chars(literal.value.data(), literal.value.data() + literal.value.size(), n);
  return n;
}

ParameterValue ValueOf(const Token& token) {
  if (token.kind == TokenKind::kString) return token.value;
  long long n = 0;
  std::from_chars(token.text.data(), token.text.data() + token.text.size(), n);
  return n;
}

bool SamePosition(const Position& a, const Position& b) {
  return a.line == b.line && a.column == b.column;
}

// The translation with its plain literals as parameters, and those literals in order.
std::pair<ParameterizedSql, std::vector<const Literal*>> Parameterize(const Command& command,
                                                                      const Catalogue& catalogue,
                                                                      Dialect dialect) {
  std::pair<ParameterizedSql, std::vector<const Literal*>> out;
  if (command.write) {
    Bind(*command.write, catalogue);
    out.first.sql = Emit(*command.write, dialect, &out.second);
    out.first.parameter_count = command.write->parameter_count;
  } else {
    Bind(*command.select, catalogue);
    out.first.sql = Emit(*command.select, dialect, &out.second);
    out.first.parameter_count = command.select->parameter_count;
  }
  out.first.values.reserve(out.second.size());
  for (const Literal* literal : out.second) out.first.values.push_back(ValueOf(*literal));
  return out;
}

}  // namespace

ParameterizedSql TranslateParameterized(std::string_view tsql, const Catalogue& catalogue,
                                        Dialect dialect) {
  return Parameterize(ParseCommand(tsql), catalogue, dialect).first;
}

ShapeCache::ShapeCache(const Catalogue& catalogue, Dialect dialect, size_t capacity)
    : catalogue_(catalogue), dialect_(dialect), capacity_(std::max<size_t>(capacity, 1)) {}

ParameterizedSql ShapeCache::Translate(std::string_view tsql) {
  if (auto seen = exact_.find(std::string(tsql)); seen != exact_.end()) return seen->second;
  ParameterizedSql out = TranslateShape(tsql);
  if (exact_.size() >= capacity_) exact_.clear();
  exact_.emplace(std::string(tsql), out);
  return out;
}

std::shared_ptr<const Translation> ShapeCache::TranslateQuery(std::string_view tsql) {
  std::string key(tsql);
  if (auto seen = queries_.find(key); seen != queries_.end()) return seen->second;
  auto out = std::make_shared<const Translation>(TranslateWithColumns(tsql, catalogue_, dialect_));
  if (queries_.size() >= capacity_) queries_.clear();
  queries_.emplace(std::move(key), out);
  return out;
}

ParameterizedSql ShapeCache::TranslateShape(std::string_view tsql) {
  const std::vector<Token> tokens = Tokenize(tsql);
  // The key: every token as written, the literals by kind only. Kinds and texts are separated
  // by characters no token holds unquoted, and quoted ones carry their length.
  std::string key;
  key.reserve(tsql.size());
  std::vector<const Token*> literals;
  for (const Token& token : tokens) {
    if (IsLiteral(token)) {
      literals.push_back(&token);
      key += '\x01';
      key += static_cast<char>('0' + static_cast<int>(token.kind));
      key += token.national ? 'N' : ' ';
    } else {
      key += '\x02';
      key += std::to_string(token.text.size());
      key += ':';
      key.append(token.text);
    }
  }

  auto found = shapes_.find(key);
  if (found != shapes_.end()) {
    const Shape& shape = found->second;
    bool same = true;
    for (const auto& [ordinal, text] : shape.fixed) {
      if (LiteralText(*literals[static_cast<size_t>(ordinal)]) != text) {
        same = false;
        break;
      }
    }
    if (same) {
      ParameterizedSql out{shape.sql, {}, shape.parameter_count};
      out.values.reserve(shape.parameters.size());
      for (int ordinal : shape.parameters) {
        out.values.push_back(ValueOf(*literals[static_cast<size_t>(ordinal)]));
      }
      return out;
    }
    // The same shape with other fixed literals: translated afresh, the kept one stays.
    return TranslateParameterized(tsql, catalogue_, dialect_);
  }

  const Command command = ParseCommand(tsql);
  auto [out, parameters] = Parameterize(command, catalogue_, dialect_);
  Shape shape;
  shape.sql = out.sql;
  shape.parameter_count = out.parameter_count;
  std::vector<bool> taken(literals.size(), false);
  for (const Literal* literal : parameters) {
    auto at = std::find_if(literals.begin(), literals.end(), [&](const Token* token) {
      return SamePosition(token->position, literal->Pos());
    });
    // Every literal node comes from a literal token at its position.
    const int ordinal = static_cast<int>(at - literals.begin());
    shape.parameters.push_back(ordinal);
    if (at != literals.end()) taken[static_cast<size_t>(ordinal)] = true;
  }
  for (size_t i = 0; i < literals.size(); ++i) {
    if (!taken[i]) shape.fixed.emplace_back(static_cast<int>(i), LiteralText(*literals[i]));
  }
  const bool mapped =
      std::all_of(shape.parameters.begin(), shape.parameters.end(),
                  [&](int ordinal) { return ordinal < static_cast<int>(literals.size()); });
  if (mapped) {
    if (shapes_.size() >= capacity_) shapes_.clear();
    shapes_.emplace(std::move(key), std::move(shape));
  }
  return out;
}

}  // namespace qts::sql
