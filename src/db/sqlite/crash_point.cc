#include "db/sqlite/crash_point.h"

#include <sqlite3.h>

#include <atomic>
#include <cctype>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/text.h"

namespace qts::db {

namespace {

int64_t ReadKillPoint() noexcept {
  const char* text = std::getenv("QTS_TEST_KILL_AFTER_WRITES");
  if (text == nullptr) return 0;
  int64_t n = 0;
  const char* end = text + std::strlen(text);
  auto [ptr, ec] = std::from_chars(text, end, n);
  return ec == std::errc() && ptr == end && n > 0 ? n : 0;
}

const int64_t kill_after = ReadKillPoint();
std::atomic<int64_t> writes{0};

// Whether the statement ends a transaction: SQLite counts these as read-only.
bool EndsTransaction(std::string_view sql) {
  size_t start = sql.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  sql.remove_prefix(start);
  for (std::string_view word : {"COMMIT", "RELEASE", "END"}) {
    if (sql.size() >= word.size() && EqualsIgnoreCase(sql.substr(0, word.size()), word) &&
        (sql.size() == word.size() ||
         !std::isalnum(static_cast<unsigned char>(sql[word.size()])))) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool CrashPointSet() noexcept { return kill_after > 0; }

void NoteFinishedStatement(sqlite3_stmt* statement) noexcept {
  if (kill_after == 0 || statement == nullptr) return;
  const char* sql = sqlite3_sql(statement);
  if (sqlite3_stmt_readonly(statement) && !(sql != nullptr && EndsTransaction(sql))) return;
  if (++writes >= kill_after) std::raise(SIGKILL);
}

}  // namespace qts::db
