// Value lists that the system pastes into a statement's "IN (...)".
#ifndef QTS_SQL_LITERAL_LIST_H_
#define QTS_SQL_LITERAL_LIST_H_

#include <string>
#include <string_view>

namespace qts::sql {

// Checks a comma-separated list of literals (texts, numbers, NULL), such as a selector's
// list of quoted codes that is pasted into "IN (...)", and returns it written afresh from its
// tokens (comments dropped, one ", " between items). Anything else in the text - a name, an
// operator, a parenthesis, a second statement - is refused with a SqlError, so the text
// cannot change the statement it is pasted into.
[[nodiscard]] std::string NormalizeLiteralList(std::string_view text);

}  // namespace qts::sql

#endif  // QTS_SQL_LITERAL_LIST_H_
