// The SQL text side of the schema: instantiating derived sources, the free-quantity
// expression, and the rewrite of the schema's own T-SQL to physical names.
#include <atomic>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/error.h"
#include "core/text.h"
#include "host/schema/schema.h"
#include "host/schema/schema_text.h"
#include "sql/fragment.h"
#include "sql/lexer.h"
#include "sql/sql_error.h"

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

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrInvalidCall, "BookSchema", std::move(description));
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

// The tokens of the schema's own T-SQL; a fault in it raises error 5.
std::vector<sql::Token> TokensOf(std::string_view tsql) {
  try {
    return sql::Tokenize(tsql);
  } catch (const sql::SqlError& e) {
    Fail(e.what());
  }
}

}  // namespace

namespace {

std::string SubstitutedSql(std::string_view logical_name,
                           const std::map<std::string, std::string>& literals, bool plain) {
  const SourceDef* def = FindSourceDef(logical_name);
  if (def == nullptr) Fail("unknown source '" + std::string(logical_name) + "'");
  if (def->kind == SourceKind::kTable) Fail(def->name + " is a table, not a derived source");

  std::unordered_map<std::string, std::string> by_name;  // lower-case parameter -> literal
  for (const auto& [name, literal] : literals) {
    bool known = false;
    for (const ParameterDef& p : def->parameters) known = known || EqualsIgnoreCase(p.name, name);
    if (!known) Fail(def->name + " has no parameter '" + name + "'");
    if (!sql::IsSingleLiteral(literal)) {
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

  const std::string& sql = plain && !def->plain_sql.empty() ? def->plain_sql : def->sql;
  std::string out;
  size_t copied = 0;
  for (const sql::Token& token : TokensOf(sql)) {
    if (token.kind != sql::TokenKind::kVariable || token.text[0] != '@') continue;
    auto it = by_name.find(AsciiLower(token.text.substr(1)));
    if (it == by_name.end()) Fail("unknown placeholder in " + def->name);
    out.append(sql, copied, token.offset - copied);
    out += it->second;
    copied = token.offset + token.text.size();
  }
  out.append(sql, copied);
  return out;
}

}  // namespace

namespace {
std::atomic<bool> plain_stock_sources{false};
}  // namespace

void UsePlainStockSources(bool plain) { plain_stock_sources = plain; }
bool PlainStockSources() { return plain_stock_sources; }

std::string SourceSql(std::string_view logical_name,
                      const std::map<std::string, std::string>& literals) {
  return SubstitutedSql(logical_name, literals, plain_stock_sources);
}

std::string PlainSourceSql(std::string_view logical_name,
                           const std::map<std::string, std::string>& literals) {
  return SubstitutedSql(logical_name, literals, true);
}

std::string FreeAmountExpr(std::string_view date_literal, std::string_view row_alias) {
  if (!sql::IsSingleLiteral(date_literal)) {
    Fail("not one SQL literal: " + std::string(date_literal));
  }
  if (!sql::IsPlainIdentifier(row_alias)) Fail("not an alias: " + std::string(row_alias));
  const std::string alias(row_alias);
  const std::string date(date_literal);
  const std::string dated_links =
      "COALESCE((SELECT SUM(fxl.Amount) FROM THGoodSpecFixLog fxl"
      " INNER JOIN THGoodSpec fxo ON fxo.IDC = fxl.OutcomeSpecID"
      " INNER JOIN THDocument fxd ON fxd.IDC = fxo.DocID"
      " WHERE fxl.IncomeSpecID = " +
      alias + ".IDC AND fxd.DocumentDate <= " + date + "), 0)";
  if (PlainStockSources()) return "(" + alias + ".AmountAccount - " + dated_links + ")";
  // A NULL date counts no link, which the kept consumption cannot tell.
  return "(" + alias + ".AmountAccount - CASE WHEN " + date + " IS NULL OR " +
         LaterDocumentsExist(date) + " THEN " + dated_links +
         " ELSE COALESCE((SELECT fxk.Amount FROM THGoodSpecFixed fxk WHERE fxk.SpecID = " + alias +
         ".IDC), 0) END)";
}

std::string LaterDocumentsExist(std::string_view date) {
  const std::string d(date);
  return "EXISTS (SELECT 1 FROM THDocument fxa WHERE fxa.DocumentDate > " + d +
         " OR fxa.DocumentDate IS NULL)";
}

std::string PhysicalSql(std::string_view code, std::string_view tsql) {
  CheckBookCode(code);
  bool after_from_or_join = false;
  std::string out;

  auto emit_name = [&](std::string_view name, bool was_quoted) {
    if (after_from_or_join) {
      after_from_or_join = false;
      if (const SourceDef* def = FindSourceDef(name)) {
        if (def->kind == SourceKind::kParameterised) {
          Fail(def->name + " has parameters: inline it instead of naming it");
        }
        out += QuoteIdentifier(PhysicalName(code, def->name));
        return;
      }
    }
    const auto& columns = ColumnNames();
    if (auto column = columns.find(AsciiLower(name)); column != columns.end()) {
      out += QuoteIdentifier(column->second);
    } else if (was_quoted) {
      out += QuoteIdentifier(name);
    } else {
      out += name;
    }
    after_from_or_join =
        !was_quoted && (EqualsIgnoreCase(name, "from") || EqualsIgnoreCase(name, "join"));
  };

  // Everything but names is copied as written, the text between tokens included.
  size_t copied = 0;
  for (const sql::Token& token : TokensOf(tsql)) {
    out.append(tsql.substr(copied, token.offset - copied));
    copied = token.offset + token.text.size();
    if (token.kind == sql::TokenKind::kWord) {
      emit_name(token.text, false);
    } else if (token.kind == sql::TokenKind::kQuotedIdentifier) {
      emit_name(token.value, true);
    } else if (token.kind == sql::TokenKind::kVariable && token.text[0] == '@') {
      Fail("placeholder left in SQL: " + std::string(tsql.substr(token.offset, 20)));
    } else {
      out.append(token.text);
      after_from_or_join = false;
    }
  }
  return out;
}

}  // namespace qts::host::schema
