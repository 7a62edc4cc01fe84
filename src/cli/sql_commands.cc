// qts sql ...: the T-SQL translator and statements run on a book.
#include <fmt/format.h>

#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/currency.h"
#include "core/error.h"
#include "db/connection.h"
#include "db/trace.h"
#include "host/data/app_context.h"
#include "host/data/variant_json.h"
#include "host/schema/schema.h"
#include "sql/translator.h"

namespace qts::cli {
namespace {

std::string ReadStdin() {
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

sql::Dialect DialectOf(const std::string& name) {
  if (name == "postgres") return sql::Dialect::kPostgres;
  return sql::Dialect::kSqlite;
}

// The statement without a final ';'. A ';' anywhere else (outside literals, quoted names and
// comments) means a second statement, which is refused.
std::string SingleStatement(const std::string& text) {
  size_t end = text.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) throw Error(kErrInvalidCall, "qts sql", "no statement on input");
  std::string body = text.substr(0, end + 1);
  if (body.back() == ';') body.pop_back();
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '\'' || c == '"' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t j = body.find(close, i + 1);
      if (j == std::string::npos) break;  // the translator reports the unclosed literal
      i = j;
    } else if (body.compare(i, 2, "--") == 0) {
      size_t j = body.find('\n', i);
      if (j == std::string::npos) break;
      i = j;
    } else if (body.compare(i, 2, "/*") == 0) {
      size_t j = body.find("*/", i + 2);
      if (j == std::string::npos) break;
      i = j + 1;
    } else if (c == ';') {
      throw Error(kErrInvalidCall, "qts sql",
                  "only one statement may be run; a second one starts after ';'");
    }
  }
  return body;
}

std::string CsvField(const std::string& text) {
  bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
               (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// A cell as text: numbers of money and quantity columns with at most four decimals (as they
// are read into Currency), NULL as nothing.
std::string CellText(const db::Statement& s, int column, sql::SqlType type) {
  if (s.ColumnKind(column) == db::ValueKind::kNull) return "";
  if (type == sql::SqlType::kNumber) return s.GetCurrency(column).ToString();
  return s.GetText(column);
}

// A cell as the value host::ToJson writes: money and quantity columns as Currency, integers
// as Long (beyond Long as Currency, beyond Currency as Double), dates as the text the book
// keeps.
Variant CellValue(const db::Statement& s, int column, sql::SqlType type) {
  const db::ValueKind storage = s.ColumnKind(column);
  if (storage == db::ValueKind::kNull) return Variant::Null();
  if (type == sql::SqlType::kNumber) return Variant(s.GetCurrency(column));
  if (storage == db::ValueKind::kReal) return Variant(s.GetDouble(column));
  if (storage != db::ValueKind::kInteger) return Variant(s.GetText(column));
  constexpr int64_t kCurrencyMax = std::numeric_limits<int64_t>::max() / Currency::kScale;
  const int64_t v = s.GetInt64(column);
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
    return Variant(static_cast<int32_t>(v));
  }
  if (v >= -kCurrencyMax && v <= kCurrencyMax) return Variant(Currency::FromLong(v));
  return Variant(static_cast<double>(v));
}

}  // namespace

void AddSqlCommands(CLI::App& app) {
  auto* sql_cmd = app.add_subcommand("sql", "translate or run T-SQL statements");
  sql_cmd->require_subcommand(1);

  auto* translate = sql_cmd->add_subcommand(
      "translate", "translate the T-SQL statement on stdin into the backend's SQL");
  auto dialect = std::make_shared<std::string>("sqlite");
  auto translate_book = std::make_shared<std::string>();
  translate->add_option("--dialect", *dialect, "sqlite or postgres")
      ->check(CLI::IsMember({"sqlite", "postgres"}))
      ->capture_default_str();
  translate->add_option("--book", *translate_book,
                        "resolve names against this book (default: an empty book \"QTS\")");
  AddJsonFlag(*translate, "print JSON: the statement as written and as the backend runs it");
  translate->callback([=] {
    std::string text = ReadStdin();
    std::unique_ptr<host::schema::BookCatalogue> empty;
    std::shared_ptr<host::AppContext> book;
    const sql::Catalogue* catalogue = nullptr;
    if (translate_book->empty()) {
      empty = std::make_unique<host::schema::BookCatalogue>("QTS");
      catalogue = empty.get();
    } else {
      book = host::AppContext::Open(*translate_book);
      catalogue = &book->Catalogue();
    }
    const std::string translated = sql::Translate(text, *catalogue, DialectOf(*dialect));
    if (JsonOutput()) {
      return PrintJson({{"tsql", text}, {"dialect", *dialect}, {"sql", translated}});
    }
    std::cout << translated << "\n";
  });

  auto* run = sql_cmd->add_subcommand(
      "run", "run one T-SQL SELECT from stdin on a book and print its rows");
  auto run_book = std::make_shared<std::string>();
  auto format = std::make_shared<std::string>("csv");
  run->add_option("--book", *run_book, kBookHelp)->required();
  run->add_option("--format", *format, "csv (with a header line) or json")
      ->check(CLI::IsMember({"csv", "json"}))
      ->capture_default_str();
  AddJsonFlag(*run, "the same as --format json");
  run->callback([=] {
    std::string text = SingleStatement(ReadStdin());
    auto book = host::AppContext::Open(*run_book);
    sql::Translation t = sql::TranslateWithColumns(text, book->Catalogue(), book->Dialect());
    db::NoteTranslation(t.sql, text);
    db::StatementHandle s = book->Connection().Prepare(t.sql);
    const int count = s->ColumnCount();
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
      std::string name = i < static_cast<int>(t.columns.size()) ? t.columns[i].name : "";
      names.push_back(name.empty() ? s->ColumnName(i) : name);
    }
    auto type_of = [&](int i) {
      return i < static_cast<int>(t.columns.size()) ? t.columns[i].type : sql::SqlType::kUnknown;
    };
    if (*format == "json" || JsonOutput()) {
      nlohmann::ordered_json rows = nlohmann::ordered_json::array();
      while (s->Step()) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (int i = 0; i < count; ++i) row[names[i]] = host::ToJson(CellValue(*s, i, type_of(i)));
        rows.push_back(std::move(row));
      }
      std::cout << rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
      return;
    }
    for (int i = 0; i < count; ++i) std::cout << (i ? "," : "") << CsvField(names[i]);
    std::cout << "\n";
    while (s->Step()) {
      for (int i = 0; i < count; ++i) {
        std::cout << (i ? "," : "") << CsvField(CellText(*s, i, type_of(i)));
      }
      std::cout << "\n";
    }
  });
}

}  // namespace qts::cli
