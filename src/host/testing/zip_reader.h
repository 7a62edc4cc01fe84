// Reads the members of a zip file (an XLSX workbook) for tests: the central directory names
// each member, its local header leads to its data, stored or deflated.
#ifndef QTS_HOST_TESTING_ZIP_READER_H_
#define QTS_HOST_TESTING_ZIP_READER_H_

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

namespace qts::testing {

// Every member of the zip at `path` by name, uncompressed. Throws std::runtime_error for a
// file that is no zip this reader understands.
inline std::map<std::string, std::string> ReadZip(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string z((std::istreambuf_iterator<char>(in)), {});
  auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(z.at(at)) |
                                 static_cast<unsigned char>(z.at(at + 1)) << 8);
  };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  const size_t end = z.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos) throw std::runtime_error("no end of central directory");
  const uint32_t entries = u16(end + 10);
  size_t at = u32(end + 16);
  std::map<std::string, std::string> members;
  for (uint32_t i = 0; i < entries; ++i) {
    if (z.compare(at, 4, std::string("PK\x01\x02", 4)) != 0) {
      throw std::runtime_error("bad central directory entry");
    }
    const uint32_t method = u16(at + 10);
    const uint32_t compressed = u32(at + 20);
    const uint32_t size = u32(at + 24);
    const uint32_t name_length = u16(at + 28);
    const uint32_t extra = u16(at + 30);
    const uint32_t comment = u16(at + 32);
    const uint32_t local = u32(at + 42);
    const std::string name = z.substr(at + 46, name_length);
    at += 46 + name_length + extra + comment;
    const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
    std::string out(size, '\0');
    if (method == 0) {
      out = z.substr(data, size);
    } else if (method == 8) {
      z_stream stream{};
      if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2");
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(z.data() + data));
      stream.avail_in = compressed;
      stream.next_out = reinterpret_cast<Bytef*>(out.data());
      stream.avail_out = size;
      const int result = inflate(&stream, Z_FINISH);
      inflateEnd(&stream);
      if (result != Z_STREAM_END) throw std::runtime_error("cannot inflate " + name);
    } else {
      throw std::runtime_error("unknown method for " + name);
    }
    members[name] = std::move(out);
  }
  return members;
}

}  // namespace qts::testing

#endif  // QTS_HOST_TESTING_ZIP_READER_H_
