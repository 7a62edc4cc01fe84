// The host kit's own messages (components loaded, books opened, registry look-ups,
// transactions) and the trace of the statements run on a book, both written through spdlog to
// standard error. Both are off unless asked for: by qts --log-level and --trace-sql, or by the
// environment (QTS_LOG_LEVEL, QTS_TRACE_SQL), read when the library loads. Off, a message
// costs one test of a level and formats nothing.
#ifndef QTS_CORE_LOG_H_
#define QTS_CORE_LOG_H_

#include <fmt/format.h>

#include <atomic>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>

namespace qts {

enum class LogLevel : int { kTrace = 0, kDebug, kInfo, kWarn, kError, kOff };

// "trace", "debug", "info", "warn", "error" or "off"; nullopt for anything else.
std::optional<LogLevel> ParseLogLevel(std::string_view name);
void SetLogLevel(LogLevel level);

namespace log_detail {
extern std::atomic<int> level;
extern std::atomic<bool> sql_trace;
}  // namespace log_detail

// Whether a message of `level` is written.
inline bool LogOn(LogLevel level) noexcept {
  return level != LogLevel::kOff &&
         static_cast<int>(level) >= log_detail::level.load(std::memory_order_relaxed);
}
void WriteLog(LogLevel level, std::string_view text);
template <class... Args>
void Log(LogLevel level, fmt::format_string<Args...> format, Args&&... args) {
  if (LogOn(level)) WriteLog(level, fmt::format(format, std::forward<Args>(args)...));
}

// The statement trace: each statement as written and as run, its parameters and its time.
void SetSqlTrace(bool on);
inline bool SqlTraceOn() noexcept { return log_detail::sql_trace.load(std::memory_order_relaxed); }
void WriteSqlTrace(std::string_view text);

// Messages and trace go to `out` instead of standard error (tests); null: back to standard
// error. `out` must outlive its use.
void SetLogStream(std::ostream* out);

}  // namespace qts

#endif  // QTS_CORE_LOG_H_
