// The SQL text side of the schema: instantiating derived sources, the free-quantity
// expression, and the rewrite of the schema's own T-SQL to physical names.
#include <cctype>
#include <string>
#include <unordered_map>

#include "core/error.h"
#include "core/text.h"
#include "host/schema/schema.h"
#include "host/schema/schema_text.h"

namespace qts::host::schema {

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

// The end of the string literal starting at `begin` (one past its closing quote), or npos.
size_t StringLiteralEnd(std::string_view text, size_t begin) {
  for (size_t i = begin + 1; i < text.size(); ++i) {
    if (text[i] != '\'') continue;
    if (i + 1 < text.size() && text[i + 1] == '\'') {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrInvalidCall, "BookSchema", std::move(description));
}

bool IsIdentifier(std::string_view text) {
  if (text.empty() || !IsIdentStart(text[0])) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// Lower-case column name to its canonical spelling, over every source of the schema.
const std::unordered_map<std::string, std::string>& ColumnNames() {
  static const std::unordered_map<std::string, std::string> names = [] {
    std::unordered_map<std::string, std::string> map;
    for (const SourceDef& s : Sources()) {
      for (const ColumnDef& c : s.columns) map.emplace(AsciiLower(c.name), c.name);
    }
    return map;
  }();
  return names;
}

}  // namespace

bool IsSqlLiteral(std::string_view text) {
  if (text.empty()) return false;
  if (text[0] == '\'') return StringLiteralEnd(text, 0) == text.size();
  if (EqualsIgnoreCase(text, "null")) return true;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  return digits > 0 && i == text.size();
}

std::string SourceSql(std::string_view logical_name,
                      const std::map<std::string, std::string>& literals) {
  const SourceDef* def = FindSourceDef(logical_name);
  if (def == nullptr) Fail("unknown source '" + std::string(logical_name) + "'");
  if (def->kind == SourceKind::kTable) Fail(def->name + " is a table, not a derived source");

  std::unordered_map<std::string, std::string> by_name;  // lower-case parameter -> literal
  for (const auto& [name, literal] : literals) {
    bool known = false;
    for (const ParameterDef& p : def->parameters) known = known || EqualsIgnoreCase(p.name, name);
    if (!known) Fail(def->name + " has no parameter '" + name + "'");
    if (!IsSqlLiteral(literal)) {
      Fail("the value of parameter " + name + " of " + def->name +
           " is not one SQL literal: " + literal);
    }
    by_name[AsciiLower(name)] = literal;
  }
  for (const ParameterDef& p : def->parameters) {
    if (!by_name.count(AsciiLower(p.name))) {
      Fail("parameter " + p.name + " of " + def->name + " has no value");
    }
  }

  const std::string& sql = def->sql;
  std::string out;
  for (size_t i = 0; i < sql.size();) {
    if (sql[i] == '\'') {
      const size_t end = StringLiteralEnd(sql, i);
      out.append(sql, i, end - i);
      i = end;
    } else if (sql[i] == '@') {
      size_t end = i + 1;
      while (end < sql.size() && IsIdentChar(sql[end])) ++end;
      auto it = by_name.find(AsciiLower(std::string_view(sql).substr(i + 1, end - i - 1)));
      if (it == by_name.end()) Fail("unknown placeholder in " + def->name);
      out += it->second;
      i = end;
    } else {
      out += sql[i++];
    }
  }
  return out;
}

std::string FreeAmountExpr(std::string_view date_literal, std::string_view row_alias) {
  if (!IsSqlLiteral(date_literal)) {
    Fail("not one SQL literal: " + std::string(date_literal));
  }
  if (!IsIdentifier(row_alias)) Fail("not an alias: " + std::string(row_alias));
  const std::string alias(row_alias);
  return "(" + alias +
         ".AmountAccount - COALESCE((SELECT SUM(fxl.Amount) FROM THGoodSpecFixLog fxl"
         " INNER JOIN THGoodSpec fxo ON fxo.IDC = fxl.OutcomeSpecID"
         " INNER JOIN THDocument fxd ON fxd.IDC = fxo.DocID"
         " WHERE fxl.IncomeSpecID = " +
         alias + ".IDC AND fxd.DocumentDate <= " + std::string(date_literal) + "), 0))";
}

std::string PhysicalSql(std::string_view code, std::string_view tsql) {
  CheckBookCode(code);
  enum class Prev { kOther, kDot, kFromJoin };
  Prev prev = Prev::kOther;
  std::string out;

  auto emit_identifier = [&](std::string_view name, bool was_quoted) {
    const std::string lower = AsciiLower(name);
    const auto& columns = ColumnNames();
    auto column = columns.find(lower);
    if (prev == Prev::kFromJoin) {
      if (const SourceDef* def = FindSourceDef(name)) {
        if (def->kind == SourceKind::kParameterised) {
          Fail(def->name + " has parameters: inline it instead of naming it");
        }
        out += QuoteIdentifier(std::string(code) + "$" + def->name);
        prev = Prev::kOther;
        return;
      }
    }
    if (column != columns.end()) {
      out += QuoteIdentifier(column->second);
    } else if (was_quoted) {
      out += QuoteIdentifier(name);
    } else {
      out += name;
    }
    prev = (lower == "from" || lower == "join") && !was_quoted ? Prev::kFromJoin : Prev::kOther;
  };

  for (size_t i = 0; i < tsql.size();) {
    const char c = tsql[i];
    if (c == '\'') {
      const size_t end = StringLiteralEnd(tsql, i);
      if (end == std::string_view::npos) Fail("unterminated string literal");
      out.append(tsql.substr(i, end - i));
      i = end;
      prev = Prev::kOther;
    } else if (c == '@') {
      Fail("placeholder left in SQL: " + std::string(tsql.substr(i, 20)));
    } else if (IsIdentStart(c)) {
      size_t end = i;
      while (end < tsql.size() && IsIdentChar(tsql[end])) ++end;
      emit_identifier(tsql.substr(i, end - i), false);
      i = end;
    } else if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      const size_t end = tsql.find(close, i + 1);
      if (end == std::string_view::npos) Fail("unterminated quoted identifier");
      emit_identifier(tsql.substr(i + 1, end - i - 1), true);
      i = end + 1;
    } else if (IsDigit(c)) {
      size_t end = i;
      while (end < tsql.size() && (IsIdentChar(tsql[end]) || tsql[end] == '.')) ++end;
      out.append(tsql.substr(i, end - i));
      i = end;
      prev = Prev::kOther;
    } else {
      out += c;
      if (c == '.') {
        prev = Prev::kDot;
      } else if (!std::isspace(static_cast<unsigned char>(c))) {
        prev = Prev::kOther;
      }
      ++i;
    }
  }
  return out;
}

}  // namespace qts::host::schema
