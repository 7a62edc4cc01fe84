// The error model of the old platform: an error has a number, a source and a description,
// and travels as an exception until someone handles it.
#ifndef QTS_CORE_ERROR_H_
#define QTS_CORE_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qts {

// Numbers the platform itself raises.
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrSubscript = 9;
inline constexpr int32_t kErrDivisionByZero = 11;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrInvalidCall = 5;
inline constexpr int32_t kErrObjectRequired = 424;
inline constexpr int32_t kErrInvalidUseOfNull = 94;
inline constexpr int32_t kErrNoSuchMember = 438;
inline constexpr int32_t kErrNoInterface = 430;
inline constexpr int32_t kErrCannotCreate = 429;

// Errors raised by the component and the host kit carry this base plus a small number.
inline constexpr int32_t kComponentErrorBase = static_cast<int32_t>(0x80040000u);
constexpr int32_t ComponentError(int32_t n) { return kComponentErrorBase + n; }

// The platform's own text for the numbers above; "Application-defined or object-defined error"
// for any other.
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
