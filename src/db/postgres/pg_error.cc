#include "db/postgres/pg_error.h"

#include <fmt/format.h>
#include <libpq-fe.h>

#include "db/db_error.h"

namespace qts::db {

namespace {

// The server's message without its trailing newline and "ERROR:  " prefix.
std::string CleanMessage(std::string_view message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.remove_suffix(1);
  }
  constexpr std::string_view kPrefix = "ERROR:  ";
  if (message.substr(0, kPrefix.size()) == kPrefix) message.remove_prefix(kPrefix.size());
  return std::string(message);
}

}  // namespace

int PackSqlState(std::string_view state) noexcept {
  if (state.size() != 5) return 0;
  int code = 0;
  for (int i = 0; i < 5; ++i) {
    char c = state[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) return 0;
    code |= ((c - '0') & 0x3F) << (6 * i);
  }
  return code;
}

std::string UnpackSqlState(int code) {
  if (code == 0) return {};
  std::string state(5, '0');
  for (int i = 0; i < 5; ++i) state[i] = static_cast<char>(((code >> (6 * i)) & 0x3F) + '0');
  return state;
}

int32_t ErrorNumberForSqlState(std::string_view state) noexcept {
  if (state.substr(0, 2) == "23") return kErrConstraint;
  if (state == "40001" || state == "40P01" || state == "55P03" || state == "57014") {
    return kErrBusy;
  }
  return kErrDatabase;
}

void ThrowPgError(pg_conn* conn, const pg_result* result, std::string_view source,
                  std::string_view sql) {
  std::string message;
  std::string state;
  if (result != nullptr) {
    message = CleanMessage(PQresultErrorMessage(result));
    if (const char* s = PQresultErrorField(result, PG_DIAG_SQLSTATE)) state = s;
  }
  if (message.empty() && conn != nullptr) message = CleanMessage(PQerrorMessage(conn));
  if (message.empty()) message = "The PostgreSQL server failed without a message";
  if (state.empty() && conn != nullptr && PQstatus(conn) != CONNECTION_OK) {
    state = "08006";  // connection failure: the server went away under the statement
  }
  std::string text = state.empty() ? message : fmt::format("{} [PostgreSQL {}]", message, state);
  throw DatabaseError(ErrorNumberForSqlState(state), std::string(source),
                      DescribeWithSql(text, sql), PackSqlState(state), std::string(sql));
}

}  // namespace qts::db
