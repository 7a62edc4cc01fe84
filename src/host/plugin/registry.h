// The host kit's registry: a tree of keys holding named text values, kept in one JSON file.
// Components record their classes here when they register, and the host finds the library
// behind a programmatic identifier here. Key and value names are case-insensitive; a key path
// separates its levels with '\'.
#ifndef QTS_HOST_PLUGIN_REGISTRY_H_
#define QTS_HOST_PLUGIN_REGISTRY_H_

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qts::host {

// The keys and values as they stand in memory.
class RegistryData {
 public:
  // Creates the key (and its parents) when missing. The default value has the empty name.
  void SetValue(std::string_view key, std::string_view name, std::string_view value);
  std::optional<std::string> GetValue(std::string_view key, std::string_view name = "") const;
  bool KeyExists(std::string_view key) const;
  // Whether the key holds any value, the default one or a named one.
  bool HasValues(std::string_view key) const;
  // Removes one value; returns whether it was there.
  bool RemoveValue(std::string_view key, std::string_view name);
  // Names of the immediate sub-keys of `key`, as spelled when created.
  std::vector<std::string> SubKeys(std::string_view key) const;
  // Removes the key, its values and every key below it. Returns whether anything was removed.
  bool DeleteTree(std::string_view key);
  size_t KeyCount() const { return keys_.size(); }

  std::string ToJson() const;
  // Raises an error naming `origin` when the text is not a registry file.
  static RegistryData FromJson(std::string_view text, std::string_view origin);

 private:
  struct Key {
    std::string path;  // as spelled
    std::map<std::string, std::pair<std::string, std::string>>
        values;  // lower name -> (name, value)
  };
  Key& Ensure(std::string_view key);
  std::map<std::string, Key> keys_;  // lower-case path -> key
};

class Registry {
 public:
  explicit Registry(std::filesystem::path file);

  // $QTS_REGISTRY, else $XDG_CONFIG_HOME/qts/registry.json, else ~/.config/qts/registry.json.
  static std::filesystem::path DefaultPath();
  // The registry defaults installed with the host kit, read when the user's registry does not
  // know a class: $QTS_REGISTRY_DEFAULTS, else registry.json in the host kit's data folder.
  // Their server paths are relative to the host kit's library folder.
  static std::filesystem::path DefaultsPath();

  const std::filesystem::path& Path() const { return file_; }

  // The file's contents; an absent file reads as an empty registry.
  RegistryData Load() const;
  // Reads, edits and writes back the file as one step: other processes editing the same file
  // wait for it (a lock file beside it), and a crash never leaves a half-written file.
  void Edit(const std::function<void(RegistryData&)>& edit) const;

 private:
  std::filesystem::path file_;
};

}  // namespace qts::host

#endif  // QTS_HOST_PLUGIN_REGISTRY_H_
