// Text functions of the embedded (SQLite) book that follow the server where SQLite's own do
// not: UPPER and LOWER change the case of every letter (SQLite's built-in ones only that of
// ASCII letters, so that UPPER('dėžė') would stay 'Dėžė').
#ifndef QTS_DB_SQLITE_TEXT_FUNCTIONS_H_
#define QTS_DB_SQLITE_TEXT_FUNCTIONS_H_

struct sqlite3;

namespace qts::db {

// Registers upper(x) and lower(x) on `db` in place of SQLite's built-in ones: the text of x with
// each letter in upper (lower) case, as UCase and LCase change it; NULL gives NULL. Raises a
// backend error when SQLite refuses the registration.
void RegisterTextFunctions(sqlite3* db);

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_TEXT_FUNCTIONS_H_
