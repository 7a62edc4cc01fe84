// Money on the embedded (SQLite) book.
//
// Storage. A money or quantity column (NUMERIC(19,4) on the server) holds an INTEGER: the value
// times 10,000, so that SUM, comparisons, + and - are exact and run on SQLite's own integers.
//
// Arithmetic. A value with more than four places (a product, a quotient, or what is summed,
// compared or rounded from them) is "wide": a 16-byte BLOB holding a qts::Decimal (eighteen
// places, core/decimal.h), encoded so that SQLite's own comparison of BLOBs (=, <, MIN, MAX,
// ORDER BY, GROUP BY, DISTINCT) is the order of the numbers. The translator decides which
// expressions are wide and writes the calls below for the SQLite dialect; no other SQL needs
// them.
//
// The functions. A money argument is an INTEGER (value x 10,000) or a wide BLOB; qts_dec,
// qts_cy and the roundings also take a REAL (the decimal value it stands for, its shortest
// text) or a TEXT decimal. NULL in any argument gives NULL.
//   qts_dec(x)           x as a wide value
//   qts_cy(x)            x rounded half away from zero to four places: INTEGER x 10,000
//   qts_add(a, b)  qts_sub(a, b)  qts_neg(a)  qts_abs(a)         exact, wide
//   qts_mul(a, b)        exact product cut toward zero to eighteen places, wide
//   qts_div(a, b)        quotient cut toward zero to eighteen places, wide; NULL when b is 0,
//                        as SQLite's own division by zero gives
//   qts_mod(a, b)        the remainder as T-SQL's '%' (sign of a), wide; NULL when b is 0
//   qts_round_cy(x, n)   x rounded half away from zero to n places: INTEGER x 10,000 (n >= 4
//                        leaves a money value as it is)
//   qts_round_dec(x, n)  the same, wide
//   qts_int(x)           the whole part, cut toward zero: INTEGER
//   qts_real(x)          the nearest REAL
//   qts_text(x, n)       decimal text with n places (cut), as the server prints NUMERIC(p, n)
//   qts_sum(x)           aggregate: the exact sum, wide; NULL over no values
// A result beyond the range (10^20 for wide values, Currency's range for INTEGER ones) is an
// SQL error naming the overflow.
#ifndef QTS_DB_SQLITE_MONEY_FUNCTIONS_H_
#define QTS_DB_SQLITE_MONEY_FUNCTIONS_H_

#include <optional>

#include "core/currency.h"

struct sqlite3;
struct sqlite3_value;

namespace qts::db {

// Registers the functions above on `db`. Raises DatabaseError when SQLite refuses one.
void RegisterMoneyFunctions(sqlite3* db);

// The money an SQLite value holds: an INTEGER (value x 10,000), a wide BLOB or a TEXT decimal,
// rounded half away from zero to four places; nullopt for NULL or a BLOB that is no wide value.
// A REAL is refused with error 6: money is kept in whole ten-thousandths, and a REAL in its
// place comes from integer arithmetic that overflowed. Error 6 beyond Currency's range, 13 for
// text that is no number.
std::optional<Currency> MoneyValue(sqlite3_value* value);

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_MONEY_FUNCTIONS_H_
