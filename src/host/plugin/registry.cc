#include "host/plugin/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "core/utf8.h"
#include "host/plugin/install_layout.h"

namespace qts::host {

namespace {

constexpr std::string_view kFormat = "qts-registry/1";

std::string Normalize(std::string_view key) {
  // Trailing and doubled separators do not make a different key.
  std::string out;
  for (char c : key) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out.push_back(c);
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrRegistry, "Registry", std::move(description));
}

// An exclusive lock on "<file>.lock", held for the life of the object.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& file) {
    std::filesystem::path lock_path = file;
    lock_path += ".lock";
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) Fail("cannot open " + lock_path.string() + ": " + std::strerror(errno));
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        int err = errno;
        ::close(fd_);
        Fail("cannot lock " + lock_path.string() + ": " + std::strerror(err));
      }
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }

 private:
  int fd_ = -1;
};

}  // namespace

RegistryData::Key& RegistryData::Ensure(std::string_view key) {
  std::string path = Normalize(key);
  if (path.empty()) Fail("empty registry key");
  // Parents exist whenever a child does, as in any tree of keys.
  size_t pos = 0;
  while ((pos = path.find('\\', pos)) != std::string::npos) {
    std::string parent = path.substr(0, pos);
    auto [it, inserted] = keys_.try_emplace(AsciiLower(parent));
    if (inserted) it->second.path = parent;
    ++pos;
  }
  auto [it, inserted] = keys_.try_emplace(AsciiLower(path));
  if (inserted) it->second.path = path;
  return it->second;
}

void RegistryData::SetValue(std::string_view key, std::string_view name, std::string_view value) {
  const std::pair<std::string_view, std::string> parts[] = {
      {key, "the key"}, {name, "the value name"}, {value, "the value"}};
  for (const auto& [text, what] : parts) {
    if (std::optional<size_t> bad = FirstBadUtf8Byte(text)) {
      Fail("the registry holds UTF-8 text only: byte " + std::to_string(*bad + 1) + " of " + what +
           (what == "the value" ? " of \"" + std::string(name) + "\"" : "") + " is not UTF-8");
    }
  }
  Key& k = Ensure(key);
  k.values[AsciiLower(name)] = {std::string(name), std::string(value)};
}

std::optional<std::string> RegistryData::GetValue(std::string_view key,
                                                  std::string_view name) const {
  auto it = keys_.find(AsciiLower(Normalize(key)));
  if (it == keys_.end()) return std::nullopt;
  auto v = it->second.values.find(AsciiLower(name));
  if (v == it->second.values.end()) return std::nullopt;
  return v->second.second;
}

bool RegistryData::KeyExists(std::string_view key) const {
  return keys_.count(AsciiLower(Normalize(key))) > 0;
}

bool RegistryData::HasValues(std::string_view key) const {
  auto it = keys_.find(AsciiLower(Normalize(key)));
  return it != keys_.end() && !it->second.values.empty();
}

bool RegistryData::RemoveValue(std::string_view key, std::string_view name) {
  auto it = keys_.find(AsciiLower(Normalize(key)));
  return it != keys_.end() && it->second.values.erase(AsciiLower(name)) > 0;
}

std::vector<std::string> RegistryData::SubKeys(std::string_view key) const {
  std::string prefix = AsciiLower(Normalize(key));
  if (!prefix.empty()) prefix += '\\';
  std::vector<std::string> out;
  for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
    const std::string& lower = it->first;
    if (lower.compare(0, prefix.size(), prefix) != 0) break;
    if (lower.find('\\', prefix.size()) != std::string::npos) continue;
    out.push_back(it->second.path.substr(prefix.size()));
  }
  return out;
}

bool RegistryData::DeleteTree(std::string_view key) {
  std::string lower = AsciiLower(Normalize(key));
  if (lower.empty()) return false;
  bool removed = keys_.erase(lower) > 0;
  std::string prefix = lower + '\\';
  for (auto it = keys_.lower_bound(prefix);
       it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
    it = keys_.erase(it);
    removed = true;
  }
  return removed;
}

std::string RegistryData::ToJson() const {
  nlohmann::ordered_json keys = nlohmann::ordered_json::object();
  for (const auto& [lower, key] : keys_) {
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    for (const auto& [lname, nv] : key.values) values[nv.first] = nv.second;
    keys[key.path] = std::move(values);
  }
  nlohmann::ordered_json doc;
  doc["format"] = kFormat;
  doc["keys"] = std::move(keys);
  return doc.dump(2) + "\n";
}

RegistryData RegistryData::FromJson(std::string_view text, std::string_view origin) {
  nlohmann::json doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  // The format is compared only once it is known to be text: value() raises a JSON type error
  // on a format of any other type.
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("format") ||
      !doc["format"].is_string() || doc["format"].get<std::string>() != kFormat ||
      !doc.contains("keys") || !doc["keys"].is_object()) {
    Fail(std::string(origin) + " is not a registry file (expected format \"" +
         std::string(kFormat) + "\")");
  }
  RegistryData data;
  for (auto& [path, values] : doc["keys"].items()) {
    if (!values.is_object()) Fail(std::string(origin) + ": key \"" + path + "\" is malformed");
    // "" or only separators: no key a program could have written or could ask for.
    if (Normalize(path).empty()) Fail(std::string(origin) + ": key \"" + path + "\" has no name");
    data.Ensure(path);
    for (auto& [name, value] : values.items()) {
      if (!value.is_string()) {
        Fail(std::string(origin) + ": value \"" + name + "\" of key \"" + path + "\" is not text");
      }
      data.SetValue(path, name, value.get<std::string>());
    }
  }
  return data;
}

Registry::Registry(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path Registry::DefaultPath() {
  if (const char* env = std::getenv("QTS_REGISTRY"); env && *env) return env;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return std::filesystem::path(xdg) / "qts" / "registry.json";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".config" / "qts" / "registry.json";
}

std::filesystem::path Registry::DefaultsPath() {
  if (const char* env = std::getenv("QTS_REGISTRY_DEFAULTS"); env && *env) return env;
  const std::filesystem::path data = HostDataDir();
  return data.empty() ? std::filesystem::path() : data / "registry.json";
}

RegistryData Registry::Load() const {
  std::ifstream in(file_, std::ios::binary);
  if (!in) {
    if (!std::filesystem::exists(file_)) return {};
    Fail("cannot read " + file_.string());
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  return RegistryData::FromJson(buffer.str(), file_.string());
}

void Registry::Edit(const std::function<void(RegistryData&)>& edit) const {
  std::error_code ec;
  if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), ec);
  FileLock lock(file_);
  RegistryData data = Load();
  edit(data);
  std::filesystem::path tmp = file_;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) Fail("cannot write " + tmp.string());
    out << data.ToJson();
    out.flush();
    if (!out) Fail("cannot write " + tmp.string());
  }
  std::filesystem::rename(tmp, file_, ec);
  if (ec) Fail("cannot replace " + file_.string() + ": " + ec.message());
  Log(LogLevel::kInfo, "wrote the registry {}", file_.string());
}

}  // namespace qts::host
