// The SQL function qts_round(x, n): ROUND as the server computes it, for the SQLite backend.
#ifndef QTS_DB_SQLITE_QTS_ROUND_H_
#define QTS_DB_SQLITE_QTS_ROUND_H_

struct sqlite3;

namespace qts::db {

// Registers qts_round(x, n) on `db`: x rounded to n decimal places (n < 0 rounds to tens,
// hundreds, ...) half away from zero, on the decimal value x stands for (2.675 gives 2.68
// though the binary double is a hair below it) through qts::RoundDecimal. NULL in either
// argument gives NULL; an integer x gives an integer; numeric text is taken as its number.
// A non-numeric x or a fractional n is an SQL error. Raises DatabaseError when SQLite
// refuses the registration.
void RegisterQtsRound(sqlite3* db);

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_QTS_ROUND_H_
