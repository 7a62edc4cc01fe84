// Translates the SQL Server dialect the host's query builder writes into the SQL of the
// book's backend: parse (parser.h) -> resolve names and types (binder.h) -> emit (emitter.h).
// Nothing outside the subset passes through: it is refused with a SqlError that names the
// construct, its line and column.
//
// The subset: one SELECT statement (an optional trailing ';'; anything after it is a second
// statement and refused) of SELECT [DISTINCT] [TOP n | TOP (n)] ... FROM tables, derived
// tables "(SELECT ...) alias", [INNER] JOIN, LEFT [OUTER] JOIN, CROSS JOIN, comma lists;
// WHERE, GROUP BY, HAVING, ORDER BY, UNION [ALL]; scalar, IN and EXISTS subqueries, also
// correlated and with TOP; CASE (simple and searched); + - * / %; comparisons, AND/OR/NOT,
// IS [NOT] NULL, [NOT] IN, [NOT] BETWEEN, [NOT] LIKE; SUM COUNT MIN MAX AVG (with DISTINCT,
// COUNT(*)), COALESCE NULLIF ISNULL ROUND ABS UPPER LOWER LTRIM RTRIM (also with the characters to
// trim, as the server's two-argument form) LEN LEFT RIGHT SUBSTRING CHARINDEX GETDATE, CAST,
// CONVERT (no style, or style 102 to a text type); literals 12, 1.5, 1e3, 'text' with '' escapes,
// N'text', NULL; names plain, [bracketed], "quoted", alias.column, and physical names
// "<Code>$<logical>" of this book.
//
// The host's own statements (AppContext::PrepareTsql, through the shape cache) may also be an
// INSERT ... VALUES, UPDATE or DELETE of one table, and carry '?' parameters (parser.h
// ParseCommand); a query text opened by Query or `qts sql run` is a SELECT without them.
//
// Choices where the server and the backends differ:
// - Comments ("--", "/* */", nested) are whitespace; they never reach the backend, since the
//   output is written from the tree, so accepting them cannot smuggle text through.
// - '+' joins texts only when neither side is a number or a date: text + number is refused
//   (the server would convert the text to a number); '+' with no side of known type is
//   refused; date arithmetic is refused.
// - A text literal compared with a date ('YYYYMMDD', 'YYYY-MM-DD') becomes an ISO date
//   ('2024-01-05' on SQLite, DATE '2024-01-05' on PostgreSQL); an invalid one is refused.
// - CAST of a date to text is refused (its text depends on server settings); use
//   CONVERT(CHAR(10), d, 102). A number CAST to a too short text gives '*'; money and
//   quantities print with four decimals, as NUMERIC(19,4) does.
// - LEFT/RIGHT with a count below 0 give '' (the server raises an error); CHARINDEX of an
//   empty text gives 0; SUBSTRING from a start before 1 counts the positions before the text.
// - AVG of whole numbers is truncated to a whole number, as on the server.
// - Texts compare by the backend's collation (binary on SQLite; the database's on
//   PostgreSQL); LIKE is ASCII case-insensitive on SQLite, case-sensitive on PostgreSQL;
//   LIKE character classes ('[a-c]') are refused.
// - ORDER BY may name an output column by itself ("ORDER BY Total"), not inside an
//   expression, as on the server.
// - Bit columns are compared with 0/1 unchanged, so PostgreSQL tables keep them as smallint.
// - Identifiers are written in double quotes with the catalogue's spelling (columns), the
//   declared spelling (aliases) and "<Code>$<logical>" (tables); every column reference is
//   qualified by its source's alias, and every table gets an alias (its logical name when
//   the statement gave none).
#ifndef QTS_SQL_TRANSLATOR_H_
#define QTS_SQL_TRANSLATOR_H_

#include <string>
#include <string_view>
#include <vector>

#include "sql/binder.h"
#include "sql/catalogue.h"
#include "sql/sql_error.h"

namespace qts::sql {

enum class Dialect { kSqlite, kPostgres };

struct Translation {
  std::string sql;                    // the statement in the backend's dialect
  std::vector<OutputColumn> columns;  // the result columns with their resolved types
};

// The statement `tsql` in `dialect`, with table names mapped to their physical names
// through `catalogue`. Throws SqlError.
[[nodiscard]] std::string Translate(std::string_view tsql, const Catalogue& catalogue,
                                    Dialect dialect);
[[nodiscard]] Translation TranslateWithColumns(std::string_view tsql, const Catalogue& catalogue,
                                               Dialect dialect);
// A statement the host runs (a SELECT, or an INSERT, UPDATE or DELETE; parser.h ParseCommand)
// with its '?' parameters as placeholders 1..n and its literals left in the text.
[[nodiscard]] std::string TranslateCommand(std::string_view tsql, const Catalogue& catalogue,
                                           Dialect dialect);

}  // namespace qts::sql

#endif  // QTS_SQL_TRANSLATOR_H_
