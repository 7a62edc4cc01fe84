// UTF-8 as the system stores and prints text: every text written to a book, the registry or a
// JSON answer must be well-formed UTF-8 (no stray continuation bytes, no overlong forms, no
// surrogates, nothing past U+10FFFF).
#ifndef QTS_CORE_UTF8_H_
#define QTS_CORE_UTF8_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace qts {

// The byte offset of the first byte that breaks UTF-8 in `text`; nullopt when it is all well
// formed.
std::optional<size_t> FirstBadUtf8Byte(std::string_view text) noexcept;

inline bool IsValidUtf8(std::string_view text) noexcept { return !FirstBadUtf8Byte(text); }

}  // namespace qts

#endif  // QTS_CORE_UTF8_H_
