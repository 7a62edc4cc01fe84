#include "host/services/settings_store.h"

#include <cstdlib>

namespace qts::host {

namespace {
std::string SectionKey(std::string_view app, std::string_view section) {
  std::string key = "Software\\";
  key += app;
  key += '\\';
  key += section;
  return key;
}
}  // namespace

SettingsStore::SettingsStore() : SettingsStore(DefaultPath()) {}

SettingsStore::SettingsStore(std::filesystem::path file) : registry_(std::move(file)) {}

std::filesystem::path SettingsStore::DefaultPath() {
  if (const char* env = std::getenv("QTS_SETTINGS"); env && *env) return env;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return std::filesystem::path(xdg) / "qts" / "settings.json";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".config" / "qts" / "settings.json";
}

std::optional<std::string> SettingsStore::Find(std::string_view app, std::string_view section,
                                               std::string_view key) const {
  return registry_.Load().GetValue(SectionKey(app, section), key);
}

std::string SettingsStore::GetSetting(std::string_view app, std::string_view section,
                                      std::string_view key, std::string_view default_value) const {
  auto found = Find(app, section, key);
  return found ? *found : std::string(default_value);
}

void SettingsStore::SaveSetting(std::string_view app, std::string_view section,
                                std::string_view key, std::string_view value) const {
  // A form saves its choices each time it closes; the same choices again need no write.
  if (std::optional<std::string> stored = Find(app, section, key); stored && *stored == value) {
    return;
  }
  registry_.Edit([&](RegistryData& data) { data.SetValue(SectionKey(app, section), key, value); });
}

void SettingsStore::DeleteSetting(std::string_view app, std::string_view section,
                                  std::string_view key) const {
  registry_.Edit([&](RegistryData& data) { data.RemoveValue(SectionKey(app, section), key); });
}

}  // namespace qts::host
