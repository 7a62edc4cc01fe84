// A test hook for the crash tests: with QTS_TEST_KILL_AFTER_WRITES=N in the environment (read
// once, when the backend library is loaded), the process kills itself with SIGKILL right after
// the Nth write an SQLite book runs -- a statement that changed the database or ended a
// transaction (COMMIT, RELEASE, END). Stepping N over 1, 2, 3, ... stops an operation at every
// point where the file could be left, the commit itself included. Unset (every normal run) it
// costs one comparison per finished statement; it is no setting for users.
#ifndef QTS_DB_SQLITE_CRASH_POINT_H_
#define QTS_DB_SQLITE_CRASH_POINT_H_

struct sqlite3_stmt;

namespace qts::db {

// True when the crash tests asked for a kill (QTS_TEST_KILL_AFTER_WRITES is a positive number).
bool CrashPointSet() noexcept;

// Counts `statement`, which has just run to its end, when it is a write; at the Nth write the
// process dies by SIGKILL. Does nothing unless CrashPointSet().
void NoteFinishedStatement(sqlite3_stmt* statement) noexcept;

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_CRASH_POINT_H_
