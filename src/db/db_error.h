// Errors raised by the backend layer. They are qts::Error (number, source, description) so
// they propagate through the host like every other error; the subclass adds what a caller
// handling a database failure needs: the backend's own code and the SQL that failed.
//
// Numbers (core/error_numbers.h): kErrDatabase any other backend failure, kErrConstraint a
// constraint refused the write, kErrBusy the database stayed locked, kErrDbMisuse the caller
// broke the API's contract.
#ifndef QTS_DB_DB_ERROR_H_
#define QTS_DB_DB_ERROR_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error.h"

namespace qts::db {

class DatabaseError : public Error {
 public:
  // `backend_code` is the backend's own result code (SQLite's extended result code), 0 when
  // the error was raised by this layer itself. `sql` is the statement text, kept whole here;
  // the description holds a shortened copy.
  DatabaseError(int32_t number, std::string source, std::string description, int backend_code,
                std::string sql);

  int BackendCode() const noexcept { return backend_code_; }
  const std::string& Sql() const noexcept { return sql_; }

 private:
  int backend_code_;
  std::string sql_;
};

// The SQL as it appears in a message: whitespace runs folded to one space, trimmed, and cut
// to `max_chars` characters with "..." appended when longer.
std::string SqlForMessage(std::string_view sql, size_t max_chars = 300);

// "<message> in SQL: <sql>" (the SQL part left out when `sql` is empty).
std::string DescribeWithSql(std::string_view message, std::string_view sql);

}  // namespace qts::db

#endif  // QTS_DB_DB_ERROR_H_
