#include "core/error.h"

#include <fmt/format.h>

namespace qts {

std::string_view StandardErrorText(int32_t number) {
  switch (number) {
    case kErrInvalidCall:
      return "Invalid procedure call or argument";
    case kErrOverflow:
      return "Overflow";
    case kErrSubscript:
      return "Subscript out of range";
    case kErrDivisionByZero:
      return "Division by zero";
    case kErrTypeMismatch:
      return "Type mismatch";
    case kErrInvalidUseOfNull:
      return "Invalid use of Null";
    case kErrObjectRequired:
      return "Object required";
    case kErrCannotCreate:
      return "ActiveX component can't create object";
    case kErrNoInterface:
      return "Class does not support Automation or does not support expected interface";
    case kErrNoSuchMember:
      return "Object doesn't support this property or method";
    default:
      return "Application-defined or object-defined error";
  }
}

namespace {
std::string WhatText(int32_t number, const std::string& source, const std::string& description) {
  if (source.empty()) return fmt::format("error {}: {}", FormatErrorNumber(number), description);
  return fmt::format("{}: error {}: {}", source, FormatErrorNumber(number), description);
}
}  // namespace

Error::Error(int32_t number, std::string source, std::string description)
    : std::runtime_error(WhatText(number, source, description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Error::Error(int32_t number, std::string source)
    : Error(number, std::move(source), std::string(StandardErrorText(number))) {}

std::string FormatErrorNumber(int32_t number) {
  if (number < 0) return fmt::format("0x{:08X}", static_cast<uint32_t>(number));
  return std::to_string(number);
}

}  // namespace qts
