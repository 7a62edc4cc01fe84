// Parses one T-SQL SELECT statement of the subset into a tree. Anything outside the subset
// is refused with a SqlError naming the construct and where it starts.
#ifndef QTS_SQL_PARSER_H_
#define QTS_SQL_PARSER_H_

#include <string_view>

#include "sql/ast.h"

namespace qts::sql {

// The whole text must be one SELECT statement, optionally followed by one ';'. The tree
// is not yet bound: names and types are resolved by Bind (binder.h).
[[nodiscard]] StatementPtr Parse(std::string_view tsql);

// One statement the host runs on its book: a SELECT as Parse reads it, or an INSERT ... VALUES,
// UPDATE or DELETE of one table (ast.h), with '?' parameters wherever a value may stand.
struct Command {
  StatementPtr select;      // set for a SELECT
  WriteStatementPtr write;  // set for a write
  const Node& Root() const;
};
[[nodiscard]] Command ParseCommand(std::string_view tsql);

}  // namespace qts::sql

#endif  // QTS_SQL_PARSER_H_
