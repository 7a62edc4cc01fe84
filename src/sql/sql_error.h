// The error the T-SQL translator raises: what was refused or not understood, and where.
#ifndef QTS_SQL_SQL_ERROR_H_
#define QTS_SQL_SQL_ERROR_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error.h"

namespace qts::sql {

// Every translator error carries kErrSqlTranslate and the source "SqlTranslator"; the
// description ends with " at line L, column C".

// A place in the statement text; both 1-based, columns count characters, not bytes.
struct Position {
  int line = 1;
  int column = 1;
};

class SqlError : public Error {
 public:
  // `what` describes the fault ("unsupported construct 'WITH'"); `construct` is the word or
  // name it is about ("WITH"), kept separately so callers can test for it.
  SqlError(std::string_view what, std::string construct, Position position);

  int Line() const noexcept { return position_.line; }
  int Column() const noexcept { return position_.column; }
  const std::string& Construct() const noexcept { return construct_; }

 private:
  std::string construct_;
  Position position_;
};

// Raises "unsupported construct '<construct>'" at `position`.
[[noreturn]] void ThrowUnsupported(std::string construct, Position position);

}  // namespace qts::sql

#endif  // QTS_SQL_SQL_ERROR_H_
