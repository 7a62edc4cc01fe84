// Turning PostgreSQL failures into the backend layer's errors. Internal to the PostgreSQL
// backend.
#ifndef QTS_DB_POSTGRES_PG_ERROR_H_
#define QTS_DB_POSTGRES_PG_ERROR_H_

#include <cstdint>
#include <string>
#include <string_view>

struct pg_result;
struct pg_conn;

namespace qts::db {

// The five-character SQLSTATE packed into an int (six bits a character, as the server packs
// it), the DatabaseError's backend code; 0 for an empty or malformed state.
int PackSqlState(std::string_view state) noexcept;
// The SQLSTATE a backend code packs ("23505"); empty for 0.
std::string UnpackSqlState(int code);

// kErrConstraint (class 23), kErrBusy (serialization failure, deadlock, lock not available,
// statement cancelled by a lock timeout), kErrDatabase otherwise.
int32_t ErrorNumberForSqlState(std::string_view state) noexcept;

// Raises a DatabaseError for a failed result (which may be null: the connection's message
// is used). The description holds the server's message, its SQLSTATE and the SQL.
[[noreturn]] void ThrowPgError(pg_conn* conn, const pg_result* result, std::string_view source,
                               std::string_view sql);

}  // namespace qts::db

#endif  // QTS_DB_POSTGRES_PG_ERROR_H_
