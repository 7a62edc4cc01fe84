// What the fuzz targets share: the input as text, and the verdict on a broken promise.
#ifndef QTS_FUZZ_FUZZ_CHECK_H_
#define QTS_FUZZ_FUZZ_CHECK_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "core/error.h"

namespace qts::fuzz {

inline std::string_view InputText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Prints what was broken, the detail and the input (shortened), and aborts: libFuzzer keeps the
// input as a crash.
[[noreturn]] inline void Broken(std::string_view what, std::string_view detail,
                                std::string_view input) {
  constexpr size_t kShown = 2000;
  std::fprintf(stderr, "\n*** %.*s\n*** %.*s\n*** input (%zu bytes): %.*s\n",
               static_cast<int>(what.size()), what.data(), static_cast<int>(detail.size()),
               detail.data(), input.size(), static_cast<int>(std::min(input.size(), kShown)),
               input.data());
  std::abort();
}

inline void Check(bool ok, std::string_view what, std::string_view detail, std::string_view input) {
  if (!ok) Broken(what, detail, input);
}

// The description of the exception being handled, for Broken.
inline std::string CurrentException() {
  try {
    throw;
  } catch (const Error& e) {
    return "Error " + std::to_string(e.Number()) + " [" + e.Source() + "]: " + e.Description();
  } catch (const std::exception& e) {
    return std::string("std::exception: ") + e.what();
  } catch (...) {
    return "an exception of unknown type";
  }
}

}  // namespace qts::fuzz

#endif  // QTS_FUZZ_FUZZ_CHECK_H_
