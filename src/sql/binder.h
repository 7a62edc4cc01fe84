// Resolves a parsed statement against the book's catalogue: every table to its physical
// name, every column to its source and canonical spelling, every expression to a type.
// Errors (unknown table or column, ambiguous names, '+' on unresolved types, constructs that
// are valid T-SQL but outside what the emitters can reproduce) are SqlErrors with positions.
#ifndef QTS_SQL_BINDER_H_
#define QTS_SQL_BINDER_H_

#include <string>
#include <vector>

#include "sql/ast.h"
#include "sql/catalogue.h"

namespace qts::sql {

// A column a query produces: its output name (empty when unnamed), type, text length and, for
// numbers, decimal places (Expr::scale).
struct OutputColumn {
  std::string name;
  SqlType type = SqlType::kUnknown;
  int length = 0;
  int scale = 0;
};

// Binds `statement` in place and returns its output columns.
std::vector<OutputColumn> Bind(SelectStatement& statement, const Catalogue& catalogue);
// Binds an INSERT, UPDATE or DELETE in place: its table, the columns it writes (each once) and
// their values, its condition. A '?' takes the type of the column it is written into or of
// what it is compared or computed with.
void Bind(WriteStatement& statement, const Catalogue& catalogue);

}  // namespace qts::sql

#endif  // QTS_SQL_BINDER_H_
