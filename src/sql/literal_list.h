// Value lists that the system pastes into a statement's "IN (...)".
#ifndef QTS_SQL_LITERAL_LIST_H_
#define QTS_SQL_LITERAL_LIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace qts::sql {

// Reads a comma-separated list of literals, such as a selector's list of quoted codes that is
// pasted into "IN (...)": quoted texts ('S1', a quote doubled inside) and numbers (digits with
// at most one decimal point, a sign written directly before them). Returns the items written
// afresh from their tokens ("'S1'", "7", "-2.5"). Anything else - a name, NULL, N'...', an
// operator, a parenthesis, a comment, an empty item, a second statement - raises SqlError
// naming it and its position, so the text cannot change the statement it is pasted into.
[[nodiscard]] std::vector<std::string> ReadLiteralList(std::string_view text);

}  // namespace qts::sql

#endif  // QTS_SQL_LITERAL_LIST_H_
