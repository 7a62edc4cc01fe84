// Resource files (message tables, print layouts) kept parsed for the life of the process: a
// parameter form asks for caption texts many times, and a report is printed again and again,
// so neither should parse its file each time, nor read it.
//
// A file is known by its stamp (device, inode, size, modification and change times). A kept
// parse is served without reading the file while the stamp is the one it was read under and
// that stamp was already old enough to trust when it was read; otherwise the file is read and
// parsed again when its text differs. A file's times move in ticks of the kernel's clock, so a
// file written twice within one tick keeps its stamp: a stamp younger than kTrustedAgeNs is
// never trusted, and a resource edited while a program runs is seen on its next use.
#ifndef QTS_HOST_SERVICES_FILE_CACHE_H_
#define QTS_HOST_SERVICES_FILE_CACHE_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace qts::host {

// The whole text of `path`; nullopt when it cannot be read.
std::optional<std::string> ReadFileText(const std::filesystem::path& path);

// What the file system says of a file's content without reading it.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;
  // How long after the file's last change the stamp was taken (negative for a change dated
  // ahead of the clock).
  int64_t age_ns = 0;

  bool SameFile(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified_ns == other.modified_ns && changed_ns == other.changed_ns;
  }
};

// How old a file's last change must be for its stamp to stand for its text: well beyond a
// tick of the clock that dates changes.
inline constexpr int64_t kTrustedAgeNs = int64_t{2'000'000'000};

// The stamp of `path` now; nullopt when there is no such file.
std::optional<FileStamp> StampOf(const std::filesystem::path& path);

// T is what a file parses into. Safe to use from several threads.
template <class T>
class ParsedFileCache {
 public:
  // `trusted_age_ns`: how old a stamp must be to be served from without reading the file.
  explicit ParsedFileCache(int64_t trusted_age_ns = kTrustedAgeNs)
      : trusted_age_ns_(trusted_age_ns) {}

  // The parsed content of `path`: `parse(text)` over the file's text, made on the first use and
  // whenever the text has changed since. nullptr when the file cannot be read. An exception
  // from `parse` propagates and nothing is kept, so a broken file raises its error on every use.
  template <class Parse>
  std::shared_ptr<const T> Get(const std::filesystem::path& path, Parse&& parse) {
    // Taken before the read: a change during the read moves the stamp away from the one kept.
    const std::optional<FileStamp> stamp = StampOf(path);
    if (!stamp) return nullptr;
    const std::string key = path.string();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = entries_.find(key);
      if (it != entries_.end() && it->second.stamp.age_ns >= trusted_age_ns_ &&
          it->second.stamp.SameFile(*stamp)) {
        return it->second.value;
      }
    }
    std::optional<std::string> text = ReadFileText(path);
    if (!text) return nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = entries_.find(key);
      if (it != entries_.end() && it->second.text == *text) {
        it->second.stamp = *stamp;
        return it->second.value;
      }
    }
    auto value = std::make_shared<const T>(parse(*text));
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[key] = {std::move(*text), *stamp, value};
    return value;
  }

 private:
  struct Entry {
    std::string text;  // the text parsed
    FileStamp stamp;   // the file's stamp when it was last read
    std::shared_ptr<const T> value;
  };
  const int64_t trusted_age_ns_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;  // by path
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_FILE_CACHE_H_
