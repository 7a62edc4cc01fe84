// The error model of the old platform: an error has a number, a source and a description,
// and travels as an exception until someone handles it.
#ifndef QTS_CORE_ERROR_H_
#define QTS_CORE_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/error_numbers.h"

namespace qts {

// The platform's own text for its numbers (kErrInvalidCall ... kErrNoSuchMember, not
// kErrOutOfMemory, kErrInternal or kErrFileAccess, whose raisers describe them); "Application-
// defined or object-defined error" for any other.
std::string_view StandardErrorText(int32_t number);

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string source, std::string description);
  // A platform error whose description is the platform's standard text.
  explicit Error(int32_t number, std::string source = {});

  int32_t Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

// Number as it is usually shown: hexadecimal for component errors, decimal otherwise.
std::string FormatErrorNumber(int32_t number);

}  // namespace qts

#endif  // QTS_CORE_ERROR_H_
