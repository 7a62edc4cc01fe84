// Resource files (message tables, print layouts) kept parsed for the life of the process: a
// parameter form asks for caption texts many times, and a report is printed again and again,
// so neither should parse its file each time. The file is still read on every use and parsed
// again when its text differs from what was parsed, so a resource edited while a program runs
// is seen on its next use (reading a small file costs little beside parsing it).
#ifndef QTS_HOST_SERVICES_FILE_CACHE_H_
#define QTS_HOST_SERVICES_FILE_CACHE_H_

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

namespace qts::host {

// The whole text of `path`; nullopt when it cannot be read.
inline std::optional<std::string> ReadFileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return std::move(text).str();
}

// T is what a file parses into. Safe to use from several threads.
template <class T>
class ParsedFileCache {
 public:
  // The parsed content of `path`: `parse(text)` over the file's text, made on the first use and
  // whenever the text has changed since. nullptr when the file cannot be read. An exception
  // from `parse` propagates and nothing is kept, so a broken file raises its error on every use.
  template <class Parse>
  std::shared_ptr<const T> Get(const std::filesystem::path& path, Parse&& parse) {
    std::optional<std::string> text = ReadFileText(path);
    if (!text) return nullptr;
    const std::string key = path.string();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = entries_.find(key);
      if (it != entries_.end() && it->second.first == *text) return it->second.second;
    }
    auto value = std::make_shared<const T>(parse(*text));
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[key] = {std::move(*text), value};
    return value;
  }

 private:
  std::mutex mutex_;
  // By path: the text parsed and what it parsed into.
  std::map<std::string, std::pair<std::string, std::shared_ptr<const T>>> entries_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_FILE_CACHE_H_
