#include "core/log.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "core/text.h"

namespace qts {

namespace log_detail {
std::atomic<int> level{static_cast<int>(LogLevel::kOff)};
std::atomic<bool> sql_trace{false};
}  // namespace log_detail

namespace {

struct Loggers {
  std::mutex mutex;
  std::shared_ptr<spdlog::logger> host;  // "qts: [level] text"
  std::shared_ptr<spdlog::logger> sql;   // the trace, as written
};

std::shared_ptr<spdlog::sinks::sink> SinkFor(std::ostream* out) {
  if (out != nullptr) return std::make_shared<spdlog::sinks::ostream_sink_mt>(*out, true);
  return std::make_shared<spdlog::sinks::stderr_sink_mt>();
}

// Each logger has a sink of its own: a sink holds one pattern.
void SetPatterns(Loggers& l) {
  l.host->set_pattern("qts: [%l] %v");
  l.sql->set_pattern("%v");
}

Loggers& TheLoggers() {
  static Loggers* loggers = [] {
    auto* l = new Loggers;  // never destroyed: messages may come from other statics' ends
    l->host = std::make_shared<spdlog::logger>("qts", SinkFor(nullptr));
    l->sql = std::make_shared<spdlog::logger>("qts.sql", SinkFor(nullptr));
    SetPatterns(*l);
    l->host->set_level(spdlog::level::trace);
    l->sql->set_level(spdlog::level::trace);
    return l;
  }();
  return *loggers;
}

spdlog::level::level_enum SpdlogLevel(LogLevel level) {
  switch (level) {
    case LogLevel::kTrace:
      return spdlog::level::trace;
    case LogLevel::kDebug:
      return spdlog::level::debug;
    case LogLevel::kInfo:
      return spdlog::level::info;
    case LogLevel::kWarn:
      return spdlog::level::warn;
    case LogLevel::kError:
      return spdlog::level::err;
    case LogLevel::kOff:
      break;
  }
  return spdlog::level::off;
}

// QTS_LOG_LEVEL and QTS_TRACE_SQL, read once when the library loads, so that a program
// embedding the host kit gets them too.
const bool kFromEnvironment = [] {
  if (const char* level = std::getenv("QTS_LOG_LEVEL"); level && *level) {
    if (std::optional<LogLevel> parsed = ParseLogLevel(level)) SetLogLevel(*parsed);
  }
  if (const char* trace = std::getenv("QTS_TRACE_SQL"); trace && *trace) {
    SetSqlTrace(std::string_view(trace) != "0");
  }
  return true;
}();

}  // namespace

std::optional<LogLevel> ParseLogLevel(std::string_view name) {
  static constexpr std::pair<std::string_view, LogLevel> kNames[] = {
      {"trace", LogLevel::kTrace}, {"debug", LogLevel::kDebug}, {"info", LogLevel::kInfo},
      {"warn", LogLevel::kWarn},   {"error", LogLevel::kError}, {"off", LogLevel::kOff}};
  for (const auto& [text, level] : kNames) {
    if (EqualsIgnoreCase(name, text)) return level;
  }
  return std::nullopt;
}

void SetLogLevel(LogLevel level) {
  log_detail::level.store(static_cast<int>(level), std::memory_order_relaxed);
}

void WriteLog(LogLevel level, std::string_view text) {
  Loggers& l = TheLoggers();
  std::lock_guard lock(l.mutex);
  l.host->log(SpdlogLevel(level), text);
}

void SetSqlTrace(bool on) { log_detail::sql_trace.store(on, std::memory_order_relaxed); }

void WriteSqlTrace(std::string_view text) {
  Loggers& l = TheLoggers();
  std::lock_guard lock(l.mutex);
  l.sql->info(text);
}

void SetLogStream(std::ostream* out) {
  Loggers& l = TheLoggers();
  std::lock_guard lock(l.mutex);
  l.host->sinks().assign(1, SinkFor(out));
  l.sql->sinks().assign(1, SinkFor(out));
  SetPatterns(l);
}

}  // namespace qts
