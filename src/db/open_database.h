// Opens the database a book address names: a PostgreSQL server for a server address
// ("postgresql://...", or a libpq connection string such as "host=... dbname=..."), an SQLite
// file (or ":memory:") for anything else. The one place that chooses the backend.
#ifndef QTS_DB_OPEN_DATABASE_H_
#define QTS_DB_OPEN_DATABASE_H_

#include <memory>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace qts::db {

// True when `address` names a server (see db/postgres/pg_connection.h).
bool IsServerAddress(std::string_view address) noexcept;

// The address as it may be shown: a server without its password, a file as it is.
std::string DescribeAddress(std::string_view address);

// Opens the database; raises DatabaseError as the backend does.
[[nodiscard]] std::unique_ptr<Connection> OpenDatabase(std::string_view address);

}  // namespace qts::db

#endif  // QTS_DB_OPEN_DATABASE_H_
