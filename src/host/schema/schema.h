// The book's schema: every table, view and parameterised source that the host kit and the
// component read or write, defined once, and what is derived from that definition — the
// translator's catalogue of a book, the DDL that creates a book on SQLite or PostgreSQL, and
// the rows a new book starts with.
//
// Names. Every source has a logical name ("THGoodSpec"); in the database it lives under
// "<book Code>$<logical name>" ("ACME$THGoodSpec"), so several books share one database.
// Identifiers are case-insensitive: lookups here accept any case and return the canonical
// spelling. Book codes are 1 to 16 letters, digits or underscores.
//
// Kinds of source.
//   Tables      documents ("THDocument") and their rows ("THGoodSpec"); the additional fields
//               of each document type, one table for the header ("<type>THDocument", keyed by
//               DocID) and one for the rows ("<type>THGoodSpec", keyed by DocID + PosNumb,
//               following the row they belong to); references (goods and their units,
//               units, persons, clients, departments, stores, categories, packaging kinds and
//               types, document types, business operations, currencies and rates, dates,
//               vehicles, material lists, prices); stock (lots, lot properties, stock order
//               rows, posted lots); the fix log; content links; party attributes;
//               manufacturing charts with labour, equipment and fixed-asset objects; the
//               book's settings and per-user settings.
//   Views       derived sources without parameters ("THGoodSpecNotFixed",
//               "THGoodSpecPISF"); created in the database as views.
//   Parameterised sources ("THDocGoodFixRest" and "THGoodSpecFreeRest" with "DateRest",
//               "STStoreRest" with "DateRest", "REFGoodT" with "Node"); they exist only as
//               T-SQL text: the query builder inlines them as derived tables with each
//               parameter replaced by a literal (SourceSql).
//
// The stock model the derived sources implement:
//   - A document moves stock when it is posted (IsPosted = 1) and its type is a stock type
//     (THDocType.IsStock = 1); incoming types (IsIncome = 1) add their rows' accounting
//     quantity ("AmountAccount") to the document's store, outgoing types remove it.
//   - The fix log ("THGoodSpecFixLog") links each outgoing row (OutcomeSpecID) to the incoming
//     rows it consumed (IncomeSpecID), oldest first; Amount is in accounting units. A link is
//     dated by the document of its outgoing row.
//   - A receipt row's free quantity on a date is its accounting quantity minus the links to
//     it dated up to that date (FreeAmountExpr). Fixed rests are sums of free quantities and
//     of the matching share of the rows' cost; stock rests are sums of posted movements.
//   - What all links of a row take is kept ("THGoodSpecFixed", host/documents/stock_facts.h);
//     the sources that need it read it instead of summing the fix log, and PlainSourceSql
//     gives their statements over the links alone.
//
// Types. Identifiers, counters, kind codes and flags are integers (flags hold 0 or 1 and are
// compared with numbers, as the queries do); money and quantities are NUMERIC(19,4) on
// PostgreSQL and INTEGER ten-thousandths on SQLite (value x 10,000, a CHECK refusing anything
// but integers; see db/sqlite/money_functions.h); dates are DATE on PostgreSQL and ISO text
// ("2026-01-31") on SQLite, where a CHECK refuses anything else; text is VARCHAR(n) on PostgreSQL
// and TEXT on SQLite.
//
// Integrity the tables enforce (SQLite needs foreign keys switched on, as the backend does):
// a document's type must be in "THDocType"; (DocTypeCode, Number) is unique; rows belong to
// an existing document and (DocID, PosNumb) is unique; fix-log and content links join
// existing rows; deleting a document deletes its rows, additional fields, parties and the
// links of its rows; renumbering a row carries its additional fields along.
//
// Using it.
//   - A new book: CreateStatements, then InitialDataStatements, in one transaction.
//   - The additional fields of type X: FindSourceDef(X + "THDocument") and
//     FindSourceDef(X + "THGoodSpec"); every seeded type has both (DocumentTypes()).
//   - Settings: table "Settings", one row per setting (Name, Kind, Value as text).
//   - Queries: BookCatalogue is the translator's catalogue; a parameterised source is inlined
//     as "(" + SourceSql(name, literals) + ") alias".
#ifndef QTS_HOST_SCHEMA_SCHEMA_H_
#define QTS_HOST_SCHEMA_SCHEMA_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sql/catalogue.h"
#include "sql/translator.h"

namespace qts::db {
class Connection;
}

namespace qts::host::schema {

// The backend a DDL statement is written for: the translator's dialects.
using Dialect = sql::Dialect;

enum class SourceKind { kTable, kView, kParameterised };

struct ColumnDef {
  std::string name;
  sql::SqlType type = sql::SqlType::kUnknown;
  int length = 0;  // text: declared length
  bool nullable = true;
  std::string default_value;  // an SQL literal valid on both backends ("0", "'EUR'"); empty: none

  ColumnDef NotNull() const;
  ColumnDef Default(std::string literal) const;
};

struct ForeignKeyDef {
  std::vector<std::string> columns;
  std::string table;  // logical name of the referenced table
  std::vector<std::string> ref_columns;
  bool cascade = false;  // ON DELETE CASCADE (updates always cascade)
};

struct IndexDef {
  std::vector<std::string> columns;
  bool unique = false;  // unique ones are table constraints, so foreign keys may refer to them
};

struct ParameterDef {
  std::string name;  // as the builder's Parameters list names it: "DateRest", "Node"
  sql::SqlType type = sql::SqlType::kUnknown;
};

struct SourceDef {
  std::string name;  // canonical logical name
  SourceKind kind = SourceKind::kTable;
  std::string meaning;  // one line: what a row is
  std::vector<ColumnDef> columns;
  bool identity = false;  // the first column is an auto-numbered integer primary key
  std::vector<std::string> primary_key;
  std::vector<ForeignKeyDef> foreign_keys;
  std::vector<IndexDef> indexes;
  std::vector<ParameterDef> parameters;  // parameterised sources only
  // Views and parameterised sources: T-SQL over logical names; parameter "X" appears as "@X".
  std::string sql;
  // A source that reads the kept stock facts: the same rows from the rows and links alone.
  std::string plain_sql;

  // Case-insensitive; null when absent.
  const ColumnDef* FindColumn(std::string_view column) const;
};

// A document type the book knows, with its flags (THDocType) and the additional fields of its
// header and rows (the columns of "<code>THDocument" and "<code>THGoodSpec" after the keys).
struct DocTypeDef {
  std::string code;
  std::string name;
  int is_income = 0;
  int is_order_direct = 0;
  int category = 0;
  int is_stock = 0;
  std::vector<ColumnDef> header_fields;
  std::vector<ColumnDef> row_fields;
};

// The whole definition: tables in creation order (every table after the tables it refers
// to), then views, then parameterised sources.
[[nodiscard]] const std::vector<SourceDef>& Sources();
// The source with this logical name in any case, or null.
[[nodiscard]] const SourceDef* FindSourceDef(std::string_view logical_name);
// The document types a new book is seeded with; each has its two additional-field tables.
[[nodiscard]] const std::vector<DocTypeDef>& DocumentTypes();

// Raises qts::Error (5, invalid procedure call) unless `code` is 1 to 16 letters, digits or '_'.
void CheckBookCode(std::string_view code);
// "<code>$<canonical logical name>"; an unknown logical name keeps the spelling it was given.
[[nodiscard]] std::string PhysicalName(std::string_view code, std::string_view logical_name);

// The book code of the physical table `physical_name` when it is the table `logical_name` of
// some book (any case): the inverse of PhysicalName. nullopt otherwise.
[[nodiscard]] std::optional<std::string> BookCodeOf(std::string_view physical_name,
                                                    std::string_view logical_name);

// The dialect the translator writes for `connection`'s backend.
[[nodiscard]] Dialect DialectOf(const db::Connection& connection);

// The T-SQL statement `tsql` (a SELECT, or an INSERT, UPDATE or DELETE, with '?' parameters)
// over the logical tables of book `code`, as `connection`'s backend runs it: the road of the
// statements that run on a book before there is an open AppContext for it (while it is made,
// filled or copied). Raises sql::SqlError as the translator does.
[[nodiscard]] std::string BackendSql(std::string_view tsql, std::string_view code,
                                     const db::Connection& connection);

// The translator's view of one book. Built from Sources(); lookups ignore case.
class BookCatalogue : public sql::Catalogue {
 public:
  // Raises like CheckBookCode for a bad code.
  explicit BookCatalogue(std::string code);

  // A table or view of that name. A parameterised source is no object a statement may name
  // (it has none in the database; the builder inlines it): null, so the translator refuses it
  // as an unknown table instead of sending the backend a name it does not have.
  const sql::SourceInfo* FindSource(std::string_view logical_name) const override;
  // "<code>$<canonical name>" for a known source, "<code>$<name as given>" for an unknown one
  // (as sql::MemoryCatalogue does). A parameterised source has no object in the database: the
  // builder inlines SourceSql instead.
  std::string PhysicalName(std::string_view logical_name) const override;

  const std::string& Code() const noexcept { return code_; }
  // The full definition behind FindSource, or null.
  const SourceDef* FindDefinition(std::string_view logical_name) const;

 private:
  std::string code_;
  std::vector<sql::SourceInfo> infos_;
  std::vector<const SourceDef*> defs_;
  std::unordered_map<std::string, size_t> by_lower_name_;
};

// The statements that create a book's tables, indexes and views, in execution order. SQLite
// statements are meant to be executed; PostgreSQL statements are the same schema as text.
[[nodiscard]] std::vector<std::string> CreateStatements(std::string_view code, Dialect dialect);

struct SettingRow {
  std::string name;
  std::string kind;  // "text", "integer", "number" or "date": how Value is to be read
  std::string value;
};

// The settings a new book starts with: "Code" (the book code), "AccountCurrency" ("EUR"),
// "SDProc", "VSDProc", "TransportAlgoritm", "IsMakeFixDoc", the enterprise's identity (empty)
// and "SchemaVersion".
[[nodiscard]] std::vector<SettingRow> InitialSettings(std::string_view code);
// The stored form of a book (setting "SchemaVersion"). 2: money and quantities in whole
// ten-thousandths on SQLite (1 kept them as REAL); 3: the kept stock facts ("THGoodSpecFixed")
// and the documents' date index; 4: the kept stock rests ("STStoreGoodRest"); 5: the kept
// receipt totals of the fixed rest ("THGoodFixTotal"); 6: the view of the not-fixed receipt
// rows reads them through their documents; 7: the rows' lot index extended by their document
// ("LotPropertyID", "DocID"). A book of a newer version is refused when it is
// opened; an older one from kOldestUpgradableVersion on is refused until `qts book upgrade`
// brings it to this version (host/data/book_upgrade.h).
inline constexpr int kSchemaVersion = 7;
inline constexpr int kOldestUpgradableVersion = 1;

// What brings the tables of a book from an older stored form to kSchemaVersion.
struct SchemaUpgrade {
  // Run on the connection before the transaction begins (SQLite: the write-ahead log moved
  // into the file; from version 1, foreign keys off while tables are made again, so dropping
  // one runs no ON DELETE).
  std::vector<std::string> before;
  // In one transaction, in order: the views taken out, each version's tables changed, the
  // views made again.
  std::vector<std::string> statements;
  // A query that must give no row before the commit: every row's foreign keys still hold (""
  // when no table was made again).
  std::string foreign_key_check;
  // Run after the commit (or the rollback): what `before` changed, undone.
  std::vector<std::string> after;
  // What each version's step does, in words, oldest first.
  std::vector<std::string> steps;
};
// The upgrade of book `code` from stored form `from` (kOldestUpgradableVersion up to
// kSchemaVersion - 1) on `dialect`. Not in it: computing what the tables versions 3 to 5 add
// hold, the kept stock facts, rests and receipt totals (the host's StockFacts, in the same
// transaction), and the setting "SchemaVersion". Raises qts::Error (5) for another version or a bad
// code.
[[nodiscard]] SchemaUpgrade UpgradeStatements(std::string_view code, int from, Dialect dialect);

// INSERT statements for a new book: the settings, the document types and the two rows of
// "REFDates" (IDC 1 and 2) that queries use as a row multiplier.
[[nodiscard]] std::vector<std::string> InitialDataStatements(std::string_view code,
                                                             Dialect dialect);

// Statements that take a book's views and tables out of the database again (a book whose
// creation could not be finished).
[[nodiscard]] std::vector<std::string> DropStatements(std::string_view code, Dialect dialect);

// Statements that set each auto-numbered key of the book past the largest key its table holds,
// for a book whose rows were written with their keys (a copy). Empty on SQLite, whose
// numbering follows the largest key by itself.
[[nodiscard]] std::vector<std::string> IdentityResetStatements(std::string_view code,
                                                               Dialect dialect);

// Statements that give the database's planner statistics of a book whose tables were just
// filled (a sample or copied book), so its first reports are planned on what the tables hold.
// On PostgreSQL one ANALYZE of the book's tables: without it the rests-by-term report ran 20
// times slower on a new book until the server analysed it by itself. Empty on SQLite, whose
// plans are designed without statistics (there they made the report's statement 30 times
// slower).
[[nodiscard]] std::vector<std::string> StatisticsStatements(std::string_view code, Dialect dialect);

// The T-SQL of a view or parameterised source with each "@Parameter" replaced by the literal
// given for it (keys in any case). Every parameter must be given and every literal must be a
// single SQL literal: a quoted string with doubled quotes, a number or NULL. Raises
// qts::Error (5) otherwise, or when the source is unknown or a table.
[[nodiscard]] std::string SourceSql(std::string_view logical_name,
                                    const std::map<std::string, std::string>& literals);

// The same rows as SourceSql gives, computed from the documents, rows and links alone, without
// the kept stock facts: the aggregating statement a stock source ran before its facts were
// kept, for comparing the two (tests, benchmarks). A source that reads no kept facts gives its
// one statement. Raises as SourceSql.
[[nodiscard]] std::string PlainSourceSql(std::string_view logical_name,
                                         const std::map<std::string, std::string>& literals);

// For measuring what the kept facts save and cost (the benchmarks' "before" figures): while
// set, in this process, SourceSql gives PlainSourceSql's statement, the query builder inlines a
// view that has one instead of naming it, and posting neither reads nor keeps the facts (it
// sums the links, as before). The book's kept facts go stale meanwhile: only for work that is
// rolled back. Off unless set.
void UsePlainStockSources(bool plain);
[[nodiscard]] bool PlainStockSources();

// How a posted row of a stock document moves its store's stock (kept per store and good in
// "STStoreGoodRest", read by "STStoreRest"), as T-SQL over a row "s" (THGoodSpec), its
// document "d" (THDocument) and the document's type "t" (THDocType):
//   - kStoreGoodKey: the key columns StoreCode, GoodCode and NullCodes (a NULL code as '' with
//     its bit: 1 the store, 2 the good); kStoreGoodGroup the same expressions for GROUP BY;
//   - kStockMovementSum: the sum of the rows' movements, incoming plus and outgoing minus their
//     "AmountAccount" (NULL when no row has a quantity).
inline constexpr std::string_view kStoreGoodKey =
    "COALESCE(d.StoreCode, '') AS StoreCode, COALESCE(s.GoodCode, '') AS GoodCode,"
    " CASE WHEN d.StoreCode IS NULL THEN 1 ELSE 0 END"
    " + CASE WHEN s.GoodCode IS NULL THEN 2 ELSE 0 END AS NullCodes";
inline constexpr std::string_view kStoreGoodGroup =
    "COALESCE(d.StoreCode, ''), COALESCE(s.GoodCode, ''),"
    " CASE WHEN d.StoreCode IS NULL THEN 1 ELSE 0 END"
    " + CASE WHEN s.GoodCode IS NULL THEN 2 ELSE 0 END";
inline constexpr std::string_view kStockMovementSum =
    "SUM(CASE WHEN t.IsIncome = 1 THEN s.AmountAccount ELSE -s.AmountAccount END)";

// What a receipt row (a row "s" of a posted incoming stock document) adds to the kept receipt
// totals of its good and fixing category ("THGoodFixTotal", read by "THDocGoodFixRest"):
//   - kGoodFixKey: the key columns GoodCode, FixCategory and NullCodes (a NULL good as '' with
//     bit 1, a NULL category as 0 with bit 2); kGoodFixGroup the same expressions for GROUP BY;
//   - kReceiptShare: its cost share with nothing consumed, as the fixed rest computes a share
//     (CostSumm x free / AmountAccount, 0 when AmountAccount is 0): its CostSumm, 0 when its
//     AmountAccount is 0, NULL when that is NULL;
//   - kReceiptCosted: 1 when its share is not NULL whatever it has free, else 0.
inline constexpr std::string_view kGoodFixKey =
    "COALESCE(s.GoodCode, '') AS GoodCode, COALESCE(s.FixCategory, 0) AS FixCategory,"
    " CASE WHEN s.GoodCode IS NULL THEN 1 ELSE 0 END"
    " + CASE WHEN s.FixCategory IS NULL THEN 2 ELSE 0 END AS NullCodes";
inline constexpr std::string_view kGoodFixGroup =
    "COALESCE(s.GoodCode, ''), COALESCE(s.FixCategory, 0),"
    " CASE WHEN s.GoodCode IS NULL THEN 1 ELSE 0 END"
    " + CASE WHEN s.FixCategory IS NULL THEN 2 ELSE 0 END";
inline constexpr std::string_view kReceiptShare =
    "(CASE WHEN s.AmountAccount IS NULL THEN NULL WHEN s.AmountAccount = 0 THEN 0"
    " ELSE s.CostSumm END)";
inline constexpr std::string_view kReceiptCosted =
    "(CASE WHEN s.AmountAccount = 0 OR (s.AmountAccount IS NOT NULL AND s.CostSumm IS NOT NULL)"
    " THEN 1 ELSE 0 END)";

// The T-SQL condition that some document is dated after `date` (an SQL expression) or has no
// date: only then may a link be dated after the date, since every link's outgoing row belongs
// to a document. Without such documents every link of a receipt row counts on the date, and
// what they take together is the row's kept consumption. Not correlated with anything around
// it, so a statement evaluates it once; found through the documents' date index.
[[nodiscard]] std::string LaterDocumentsExist(std::string_view date);

// The T-SQL expression of a receipt row's free accounting quantity on a date: the row's
// "AmountAccount" minus the fix-log links to it whose outgoing document is dated up to the
// date. `date_literal` is an SQL literal ('2026-01-31'); `row_alias` names a "THGoodSpec" row
// in the surrounding query. On a date no document is after (LaterDocumentsExist), the links
// are the row's kept consumption, read through its key; otherwise they are summed. Raises
// qts::Error (5) for a literal that is not one, or an alias that is not an identifier.
[[nodiscard]] std::string FreeAmountExpr(std::string_view date_literal, std::string_view row_alias);

// Rewrites T-SQL written in the schema's own portable subset (joins, CASE, COALESCE, ROUND,
// SUM, IN lists) for a book on either backend: a name right after FROM or JOIN that is a
// table or view becomes its quoted physical name, and every identifier that is a column name
// of the schema becomes quoted in its canonical case. It does no arithmetic rewriting: SQL that
// computes with money goes through the translator (views do). Raises qts::Error (5) when a
// parameterised source is named after FROM or JOIN (it must be inlined) or a placeholder is
// left.
[[nodiscard]] std::string PhysicalSql(std::string_view code, std::string_view tsql);

}  // namespace qts::host::schema

#endif  // QTS_HOST_SCHEMA_SCHEMA_H_
