// Writes a bound statement (binder.h) in a backend's dialect. SQLite output uses built-in
// functions, qts_round (decimal-correct rounding of whole and floating numbers) and the money
// functions the SQLite backend registers (db/sqlite/money_functions.h): money is written in
// ten-thousandths, and what has more places (products, quotients) as exact wide values.
#ifndef QTS_SQL_EMITTER_H_
#define QTS_SQL_EMITTER_H_

#include <string>
#include <vector>

#include "sql/ast.h"
#include "sql/translator.h"

namespace qts::sql {

// The statement as backend SQL. The statement must have been bound.
// With `parameters`, the literals that comparisons and IN lists take as they are (whole
// numbers, texts not read as dates) are written as placeholders (?1, ?2, ... on SQLite; $1,
// ... on PostgreSQL) and appended to `parameters` in placeholder order.
// The statement's own '?' parameters keep their numbers; the literals made placeholders follow
// them.
// In either dialect, a statement whose SQLite writing nests deeper than SQLite's parser goes
// (signs, calls, CASEs and subqueries within each other) is refused with a SqlError at its
// deepest place, so that what translates runs on both backends.
[[nodiscard]] std::string Emit(const SelectStatement& statement, Dialect dialect,
                               std::vector<const Literal*>* parameters = nullptr);
// An INSERT, UPDATE or DELETE; on SQLite every value is written in the form its column keeps
// (money in ten-thousandths). With `parameters`, plain literal values become placeholders too.
[[nodiscard]] std::string Emit(const WriteStatement& statement, Dialect dialect,
                               std::vector<const Literal*>* parameters = nullptr);

}  // namespace qts::sql

#endif  // QTS_SQL_EMITTER_H_
