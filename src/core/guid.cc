#include "core/guid.h"

#include <fmt/format.h>

namespace qts {

std::string Guid::ToString() const {
  return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}",
                     data1, data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4],
                     data4[5], data4[6], data4[7]);
}

std::optional<Guid> Guid::Parse(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  auto hex = [&](size_t pos, size_t n, uint32_t& out) {
    out = 0;
    for (size_t i = 0; i < n; ++i) {
      char c = text[pos + i];
      uint32_t d;
      if (c >= '0' && c <= '9')
        d = static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        d = static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        d = static_cast<uint32_t>(c - 'A' + 10);
      else
        return false;
      out = (out << 4) | d;
    }
    return true;
  };
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return std::nullopt;
  Guid g;
  uint32_t v = 0;
  if (!hex(0, 8, v)) return std::nullopt;
  g.data1 = v;
  if (!hex(9, 4, v)) return std::nullopt;
  g.data2 = static_cast<uint16_t>(v);
  if (!hex(14, 4, v)) return std::nullopt;
  g.data3 = static_cast<uint16_t>(v);
  for (size_t i = 0; i < 2; ++i) {
    if (!hex(19 + 2 * i, 2, v)) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(v);
  }
  for (size_t i = 0; i < 6; ++i) {
    if (!hex(24 + 2 * i, 2, v)) return std::nullopt;
    g.data4[2 + i] = static_cast<uint8_t>(v);
  }
  return g;
}

}  // namespace qts
