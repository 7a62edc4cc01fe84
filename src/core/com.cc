#include "core/com.h"

namespace qts {

namespace {
thread_local std::optional<Error> g_error_info;
}

void SetErrorInfo(const Error& error) { g_error_info = error; }

void ClearErrorInfo() { g_error_info.reset(); }

std::optional<Error> TakeErrorInfo() {
  std::optional<Error> taken = std::move(g_error_info);
  g_error_info.reset();
  return taken;
}

}  // namespace qts
