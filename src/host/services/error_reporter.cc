#include "host/services/error_reporter.h"

#include <new>
#include <utility>

#include "host/ui/operator.h"

namespace qts::host {

namespace {
thread_local ErrorInfo g_current_error;
}  // namespace

ErrorInfo ErrorInfo::From(const Error& error) {
  return ErrorInfo{error.Number(), error.Source(), error.Description()};
}

ErrorInfo ErrorInfo::From(const std::exception_ptr& exception) {
  if (!exception) return {};
  try {
    std::rethrow_exception(exception);
  } catch (const Error& e) {
    return From(e);
  } catch (const std::bad_alloc&) {
    return ErrorInfo{kErrOutOfMemory, {}, "Out of memory"};
  } catch (const std::exception& e) {
    return ErrorInfo{kErrInternal, {}, e.what()};
  } catch (...) {
    return ErrorInfo{kErrInternal, {}, "unknown exception"};
  }
}

ErrorInfo ErrorInfo::InFlight() { return From(std::current_exception()); }

const ErrorInfo& CurrentError::Get() { return g_current_error; }

void CurrentError::Set(ErrorInfo info) { g_current_error = std::move(info); }

bool CurrentError::Capture() {
  ErrorInfo info = ErrorInfo::InFlight();
  if (!info.IsSet()) return false;
  Set(std::move(info));
  return true;
}

void CurrentError::Clear() { g_current_error = ErrorInfo{}; }

void ErrorReporter::Capture() {
  CurrentError::Capture();
  captured_ = CurrentError::Get();
}

void ErrorReporter::Capture(const Error& error) {
  captured_ = ErrorInfo::From(error);
  CurrentError::Set(captured_);
}

void ErrorReporter::Report() const { ShowErrorInfo(captured_); }

void ShowErrorInfo(const ErrorInfo& info) {
  if (!info.IsSet()) return;
  CurrentOperator().ShowError(info.number, info.source, info.description);
}

}  // namespace qts::host
