#include "db/trace.h"

#include <fmt/format.h>

#include <mutex>
#include <unordered_map>

#include "core/log.h"

namespace qts::db {

namespace {

// The T-SQL each backend text was last written from; filled only while tracing.
struct Translations {
  std::mutex mutex;
  std::unordered_map<std::string, std::string> tsql;
};

Translations& TheTranslations() {
  static Translations* t = new Translations;  // never destroyed: statements may outlive statics
  return *t;
}

std::string TsqlOf(std::string_view sql) {
  Translations& t = TheTranslations();
  std::lock_guard lock(t.mutex);
  auto it = t.tsql.find(std::string(sql));
  return it == t.tsql.end() ? std::string() : it->second;
}

std::string Milliseconds(std::chrono::steady_clock::duration took) {
  return fmt::format("{:.3f} ms", std::chrono::duration<double, std::milli>(took).count());
}

}  // namespace

void NoteTranslation(std::string_view sql, std::string_view tsql) {
  if (!SqlTraceOn()) return;
  Translations& t = TheTranslations();
  std::lock_guard lock(t.mutex);
  t.tsql.insert_or_assign(std::string(sql), std::string(tsql));
}

void StatementTrace::Bound(int index, const Value& value) {
  if (index < 1) return;
  if (params_.size() < static_cast<size_t>(index)) params_.resize(index, "NULL");
  params_[index - 1] = value.ToLiteral();
}

void StatementTrace::Starting() {
  if (running_) return;
  running_ = true;
  rows_ = 0;
  start_ = std::chrono::steady_clock::now();
}

void StatementTrace::Stepped(std::string_view sql, bool row) {
  Starting();
  if (row) {
    ++rows_;
    return;
  }
  Write(sql, fmt::format("{} row(s)", rows_));
}

void StatementTrace::Rewound(std::string_view sql) {
  if (running_) Write(sql, fmt::format("{} row(s) read, not to the end", rows_));
}

void StatementTrace::Failed(std::string_view sql, std::string_view error) {
  if (!running_) start_ = std::chrono::steady_clock::now();
  running_ = true;
  Write(sql, fmt::format("failed: {}", error));
}

void StatementTrace::Write(std::string_view sql, std::string_view outcome) {
  const auto took = std::chrono::steady_clock::now() - start_;
  running_ = false;
  std::string text;
  if (std::string tsql = TsqlOf(sql); !tsql.empty()) text += fmt::format("-- T-SQL: {}\n", tsql);
  text += fmt::format("-- run:   {}\n", runs_as_.empty() ? sql : std::string_view(runs_as_));
  if (!params_.empty()) {
    text += "-- params:";
    for (size_t i = 0; i < params_.size(); ++i)
      text += fmt::format(" {}{}={}", mark_, i + 1, params_[i]);
    text += "\n";
  }
  text += fmt::format("-- {}, {}", Milliseconds(took), outcome);
  WriteSqlTrace(text);
}

void TraceScript(std::string_view sql, std::chrono::steady_clock::duration took) {
  WriteSqlTrace(fmt::format("-- run:   {}\n-- {}, script", sql, Milliseconds(took)));
}

}  // namespace qts::db
