#include "host/schema/schema.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "core/currency.h"
#include "core/error.h"
#include "core/text.h"
#include "db/connection.h"
#include "host/schema/schema_text.h"

namespace qts::host::schema {

ColumnDef ColumnDef::NotNull() const {
  ColumnDef c = *this;
  c.nullable = false;
  return c;
}

ColumnDef ColumnDef::Default(std::string literal) const {
  ColumnDef c = *this;
  c.default_value = std::move(literal);
  return c;
}

const ColumnDef* SourceDef::FindColumn(std::string_view column) const {
  for (const ColumnDef& c : columns) {
    if (EqualsIgnoreCase(c.name, column)) return &c;
  }
  return nullptr;
}

const SourceDef* FindSourceDef(std::string_view logical_name) {
  static const std::unordered_map<std::string, const SourceDef*> by_name = [] {
    std::unordered_map<std::string, const SourceDef*> map;
    for (const SourceDef& s : Sources()) map.emplace(AsciiLower(s.name), &s);
    return map;
  }();
  auto it = by_name.find(AsciiLower(logical_name));
  return it == by_name.end() ? nullptr : it->second;
}

void CheckBookCode(std::string_view code) {
  const bool ok =
      !code.empty() && code.size() <= 16 && std::all_of(code.begin(), code.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
      });
  if (!ok) {
    throw Error(kErrInvalidCall, "BookSchema",
                "invalid book code '" + std::string(code) +
                    "': use 1 to 16 letters, digits or underscores");
  }
}

std::optional<std::string> BookCodeOf(std::string_view physical_name,
                                      std::string_view logical_name) {
  const size_t suffix = logical_name.size() + 1;
  if (physical_name.size() <= suffix) return std::nullopt;
  const std::string_view tail = physical_name.substr(physical_name.size() - suffix);
  if (tail[0] != '$' || !EqualsIgnoreCase(tail.substr(1), logical_name)) return std::nullopt;
  return std::string(physical_name.substr(0, physical_name.size() - suffix));
}

Dialect DialectOf(const db::Connection& connection) {
  return connection.Dialect() == "postgres" ? Dialect::kPostgres : Dialect::kSqlite;
}

std::string BackendSql(std::string_view tsql, std::string_view code,
                       const db::Connection& connection) {
  return sql::TranslateCommand(tsql, BookCatalogue(std::string(code)), DialectOf(connection));
}

std::string PhysicalName(std::string_view code, std::string_view logical_name) {
  CheckBookCode(code);
  const SourceDef* def = FindSourceDef(logical_name);
  return std::string(code) + "$" + (def ? def->name : std::string(logical_name));
}

// --- BookCatalogue ---

BookCatalogue::BookCatalogue(std::string code) : code_(std::move(code)) {
  CheckBookCode(code_);
  const std::vector<SourceDef>& sources = Sources();
  infos_.reserve(sources.size());
  defs_.reserve(sources.size());
  for (const SourceDef& s : sources) {
    sql::SourceInfo info;
    info.name = s.name;
    for (const ColumnDef& c : s.columns) info.columns.push_back({c.name, c.type, c.length});
    by_lower_name_.emplace(AsciiLower(s.name), infos_.size());
    infos_.push_back(std::move(info));
    defs_.push_back(&s);
  }
}

const sql::SourceInfo* BookCatalogue::FindSource(std::string_view logical_name) const {
  auto it = by_lower_name_.find(AsciiLower(logical_name));
  if (it == by_lower_name_.end() || defs_[it->second]->kind == SourceKind::kParameterised) {
    return nullptr;
  }
  return &infos_[it->second];
}

const SourceDef* BookCatalogue::FindDefinition(std::string_view logical_name) const {
  auto it = by_lower_name_.find(AsciiLower(logical_name));
  return it == by_lower_name_.end() ? nullptr : defs_[it->second];
}

std::string BookCatalogue::PhysicalName(std::string_view logical_name) const {
  return schema::PhysicalName(code_, logical_name);
}

// --- DDL ---

namespace {

std::string TypeName(const ColumnDef& c, Dialect dialect) {
  const bool pg = dialect == Dialect::kPostgres;
  switch (c.type) {
    case sql::SqlType::kInteger:
      return "INTEGER";
    case sql::SqlType::kNumber:
      // SQLite keeps money and quantities in whole ten-thousandths (db/sqlite/money_functions.h).
      return pg ? "NUMERIC(19,4)" : "INTEGER";
    case sql::SqlType::kFloat:
      return pg ? "DOUBLE PRECISION" : "REAL";
    case sql::SqlType::kText:
      return pg && c.length > 0 ? "VARCHAR(" + std::to_string(c.length) + ")" : "TEXT";
    case sql::SqlType::kDate:
      return pg ? "DATE" : "TEXT";
    case sql::SqlType::kBoolean:
      return pg ? "SMALLINT" : "INTEGER";  // flags compare with 0 and 1 on both
    case sql::SqlType::kUnknown:
      break;
  }
  throw Error(kErrInvalidCall, "BookSchema", "column " + c.name + " has no type");
}

std::string QuotedList(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += ", ";
    out += QuoteIdentifier(n);
  }
  return out;
}

// A column's default as the backend stores it: money on SQLite in ten-thousandths.
std::string DefaultLiteral(const ColumnDef& c, Dialect dialect) {
  if (dialect != Dialect::kSqlite || c.type != sql::SqlType::kNumber) return c.default_value;
  const std::optional<Currency> value = Currency::Parse(c.default_value);
  if (!value) {
    throw Error(kErrInvalidCall, "BookSchema",
                "the default of money column " + c.name + " is no number: " + c.default_value);
  }
  return std::to_string(value->Scaled());
}

std::string ColumnLine(const SourceDef& table, const ColumnDef& c, Dialect dialect) {
  std::string line = QuoteIdentifier(c.name) + " ";
  const bool is_identity = table.identity && &c == &table.columns.front();
  if (is_identity) {
    return line + (dialect == Dialect::kPostgres
                       ? "INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"
                       : "INTEGER PRIMARY KEY AUTOINCREMENT");
  }
  line += TypeName(c, dialect);
  if (!c.nullable) line += " NOT NULL";
  if (!c.default_value.empty()) line += " DEFAULT " + DefaultLiteral(c, dialect);
  // SQLite keeps dates as ISO text and money as integers; anything else stored there is a
  // writer's mistake (a money value bound as a real number).
  if (dialect == Dialect::kSqlite && c.type == sql::SqlType::kDate) {
    line += " CHECK (" + QuoteIdentifier(c.name) +
            " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]*')";
  }
  if (dialect == Dialect::kSqlite && c.type == sql::SqlType::kNumber) {
    line += " CHECK (typeof(" + QuoteIdentifier(c.name) + ") IN ('integer', 'null'))";
  }
  return line;
}

// `physical`: the table's name in the database when it is not its own (a table rebuilt under a
// new name and renamed afterwards).
std::string CreateTable(std::string_view code, const SourceDef& table, Dialect dialect,
                        std::string_view physical = {}) {
  std::vector<std::string> parts;
  for (const ColumnDef& c : table.columns) parts.push_back(ColumnLine(table, c, dialect));
  if (!table.identity) parts.push_back("PRIMARY KEY (" + QuotedList(table.primary_key) + ")");
  for (const IndexDef& index : table.indexes) {
    if (index.unique) parts.push_back("UNIQUE (" + QuotedList(index.columns) + ")");
  }
  for (const ForeignKeyDef& fk : table.foreign_keys) {
    std::string line = "FOREIGN KEY (" + QuotedList(fk.columns) + ") REFERENCES " +
                       QuoteIdentifier(PhysicalName(code, fk.table)) + " (" +
                       QuotedList(fk.ref_columns) + ")";
    if (fk.cascade) line += " ON DELETE CASCADE";
    line += " ON UPDATE CASCADE";
    parts.push_back(std::move(line));
  }
  std::string sql =
      "CREATE TABLE " +
      QuoteIdentifier(physical.empty() ? PhysicalName(code, table.name) : std::string(physical)) +
      " (\n";
  for (size_t i = 0; i < parts.size(); ++i) {
    sql += "  " + parts[i] + (i + 1 < parts.size() ? ",\n" : "\n");
  }
  return sql + ")";
}

// The name of the index of `columns` on `table` of book `code`, quoted.
std::string IndexName(std::string_view code, std::string_view table,
                      const std::vector<std::string>& columns) {
  std::string suffix;
  for (const std::string& c : columns) suffix += (suffix.empty() ? "" : "_") + c;
  return QuoteIdentifier(PhysicalName(code, table) + "$" + suffix);
}

std::string CreateIndex(std::string_view code, const SourceDef& table, const IndexDef& index) {
  return "CREATE INDEX " + IndexName(code, table.name, index.columns) + " ON " +
         QuoteIdentifier(PhysicalName(code, table.name)) + " (" + QuotedList(index.columns) + ")";
}

std::string TextLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The views of book `code` as CreateStatements makes them.
std::vector<std::string> CreateViews(std::string_view code, Dialect dialect) {
  const BookCatalogue catalogue{std::string(code)};
  std::vector<std::string> out;
  for (const SourceDef& s : Sources()) {
    if (s.kind != SourceKind::kView) continue;
    out.push_back("CREATE VIEW " + QuoteIdentifier(PhysicalName(code, s.name)) + " AS " +
                  sql::Translate(s.sql, catalogue, dialect));
  }
  return out;
}

// The views taken out, the last made first.
std::vector<std::string> DropViews(std::string_view code) {
  std::vector<std::string> out;
  const std::vector<SourceDef>& sources = Sources();
  for (auto s = sources.rbegin(); s != sources.rend(); ++s) {
    if (s->kind == SourceKind::kView) {
      out.push_back("DROP VIEW IF EXISTS " + QuoteIdentifier(PhysicalName(code, s->name)));
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> CreateStatements(std::string_view code, Dialect dialect) {
  CheckBookCode(code);
  std::vector<std::string> out;
  for (const SourceDef& s : Sources()) {
    if (s.kind != SourceKind::kTable) continue;
    out.push_back(CreateTable(code, s, dialect));
    for (const IndexDef& index : s.indexes) {
      if (!index.unique) out.push_back(CreateIndex(code, s, index));
    }
  }
  // Views do arithmetic on money: they are written through the translator, as every query.
  for (std::string& view : CreateViews(code, dialect)) out.push_back(std::move(view));
  return out;
}

namespace {

// The tables later versions added, each with the version that added it: version 3 the kept
// stock facts, version 4 the kept stock rests, version 5 the kept receipt totals of the fixed
// rest. A book of an older version has none of them.
struct AddedTable {
  std::string_view name;
  int version;
};
constexpr AddedTable kAddedTables[] = {
    {"THGoodSpecFixed", 3}, {"STStoreGoodRest", 4}, {"THGoodFixTotal", 5}};
bool IsAddedAfterVersion2(const SourceDef& table) {
  return std::any_of(
      std::begin(kAddedTables), std::end(kAddedTables),
      [&](const AddedTable& added) { return EqualsIgnoreCase(table.name, added.name); });
}
// Makes the tables version `version` added, with their indexes, as CreateStatements does.
void AddTablesOf(std::string_view code, int version, Dialect dialect,
                 std::vector<std::string>& out) {
  for (const AddedTable& added : kAddedTables) {
    if (added.version != version) continue;
    const SourceDef& table = *FindSourceDef(added.name);
    out.push_back(CreateTable(code, table, dialect));
    for (const IndexDef& index : table.indexes) {
      if (!index.unique) out.push_back(CreateIndex(code, table, index));
    }
  }
}
// The indexes later versions added to tables older versions had: version 3 the documents by
// date, version 6 the goods' units by good and accounting flag (with the unit, so the accounting
// unit of a good is read from the index alone).
struct AddedIndex {
  std::string_view table;
  std::vector<std::string> columns;
  int version;
};
const std::vector<AddedIndex>& AddedIndexes() {
  static const std::vector<AddedIndex> added = {
      {"THDocument", {"DocumentDate"}, 3},
      {"REFGoodUnit", {"GoodCode", "IsAccount", "UnitCode"}, 6},
      {"THGoodSpec", {"LotPropertyID", "DocID"}, 7}};
  return added;
}
// The version that added `index` of `table`, or 0 for one every version had.
int IndexAddedInVersion(const SourceDef& table, const IndexDef& index) {
  for (const AddedIndex& added : AddedIndexes()) {
    if (EqualsIgnoreCase(table.name, added.table) && index.columns == added.columns) {
      return added.version;
    }
  }
  return 0;
}
// Makes the indexes version `version` added to tables older versions had.
void AddIndexesOf(std::string_view code, int version, std::vector<std::string>& out) {
  for (const SourceDef& s : Sources()) {
    if (s.kind != SourceKind::kTable) continue;
    for (const IndexDef& index : s.indexes) {
      if (IndexAddedInVersion(s, index) == version) out.push_back(CreateIndex(code, s, index));
    }
  }
}

// Version 1 kept money and quantities as REAL on SQLite: every table with such a column is
// made again as version 2 writes it and its rows copied in, each amount read as the decimal
// its REAL stands for and rounded half away from zero to four places (qts_cy). SQLite changes
// no column's type in place; this is its documented way: the new table under another name,
// the rows, the old table dropped (foreign keys off, so no ON DELETE runs), the new one
// renamed, its indexes made. Autonumbering goes on from where the old table's stopped.
void RebuildMoneyTables(std::string_view code, std::vector<std::string>& out) {
  for (const SourceDef& s : Sources()) {
    if (s.kind != SourceKind::kTable || IsAddedAfterVersion2(s)) continue;
    const bool money = std::any_of(s.columns.begin(), s.columns.end(), [](const ColumnDef& c) {
      return c.type == sql::SqlType::kNumber;
    });
    if (!money) continue;
    const std::string physical = PhysicalName(code, s.name);
    const std::string rebuilt = physical + "$v2";
    out.push_back(CreateTable(code, s, Dialect::kSqlite, rebuilt));
    std::string columns;
    std::string values;
    for (const ColumnDef& c : s.columns) {
      const std::string name = QuoteIdentifier(c.name);
      columns += (columns.empty() ? "" : ", ") + name;
      values += (values.empty() ? "" : ", ") +
                (c.type == sql::SqlType::kNumber ? "qts_cy(CAST(" + name + " AS REAL))" : name);
    }
    out.push_back("INSERT INTO " + QuoteIdentifier(rebuilt) + " (" + columns + ") SELECT " +
                  values + " FROM " + QuoteIdentifier(physical));
    if (s.identity) {
      out.push_back(
          "UPDATE sqlite_sequence SET seq = (SELECT seq FROM sqlite_sequence WHERE name = " +
          TextLiteral(physical) + ") WHERE name = " + TextLiteral(rebuilt) +
          " AND EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = " + TextLiteral(physical) + ")");
    }
    out.push_back("DROP TABLE " + QuoteIdentifier(physical));
    out.push_back("ALTER TABLE " + QuoteIdentifier(rebuilt) + " RENAME TO " +
                  QuoteIdentifier(physical));
    for (const IndexDef& index : s.indexes) {
      if (!index.unique && IndexAddedInVersion(s, index) == 0) {
        out.push_back(CreateIndex(code, s, index));
      }
    }
  }
}

}  // namespace

SchemaUpgrade UpgradeStatements(std::string_view code, int from, Dialect dialect) {
  CheckBookCode(code);
  if (from < kOldestUpgradableVersion || from >= kSchemaVersion) {
    throw Error(kErrInvalidCall, "BookSchema",
                "no upgrade of the stored form from version " + std::to_string(from));
  }
  SchemaUpgrade upgrade;
  upgrade.statements = DropViews(code);
  const bool sqlite = dialect == Dialect::kSqlite;
  // The write-ahead log moved into the file, so the file alone holds the whole book when it
  // is copied before the upgrade.
  if (sqlite) upgrade.before.push_back("PRAGMA wal_checkpoint(TRUNCATE)");
  if (from <= 1) {
    if (sqlite) {
      upgrade.before.push_back("PRAGMA foreign_keys = OFF");
      RebuildMoneyTables(code, upgrade.statements);
      upgrade.foreign_key_check = "PRAGMA foreign_key_check";
      upgrade.after.push_back("PRAGMA foreign_keys = ON");
      upgrade.steps.push_back(
          "version 1 to 2: money and quantities kept in whole ten-thousandths (each table with "
          "amounts made again, its rows copied)");
    } else {
      upgrade.steps.push_back(
          "version 1 to 2: the views made again (money was NUMERIC(19,4) on the server already)");
    }
  }
  if (from <= 2) {
    AddTablesOf(code, 3, dialect, upgrade.statements);
    AddIndexesOf(code, 3, upgrade.statements);
    upgrade.steps.push_back(
        "version 2 to 3: the kept stock facts (THGoodSpecFixed) made and computed from the "
        "links, the documents indexed by date");
  }
  if (from <= 3) {
    AddTablesOf(code, 4, dialect, upgrade.statements);
    upgrade.steps.push_back(
        "version 3 to 4: the kept stock rests (STStoreGoodRest) made and computed from the "
        "posted rows");
  }
  if (from <= 4) {
    AddTablesOf(code, 5, dialect, upgrade.statements);
    upgrade.steps.push_back(
        "version 4 to 5: the kept receipt totals of the fixed rest (THGoodFixTotal) made and "
        "computed from the posted rows");
  }
  if (from <= 5) {
    // Every step makes the views again; this one also adds an index.
    AddIndexesOf(code, 6, upgrade.statements);
    upgrade.steps.push_back(
        "version 5 to 6: the view of the not-fixed receipt rows (THGoodSpecNotFixed) made again "
        "to read them through their documents, the goods' accounting units indexed");
  }
  if (from <= 6) {
    // The rows' lot index gains their document: the one it replaces led a plan without
    // statistics to read every row of lot 0 (nearly all rows) once per document.
    upgrade.statements.push_back("DROP INDEX IF EXISTS " +
                                 IndexName(code, "THGoodSpec", {"LotPropertyID"}));
    AddIndexesOf(code, 7, upgrade.statements);
    upgrade.steps.push_back(
        "version 6 to 7: the rows' lot index (THGoodSpec) extended by their document, so rows of "
        "a lot in some documents are found through those documents");
  }
  for (std::string& view : CreateViews(code, dialect)) {
    upgrade.statements.push_back(std::move(view));
  }
  return upgrade;
}

std::vector<std::string> DropStatements(std::string_view code, Dialect dialect) {
  CheckBookCode(code);
  const std::string cascade = dialect == Dialect::kPostgres ? " CASCADE" : "";
  std::vector<std::string> out = DropViews(code);
  const std::vector<SourceDef>& sources = Sources();
  for (auto s = sources.rbegin(); s != sources.rend(); ++s) {
    if (s->kind == SourceKind::kTable) {
      out.push_back("DROP TABLE IF EXISTS " + QuoteIdentifier(PhysicalName(code, s->name)) +
                    cascade);
    }
  }
  return out;
}

std::vector<std::string> IdentityResetStatements(std::string_view code, Dialect dialect) {
  std::vector<std::string> out;
  if (dialect != Dialect::kPostgres) return out;
  for (const SourceDef& s : Sources()) {
    if (s.kind != SourceKind::kTable || !s.identity) continue;
    const std::string table = QuoteIdentifier(PhysicalName(code, s.name));
    const std::string key = QuoteIdentifier(s.columns.front().name);
    out.push_back("SELECT setval(pg_get_serial_sequence(" + TextLiteral(table) + ", " +
                  TextLiteral(s.columns.front().name) + "), COALESCE(MAX(" + key +
                  "), 0) + 1, false) FROM " + table);
  }
  return out;
}

std::vector<std::string> StatisticsStatements(std::string_view code, Dialect dialect) {
  if (dialect != Dialect::kPostgres) return {};
  std::string tables;
  for (const SourceDef& s : Sources()) {
    if (s.kind != SourceKind::kTable) continue;
    tables += (tables.empty() ? "" : ", ") + QuoteIdentifier(PhysicalName(code, s.name));
  }
  return {"ANALYZE " + tables};
}

std::vector<SettingRow> InitialSettings(std::string_view code) {
  CheckBookCode(code);
  return {
      {"Code", "text", std::string(code)},
      {"AccountCurrency", "text", "EUR"},
      {"SDProc", "number", "0"},
      {"VSDProc", "number", "0"},
      {"TransportAlgoritm", "integer", "1"},
      {"IsMakeFixDoc", "integer", "0"},
      {"EnterpriseName", "text", ""},
      {"PlantCode", "text", ""},
      {"VatCode", "text", ""},
      {"DirectorCode", "text", ""},
      {"Address", "text", ""},
      {"Phone", "text", ""},
      {"Fax", "text", ""},
      {"Email", "text", ""},
      {"SchemaVersion", "integer", std::to_string(kSchemaVersion)},
  };
}

std::vector<std::string> InitialDataStatements(std::string_view code, Dialect /*dialect*/) {
  // The statements are the same on both backends.
  std::vector<std::string> out;
  const std::string settings = QuoteIdentifier(PhysicalName(code, "Settings"));
  for (const SettingRow& row : InitialSettings(code)) {
    out.push_back("INSERT INTO " + settings + " (\"Name\", \"Kind\", \"Value\") VALUES (" +
                  TextLiteral(row.name) + ", " + TextLiteral(row.kind) + ", " +
                  TextLiteral(row.value) + ")");
  }
  const std::string types = QuoteIdentifier(PhysicalName(code, "THDocType"));
  for (const DocTypeDef& t : DocumentTypes()) {
    out.push_back("INSERT INTO " + types +
                  " (\"Code\", \"Name\", \"IsIncome\", \"IsOrderDirect\", \"Category\", "
                  "\"IsStock\") VALUES (" +
                  TextLiteral(t.code) + ", " + TextLiteral(t.name) + ", " +
                  std::to_string(t.is_income) + ", " + std::to_string(t.is_order_direct) + ", " +
                  std::to_string(t.category) + ", " + std::to_string(t.is_stock) + ")");
  }
  // Auto-numbered on a fresh table: IDC 1 and 2, on both backends.
  const std::string dates = QuoteIdentifier(PhysicalName(code, "REFDates"));
  for (int i = 0; i < 2; ++i) {
    out.push_back("INSERT INTO " + dates + " (\"DayDate\") VALUES (NULL)");
  }
  return out;
}

}  // namespace qts::host::schema
