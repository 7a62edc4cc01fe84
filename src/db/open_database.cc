#include "db/open_database.h"

#include "db/postgres/pg_connection.h"
#include "db/sqlite/sqlite_connection.h"

namespace qts::db {

std::string DescribeAddress(std::string_view address) {
  return IsServerAddress(address) ? DescribeServer(address) : std::string(address);
}

std::unique_ptr<Connection> OpenDatabase(std::string_view address) {
  if (IsServerAddress(address)) return PgConnection::Open(address);
  return SqliteConnection::Open(address);
}

}  // namespace qts::db
