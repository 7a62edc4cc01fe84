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

}  // namespace qts::sql

#endif  // QTS_SQL_PARSER_H_
