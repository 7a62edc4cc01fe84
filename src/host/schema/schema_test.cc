#include "host/schema/schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "db/db_error.h"
#include "host/schema/testing/sqlite_book.h"
#include "sql/sql_error.h"
#include "sql/translator.h"

namespace qts::host::schema {
namespace {

using sql::SqlType;
using sqlite_book::CreateBook;
using sqlite_book::Db;

using sqlite_book::Number;
using sqlite_book::OpenMemory;
using sqlite_book::Rows;

// --- The catalogue the translator reads ---

constexpr SqlType T = SqlType::kText;
constexpr SqlType D = SqlType::kDate;

// The translator sees every source and column of the definition, with the definition's type,
// whatever the case the caller writes.
TEST(BookCatalogueTest, TheTranslatorsViewAgreesWithTheDefinition) {
  const BookCatalogue catalogue("ACME");
  for (const SourceDef& def : Sources()) {
    SCOPED_TRACE(def.name);
    const sql::SourceInfo* info = catalogue.FindSource(def.name);
    if (def.kind == SourceKind::kParameterised) {
      EXPECT_EQ(info, nullptr);
      continue;
    }
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->columns.size(), def.columns.size());
    for (const ColumnDef& column : def.columns) {
      const sql::ColumnInfo* seen = info->FindColumn(column.name);
      ASSERT_NE(seen, nullptr) << column.name;
      EXPECT_EQ(seen->name, column.name);
      EXPECT_EQ(seen->type, column.type) << column.name;
    }
  }
}

TEST(BookCatalogueTest, ParameterisedSourcesTakeTheirParameters) {
  const struct {
    const char* source;
    const char* parameter;
    SqlType type;
  } cases[] = {{"THDocGoodFixRest", "DateRest", D},
               {"THGoodSpecFreeRest", "DateRest", D},
               {"STStoreRest", "DateRest", D},
               {"REFGoodT", "Node", T}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const SourceDef* def = FindSourceDef(c.source);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->kind, SourceKind::kParameterised);
    ASSERT_EQ(def->parameters.size(), 1u);
    EXPECT_EQ(def->parameters[0].name, c.parameter);
    EXPECT_EQ(def->parameters[0].type, c.type);
  }
}

TEST(BookCatalogueTest, LookupsIgnoreCaseAndGiveCanonicalNames) {
  const BookCatalogue catalogue("Shop_2");
  const sql::SourceInfo* spec = catalogue.FindSource("thgoodspec");
  ASSERT_NE(spec, nullptr);
  EXPECT_EQ(spec->name, "THGoodSpec");
  EXPECT_EQ(catalogue.FindSource("THGOODSPEC"), spec);
  EXPECT_EQ(catalogue.PhysicalName("thGoodSpecFixLog"), "Shop_2$THGoodSpecFixLog");
  EXPECT_EQ(catalogue.PhysicalName("refgoodunit"), "Shop_2$REFGoodUnit");
  EXPECT_EQ(catalogue.FindDefinition("thgoodspec")->FindColumn("amountaccount")->name,
            "AmountAccount");
  const sql::ColumnInfo* column = spec->FindColumn("LOTPROPERTYID");
  ASSERT_NE(column, nullptr);
  EXPECT_EQ(column->name, "LotPropertyID");
  EXPECT_EQ(column->type, SqlType::kInteger);
  EXPECT_EQ(PhysicalName("Shop_2", "mmothgoodspec"), "Shop_2$MMOTHGoodSpec");
}

TEST(BookCatalogueTest, UnknownNamesGiveNull) {
  const BookCatalogue catalogue("ACME");
  EXPECT_EQ(catalogue.FindSource("NoSuchTable"), nullptr);
  EXPECT_EQ(catalogue.FindSource(""), nullptr);
  EXPECT_EQ(catalogue.FindSource("ACME$THGoodSpec"), nullptr);  // logical names only
  EXPECT_EQ(catalogue.FindDefinition("XYZTHDocument"), nullptr);
  EXPECT_EQ(catalogue.PhysicalName("NoSuchTable"), "ACME$NoSuchTable");
  EXPECT_EQ(catalogue.FindSource("THGoodSpec")->FindColumn("NoSuchColumn"), nullptr);
  EXPECT_EQ(catalogue.FindDefinition("THGoodSpec")->FindColumn("NoSuchColumn"), nullptr);
  EXPECT_EQ(catalogue.FindDefinition("THGoodSpec")->FindColumn("AmountAccoun"), nullptr);
}

TEST(BookCatalogueTest, ParameterisedSourcesCannotBeNamedInAStatement) {
  const BookCatalogue catalogue("C1");
  for (const char* name : {"REFGoodT", "stStoreRest", "THGoodSpecFreeRest", "THDocGoodFixRest"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(catalogue.FindSource(name), nullptr);
    ASSERT_NE(catalogue.FindDefinition(name), nullptr);
    for (Dialect dialect : {Dialect::kSqlite, Dialect::kPostgres}) {
      try {
        (void)sql::Translate(std::string("SELECT 1 FROM ") + name, catalogue, dialect);
        ADD_FAILURE() << "translated a statement naming a parameterised source";
      } catch (const sql::SqlError& e) {
        EXPECT_EQ(e.Construct(), name);
        EXPECT_EQ(e.Column(), 15);
      }
    }
  }
  // Views are objects of the database and may be named.
  EXPECT_NE(catalogue.FindSource("THGoodSpecNotFixed"), nullptr);
}

TEST(BookCatalogueTest, BadBookCodesAreRefused) {
  for (const std::string code : {"", "A$B", "with space", "quote\"", "ABCDEFGHIJKLMNOPQ"}) {
    SCOPED_TRACE(code);
    EXPECT_QTS_ERROR(BookCatalogue(code), kErrInvalidCall);
    EXPECT_QTS_ERROR(CreateStatements(code, Dialect::kSqlite), kErrInvalidCall);
  }
  EXPECT_NO_THROW(BookCatalogue c("ABCDEFGHIJKLMNOP"));  // 16 is fine
}

// --- The definition's own consistency ---

TEST(SchemaDefinitionTest, EachColumnNameHasOneSpellingAcrossTheSchema) {
  // Quoted identifiers are case-sensitive on PostgreSQL, so a name must be spelled the same
  // wherever it appears.
  std::map<std::string, std::string> spelling;
  for (const SourceDef& s : Sources()) {
    for (const ColumnDef& c : s.columns) {
      std::string lower = c.name;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      auto [it, inserted] = spelling.emplace(lower, c.name);
      EXPECT_EQ(it->second, c.name) << "in " << s.name;
    }
  }
}

TEST(SchemaDefinitionTest, KeysIndexesAndForeignKeysNameRealColumns) {
  std::set<std::string> seen_tables;
  for (const SourceDef& s : Sources()) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(FindSourceDef(s.name), &s) << "duplicate name";
    if (s.kind != SourceKind::kTable) {
      EXPECT_FALSE(s.sql.empty());
      continue;
    }
    EXPECT_FALSE(s.primary_key.empty());
    for (const std::string& c : s.primary_key) EXPECT_NE(s.FindColumn(c), nullptr) << c;
    for (const IndexDef& index : s.indexes) {
      for (const std::string& c : index.columns) EXPECT_NE(s.FindColumn(c), nullptr) << c;
    }
    for (const ForeignKeyDef& fk : s.foreign_keys) {
      // Created before the tables that refer to it (PostgreSQL needs that order).
      EXPECT_TRUE(seen_tables.count(fk.table)) << fk.table;
      const SourceDef* target = FindSourceDef(fk.table);
      ASSERT_NE(target, nullptr);
      ASSERT_EQ(fk.columns.size(), fk.ref_columns.size());
      for (size_t i = 0; i < fk.columns.size(); ++i) {
        const ColumnDef* from = s.FindColumn(fk.columns[i]);
        const ColumnDef* to = target->FindColumn(fk.ref_columns[i]);
        ASSERT_NE(from, nullptr);
        ASSERT_NE(to, nullptr);
        EXPECT_EQ(from->type, to->type) << fk.columns[i];
      }
    }
    seen_tables.insert(s.name);
  }
}

TEST(SchemaDefinitionTest, EveryDocumentTypeHasItsTwoAdditionalFieldTables) {
  for (const DocTypeDef& type : DocumentTypes()) {
    SCOPED_TRACE(type.code);
    const SourceDef* head = FindSourceDef(type.code + "THDocument");
    const SourceDef* rows = FindSourceDef(type.code + "THGoodSpec");
    ASSERT_NE(head, nullptr);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(head->primary_key, std::vector<std::string>{"DocID"});
    EXPECT_EQ(rows->primary_key, (std::vector<std::string>{"DocID", "PosNumb"}));
    EXPECT_EQ(head->columns.size(), type.header_fields.size() + 1);
    EXPECT_EQ(rows->columns.size(), type.row_fields.size() + 2);
  }
}

TEST(SchemaDefinitionTest, InitialSettingsCarryTheBookCodeAndDefaults) {
  std::map<std::string, std::string> values;
  for (const SettingRow& row : InitialSettings("ACME")) values[row.name] = row.value;
  EXPECT_EQ(values["Code"], "ACME");
  EXPECT_EQ(values["AccountCurrency"], "EUR");
  EXPECT_EQ(values["SchemaVersion"], std::to_string(kSchemaVersion));
  for (const char* name : {"SDProc", "VSDProc", "TransportAlgoritm", "IsMakeFixDoc"}) {
    EXPECT_TRUE(values.count(name)) << name;
  }
}

// --- DDL ---

TEST(CreateStatementsTest, TwoBooksLiveSideBySideInOneSqliteDatabase) {
  Db db = OpenMemory();
  CreateBook(*db, "ACME");
  CreateBook(*db, "beta");

  size_t tables = 0;
  size_t views = 0;
  for (const SourceDef& s : Sources()) {
    tables += s.kind == SourceKind::kTable;
    views += s.kind == SourceKind::kView;
  }
  EXPECT_EQ(Number(*db,
                   "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                   "name LIKE 'ACME$%'"),
            tables);
  EXPECT_EQ(Number(*db,
                   "SELECT COUNT(*) FROM sqlite_master WHERE type = 'view' AND "
                   "name LIKE 'beta$%'"),
            views);
  // Each book reads its own settings.
  EXPECT_EQ(Rows(*db, "SELECT Value FROM \"beta$Settings\" WHERE Name = 'Code'"),
            (std::vector<std::vector<std::string>>{{"beta"}}));
  EXPECT_EQ(Rows(*db, "SELECT Value FROM \"ACME$Settings\" WHERE Name = 'AccountCurrency'"),
            (std::vector<std::vector<std::string>>{{"EUR"}}));
  EXPECT_EQ(Number(*db, "SELECT COUNT(*) FROM \"ACME$THDocType\""), DocumentTypes().size());
  EXPECT_EQ(Rows(*db, "SELECT IDC FROM \"ACME$REFDates\" ORDER BY IDC"),
            (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
  // Creating the same book twice is an error, not a silent success.
  EXPECT_QTS_ERROR(db->Execute(CreateStatements("ACME", Dialect::kSqlite).front()),
                   db::kErrDatabase);
}

TEST(CreateStatementsTest, PostgresTablesUseServerTypes) {
  const std::vector<std::string> statements = CreateStatements("ACME", Dialect::kPostgres);
  auto find = [&](const std::string& prefix) -> std::string {
    for (const std::string& s : statements) {
      if (s.rfind(prefix, 0) == 0) return s;
    }
    return "";
  };
  EXPECT_EQ(find("CREATE TABLE \"ACME$REFUnit\""),
            "CREATE TABLE \"ACME$REFUnit\" (\n"
            "  \"IDC\" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,\n"
            "  \"Code\" VARCHAR(30) NOT NULL,\n"
            "  \"Name\" VARCHAR(100),\n"
            "  UNIQUE (\"Code\")\n"
            ")");
  EXPECT_EQ(find("CREATE TABLE \"ACME$THGoodSpecFixLog\""),
            "CREATE TABLE \"ACME$THGoodSpecFixLog\" (\n"
            "  \"IDC\" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,\n"
            "  \"GoodCode\" VARCHAR(30),\n"
            "  \"OutcomeSpecID\" INTEGER NOT NULL,\n"
            "  \"IncomeSpecID\" INTEGER NOT NULL,\n"
            "  \"Amount\" NUMERIC(19,4) DEFAULT 0,\n"
            "  \"Type\" INTEGER DEFAULT 0,\n"
            "  FOREIGN KEY (\"OutcomeSpecID\") REFERENCES \"ACME$THGoodSpec\" (\"IDC\") ON DELETE "
            "CASCADE ON UPDATE CASCADE,\n"
            "  FOREIGN KEY (\"IncomeSpecID\") REFERENCES \"ACME$THGoodSpec\" (\"IDC\") ON DELETE "
            "CASCADE ON UPDATE CASCADE\n"
            ")");
  EXPECT_EQ(find("CREATE INDEX \"ACME$THGoodSpecFixLog$IncomeSpecID\""),
            "CREATE INDEX \"ACME$THGoodSpecFixLog$IncomeSpecID\" ON \"ACME$THGoodSpecFixLog\" "
            "(\"IncomeSpecID\")");
  const std::string doc = find("CREATE TABLE \"ACME$THDocument\"");
  EXPECT_NE(doc.find("\"DocumentDate\" DATE,"), std::string::npos) << doc;
  EXPECT_NE(doc.find("UNIQUE (\"DocTypeCode\", \"Number\")"), std::string::npos) << doc;
  EXPECT_EQ(doc.find("GLOB"), std::string::npos);  // the date check is SQLite's only
}

// --- SQL text of the sources ---

TEST(SourceSqlTest, ReplacesPlaceholdersWithLiteralsOnly) {
  const std::string sql = SourceSql("REFGoodT", {{"NODE", "'it''s'"}});
  EXPECT_EQ(sql.find('@'), std::string::npos);
  EXPECT_NE(sql.find("'it''s' IN (g.ParentCode"), std::string::npos) << sql;

  const struct {
    const char* what;
    std::string source;
    std::map<std::string, std::string> literals;
  } refused[] = {
      {"unknown source", "NoSuch", {}},
      {"a table", "THGoodSpec", {}},
      {"missing parameter", "THDocGoodFixRest", {}},
      {"unknown parameter", "REFGoodT", {{"Node", "'A'"}, {"Other", "1"}}},
      {"statement smuggled in", "REFGoodT", {{"Node", "'A'); DROP TABLE x; --"}}},
      {"two literals", "REFGoodT", {{"Node", "'A' OR 1=1"}}},
      {"unquoted text", "REFGoodT", {{"Node", "A"}}},
      {"open quote", "REFGoodT", {{"Node", "'A"}}},
      {"inner quote not doubled", "REFGoodT", {{"Node", "'A'B'"}}},
      {"empty", "THDocGoodFixRest", {{"DateRest", ""}}},
      {"number with junk", "THDocGoodFixRest", {{"DateRest", "1e5"}}},
  };
  for (const auto& r : refused) {
    EXPECT_QTS_ERROR(SourceSql(r.source, r.literals), kErrInvalidCall) << r.what;
  }
  for (const std::string ok : {"NULL", "null", "-12.5", "7", "''"}) {
    EXPECT_NO_THROW((void)SourceSql("REFGoodT", {{"Node", ok}})) << ok;
  }
}

TEST(SourceSqlTest, FreeAmountExprRefusesWhatIsNotALiteralOrAlias) {
  EXPECT_QTS_ERROR(FreeAmountExpr("GETDATE()", "gs"), kErrInvalidCall);
  EXPECT_QTS_ERROR(FreeAmountExpr("'2026-01-01'", "gs.x"), kErrInvalidCall);
  EXPECT_QTS_ERROR(FreeAmountExpr("'2026-01-01'", ""), kErrInvalidCall);
  const std::string expr = FreeAmountExpr("'2026-01-01'", "gs");
  EXPECT_EQ(expr.rfind("(gs.AmountAccount - ", 0), 0u) << expr;
  EXPECT_NE(expr.find("fxl.IncomeSpecID = gs.IDC"), std::string::npos) << expr;
}

TEST(PhysicalSqlTest, MapsTablesAfterFromAndJoinAndQuotesColumns) {
  EXPECT_EQ(PhysicalSql("C1",
                        "SELECT f.Code, s.fixcategory FROM FixCategory f "
                        "LEFT JOIN thgoodspec s ON s.FixCategory = f.Code "
                        "WHERE f.Name = 'FROM THGoodSpec' AND x.Unknown = 1"),
            "SELECT f.\"Code\", s.\"FixCategory\" FROM \"C1$FixCategory\" f "
            "LEFT JOIN \"C1$THGoodSpec\" s ON s.\"FixCategory\" = f.\"Code\" "
            "WHERE f.\"Name\" = 'FROM THGoodSpec' AND x.Unknown = 1");
  EXPECT_EQ(PhysicalSql("C1", "SELECT [amount] FROM [THGoodSpecFixLog]"),
            "SELECT \"Amount\" FROM \"C1$THGoodSpecFixLog\"");
  EXPECT_QTS_ERROR(PhysicalSql("C1", "SELECT 1 FROM REFGoodT"), kErrInvalidCall);
  EXPECT_QTS_ERROR(PhysicalSql("C1", "SELECT @DateRest"), kErrInvalidCall);
  EXPECT_QTS_ERROR(PhysicalSql("C1", "SELECT 'open"), kErrInvalidCall);
}

}  // namespace
}  // namespace qts::host::schema
