#include "sql/sql_error.h"

#include <utility>

namespace qts::sql {

namespace {

std::string Describe(std::string_view what, Position position) {
  std::string text(what);
  text += " at line ";
  text += std::to_string(position.line);
  text += ", column ";
  text += std::to_string(position.column);
  return text;
}

}  // namespace

SqlError::SqlError(std::string_view what, std::string construct, Position position)
    : Error(kErrSqlTranslate, "SqlTranslator", Describe(what, position)),
      construct_(std::move(construct)),
      position_(position) {}

void ThrowUnsupported(std::string construct, Position position) {
  std::string what = "unsupported construct '" + construct + "'";
  throw SqlError(what, std::move(construct), position);
}

}  // namespace qts::sql
