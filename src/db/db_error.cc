#include "db/db_error.h"

#include <algorithm>
#include <utility>

namespace qts::db {

DatabaseError::DatabaseError(int32_t number, std::string source, std::string description,
                             int backend_code, std::string sql)
    : Error(number, std::move(source), std::move(description)),
      backend_code_(backend_code),
      sql_(std::move(sql)) {}

std::string SqlForMessage(std::string_view sql, size_t max_chars) {
  std::string out;
  out.reserve(std::min(sql.size(), max_chars + 3));
  bool pending_space = false;
  size_t kept = 0;  // characters of SQL kept (not counting the ellipsis)
  for (char c : sql) {
    bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    if (space) {
      pending_space = !out.empty();
      continue;
    }
    // A UTF-8 continuation byte stays with its lead byte, so a cut never splits a character.
    bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
    if (!continuation) {
      if (kept + (pending_space ? 1 : 0) + 1 > max_chars) {
        out += "...";
        return out;
      }
      if (pending_space) {
        out += ' ';
        ++kept;
        pending_space = false;
      }
      ++kept;
    }
    out += c;
  }
  return out;
}

std::string DescribeWithSql(std::string_view message, std::string_view sql) {
  std::string out(message);
  if (!sql.empty()) {
    out += " in SQL: ";
    out += SqlForMessage(sql);
  }
  return out;
}

}  // namespace qts::db
