// The error being handled, and the host's error reporter.
//
// The old platform kept the last raised error in one object until it was cleared, and its
// error display showed "the current error". Here errors travel as exceptions, so the current
// error is a small record that catch sites fill: CurrentError::Capture() inside a catch block
// records the exception being handled; CurrentError::Set records an error explicitly. The
// record stays until it is replaced or cleared. It is kept per thread, as the old one was.
#ifndef QTS_HOST_SERVICES_ERROR_REPORTER_H_
#define QTS_HOST_SERVICES_ERROR_REPORTER_H_

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/object.h"

namespace qts::host {

// Number, source and description of one error; number 0 means "no error".
struct ErrorInfo {
  int32_t number = 0;
  std::string source;
  std::string description;

  bool IsSet() const { return number != 0; }
  static ErrorInfo From(const Error& error);
  // Any exception as an error: an Error keeps its number, source and description;
  // std::bad_alloc is error 7; another std::exception is error 51 described by what();
  // anything else is error 51 "unknown exception". A null pointer gives "no error".
  static ErrorInfo From(const std::exception_ptr& exception);
  // The exception being handled now (no error outside a catch block).
  static ErrorInfo InFlight();
};

class CurrentError {
 public:
  // The error recorded last on this thread; IsSet() is false when none is.
  static const ErrorInfo& Get();
  static void Set(ErrorInfo info);
  static void Set(const Error& error) { Set(ErrorInfo::From(error)); }
  // Records the exception being handled. Outside a catch block it changes nothing and
  // returns false.
  static bool Capture();
  static void Clear();
};

// Collects an error at a catch site and reports it to the operator later, after the site has
// cleaned up (closed windows, released objects).
class ErrorReporter : public virtual Object {
 public:
  std::string_view ClassName() const override { return "ErrorReporter"; }

  // Takes the exception being handled (when called inside a catch block), otherwise the
  // current error record. The captured error also becomes the current error.
  void Capture();
  void Capture(const Error& error);
  const ErrorInfo& Captured() const { return captured_; }

  // Shows the captured error through the current operator. Does nothing when nothing was
  // captured.
  void Report() const;

 private:
  ErrorInfo captured_;
};

// Shows an error record through the current operator; a record without error is not shown.
void ShowErrorInfo(const ErrorInfo& info);

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_ERROR_REPORTER_H_
