// The per-user application settings store: texts filed under application, section and key,
// kept across runs. Values always come back as text; the caller converts them.
#ifndef QTS_HOST_SERVICES_SETTINGS_STORE_H_
#define QTS_HOST_SERVICES_SETTINGS_STORE_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/plugin/registry.h"

namespace qts::host {

class SettingsStore {
 public:
  // The store of the current user: $QTS_SETTINGS, else settings.json beside the registry's
  // default location (~/.config/qts/).
  SettingsStore();
  explicit SettingsStore(std::filesystem::path file);

  static std::filesystem::path DefaultPath();

  // The stored text, or `default_value` when the key is absent.
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view default_value = "") const;
  std::optional<std::string> Find(std::string_view app, std::string_view section,
                                  std::string_view key) const;
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) const;
  // Removes one key; removing an absent key is not an error.
  void DeleteSetting(std::string_view app, std::string_view section, std::string_view key) const;

  const std::filesystem::path& Path() const { return registry_.Path(); }

 private:
  Registry registry_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_SETTINGS_STORE_H_
