// Date literals as the query builder writes them, turned into the ISO text the backends store.
#ifndef QTS_SQL_DATE_LITERAL_H_
#define QTS_SQL_DATE_LITERAL_H_

#include <string>
#include <string_view>

namespace qts::sql {

// Parses a date literal as the server accepts it in comparisons ('YYYYMMDD', 'YYYY-MM-DD',
// either followed by ' HH:MM[:SS]' or 'THH:MM[:SS]' and a zero fraction) and returns the ISO
// form 'YYYY-MM-DD', with ' HH:MM:SS' appended when the time is not midnight. Empty when the
// text is not a valid calendar date and time.
[[nodiscard]] std::string NormalizeDateLiteral(std::string_view text);

}  // namespace qts::sql

#endif  // QTS_SQL_DATE_LITERAL_H_
