// 128-bit identifiers of interfaces and classes. Each one is written in the source once, as
// text, and never regenerated: the host and other plug-ins hold them.
#ifndef QTS_CORE_GUID_H_
#define QTS_CORE_GUID_H_

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qts {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend constexpr bool operator==(const Guid&, const Guid&) = default;
  friend constexpr auto operator<=>(const Guid&, const Guid&) = default;

  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as the registry writes it.
  std::string ToString() const;
  // Accepts the form above with or without braces, any case; nullopt for anything else.
  static std::optional<Guid> Parse(std::string_view text);
};

namespace detail {
constexpr uint32_t HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  throw "invalid hexadecimal digit in identifier";  // only reachable at compile time
}
constexpr uint32_t HexField(const char* s, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 4) | HexDigit(s[i]);
  return v;
}
}  // namespace detail

// Compile-time identifier from "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (36 characters).
consteval Guid MakeGuid(const char (&s)[37]) {
  if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') throw "malformed identifier";
  Guid g;
  g.data1 = detail::HexField(s, 8);
  g.data2 = static_cast<uint16_t>(detail::HexField(s + 9, 4));
  g.data3 = static_cast<uint16_t>(detail::HexField(s + 14, 4));
  g.data4[0] = static_cast<uint8_t>(detail::HexField(s + 19, 2));
  g.data4[1] = static_cast<uint8_t>(detail::HexField(s + 21, 2));
  for (int i = 0; i < 6; ++i)
    g.data4[2 + i] = static_cast<uint8_t>(detail::HexField(s + 24 + 2 * i, 2));
  return g;
}

}  // namespace qts

template <>
struct std::hash<qts::Guid> {
  size_t operator()(const qts::Guid& g) const noexcept {
    uint64_t lo = 0;
    for (uint8_t b : g.data4) lo = (lo << 8) | b;
    uint64_t hi = (uint64_t{g.data1} << 32) | (uint64_t{g.data2} << 16) | g.data3;
    return std::hash<uint64_t>{}(hi ^ (lo * 0x9E3779B97F4A7C15ull));
  }
};

#endif  // QTS_CORE_GUID_H_
