// Test helper: seed rows written as people write them. Tests state their rows as
//   INSERT INTO "T$THGoodSpec"("IDC","Amount") VALUES (11, 12.5), (12, NULL)
// with money as decimals; Seed runs each row through a prepared INSERT, binding the values of
// the schema's money columns as Currency (the backend stores money its own way) and every other
// literal as it is. Any other statement runs unchanged.
#ifndef QTS_HOST_SCHEMA_TESTING_SEED_H_
#define QTS_HOST_SCHEMA_TESTING_SEED_H_

#include <cctype>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "db/connection.h"
#include "host/documents/stock_facts.h"
#include "host/schema/schema.h"

namespace qts::host::schema::testing {

using qts::host::StockFacts;

inline std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

namespace seed_detail {

inline void SkipBlanks(std::string_view sql, size_t& i) {
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
}

inline bool Keyword(std::string_view sql, size_t& i, std::string_view word) {
  SkipBlanks(sql, i);
  if (sql.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(sql[i + k])) != word[k]) return false;
  }
  i += word.size();
  return true;
}

// A name, quoted ("x") or plain.
inline std::string Name(std::string_view sql, size_t& i) {
  SkipBlanks(sql, i);
  std::string out;
  if (i < sql.size() && sql[i] == '"') {
    for (++i; i < sql.size() && sql[i] != '"'; ++i) out += sql[i];
    ++i;
    return out;
  }
  while (i < sql.size() &&
         (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' || sql[i] == '$')) {
    out += sql[i++];
  }
  return out;
}

struct Literal {
  enum class Kind { kNull, kNumber, kText } kind = Kind::kNull;
  std::string text;
};

inline Literal ReadLiteral(std::string_view sql, size_t& i) {
  SkipBlanks(sql, i);
  Literal literal;
  if (i < sql.size() && sql[i] == '\'') {
    literal.kind = Literal::Kind::kText;
    for (++i; i < sql.size(); ++i) {
      if (sql[i] == '\'') {
        if (i + 1 < sql.size() && sql[i + 1] == '\'') {
          literal.text += '\'';
          ++i;
          continue;
        }
        ++i;
        break;
      }
      literal.text += sql[i];
    }
    return literal;
  }
  if (Keyword(sql, i, "NULL")) return literal;
  literal.kind = Literal::Kind::kNumber;
  while (i < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[i])) || sql[i] == '.' ||
                            sql[i] == '-' || sql[i] == '+')) {
    literal.text += sql[i++];
  }
  if (literal.text.empty()) {
    throw std::invalid_argument("Seed: not a literal: " + std::string(sql.substr(i, 20)));
  }
  return literal;
}

}  // namespace seed_detail

namespace seed_detail {

// The codes of the books whose kept stock facts `sql` makes stale: it writes their fix log, rows
// or documents ("<code>$THGoodSpecFixLog", "<code>$THGoodSpec", "<code>$THDocument", any case,
// in an INSERT, UPDATE or DELETE; the DDL that makes the tables writes nothing).
inline std::vector<std::string> KeptFactBooks(std::string_view sql) {
  size_t i = 0;
  if (!Keyword(sql, i, "INSERT") && !Keyword(sql, i, "UPDATE") && !Keyword(sql, i, "DELETE")) {
    return {};
  }
  const auto identifier = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  };
  const std::string lower = ToLowerAscii(sql);
  std::vector<std::string> codes;
  for (size_t at = lower.find('$'); at != std::string::npos; at = lower.find('$', at + 1)) {
    size_t end = at + 1;
    while (end < lower.size() && identifier(lower[end])) ++end;
    const std::string table = lower.substr(at + 1, end - at - 1);
    if (table != "thgoodspecfixlog" && table != "thgoodspec" && table != "thdocument") continue;
    size_t begin = at;
    while (begin > 0 && identifier(sql[begin - 1])) --begin;
    if (begin < at) codes.emplace_back(sql.substr(begin, at - begin));
  }
  return codes;
}

}  // namespace seed_detail

inline void SeedRows(db::Connection& connection, std::string_view sql);

// Runs `sql` as SeedRows does; links, rows and documents written by hand get their kept stock
// facts afterwards, as the sample generator's do.
inline void Seed(db::Connection& connection, std::string_view sql) {
  SeedRows(connection, sql);
  for (const std::string& code : seed_detail::KeptFactBooks(sql)) {
    StockFacts(connection, code).Rebuild();
  }
}

inline void SeedRows(db::Connection& connection, std::string_view sql) {
  using seed_detail::Literal;
  size_t i = 0;
  if (!seed_detail::Keyword(sql, i, "INSERT") || !seed_detail::Keyword(sql, i, "INTO")) {
    connection.Execute(sql);
    return;
  }
  const std::string physical = seed_detail::Name(sql, i);
  const size_t dollar = physical.find('$');
  const SourceDef* table =
      FindSourceDef(dollar == std::string::npos ? physical : physical.substr(dollar + 1));
  std::vector<std::string> columns;
  seed_detail::SkipBlanks(sql, i);
  if (i < sql.size() && sql[i] == '(') {
    ++i;
    for (;;) {
      columns.push_back(seed_detail::Name(sql, i));
      seed_detail::SkipBlanks(sql, i);
      if (sql[i++] == ')') break;
    }
  } else if (table != nullptr) {
    for (const ColumnDef& c : table->columns) columns.push_back(c.name);
  }
  size_t values_at = i;
  if (table == nullptr || !seed_detail::Keyword(sql, values_at, "VALUES")) {
    connection.Execute(sql);
    return;
  }
  i = values_at;
  std::vector<bool> money;
  std::string names;
  std::string marks;
  for (size_t c = 0; c < columns.size(); ++c) {
    const ColumnDef* def = table->FindColumn(columns[c]);
    money.push_back(def != nullptr && def->type == sql::SqlType::kNumber);
    // Names are case-insensitive, as on the host's server: a column is written as the schema
    // spells it, which is how the server knows it quoted.
    names += (c ? ", \"" : "\"") + (def != nullptr ? def->name : columns[c]) + "\"";
    marks += (c ? ", ?" : "?") + std::to_string(c + 1);
  }
  db::StatementHandle insert =
      connection.Prepare("INSERT INTO \"" + physical + "\" (" + names + ") VALUES (" + marks + ")");
  for (;;) {
    seed_detail::SkipBlanks(sql, i);
    if (i >= sql.size() || sql[i] != '(') break;
    ++i;
    for (size_t c = 0; c < columns.size(); ++c) {
      const Literal literal = seed_detail::ReadLiteral(sql, i);
      seed_detail::SkipBlanks(sql, i);
      ++i;  // ',' or ')'
      const int index = static_cast<int>(c + 1);
      if (literal.kind == Literal::Kind::kNull) {
        insert->BindNull(index);
      } else if (literal.kind == Literal::Kind::kText) {
        insert->BindText(index, literal.text);
      } else if (money[c]) {
        insert->BindCurrency(index, *Currency::Parse(literal.text));
      } else if (literal.text.find('.') != std::string::npos) {
        insert->BindDouble(index, std::stod(literal.text));
      } else {
        insert->BindInt64(index, std::stoll(literal.text));
      }
    }
    insert->Run();
    insert->Reset();
    seed_detail::SkipBlanks(sql, i);
    if (i < sql.size() && sql[i] == ',') ++i;
  }
  // On the server, keys written by hand leave the table's numbering behind: it goes on after
  // them, as SQLite's does.
  if (connection.Dialect() == "postgres" && table->identity) {
    const std::string& key = table->columns.front().name;
    connection.Execute("SELECT setval(pg_get_serial_sequence('\"" + physical + "\"', '" + key +
                       "'), COALESCE(MAX(\"" + key + "\"), 0) + 1, false) FROM \"" + physical +
                       "\"");
  }
  // A script: the statements after this one.
  seed_detail::SkipBlanks(sql, i);
  if (i < sql.size() && sql[i] == ';') ++i;
  seed_detail::SkipBlanks(sql, i);
  if (i < sql.size()) SeedRows(connection, sql.substr(i));
}

// A cell of a plain SQL row as text, as tests compare stored values: "" for NULL; a column named
// as a money or quantity column of the schema as the number it holds, written as SQLite writes
// a real number ("4.5", "5.0"); anything else as the backend gives it.
inline std::string CellText(const db::Statement& s, int column) {
  if (s.IsNull(column)) return "";
  static const std::vector<std::string> money_names = [] {
    std::vector<std::string> names;
    for (const SourceDef& source : Sources()) {
      for (const ColumnDef& c : source.columns) {
        if (c.type == sql::SqlType::kNumber) names.push_back(ToLowerAscii(c.name));
      }
    }
    return names;
  }();
  const std::string name = ToLowerAscii(s.ColumnName(column));
  for (const std::string& money : money_names) {
    if (money != name) continue;
    std::string text = s.GetCurrency(column).ToString();
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
  }
  return s.GetText(column);
}

}  // namespace qts::host::schema::testing

#endif  // QTS_HOST_SCHEMA_TESTING_SEED_H_
