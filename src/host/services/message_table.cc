#include "host/services/message_table.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "core/error.h"
#include "core/log.h"
#include "host/plugin/install_layout.h"
#include "host/services/file_cache.h"

namespace qts::host {

namespace {

[[noreturn]] void Fail(std::string description) {
  throw Error(kErrMessageTable, "MessageTable", std::move(description));
}

}  // namespace

std::filesystem::path MessageTable::ResourceDir() {
  if (const char* env = std::getenv("QTS_RESOURCES"); env && *env) return env;
  if (std::filesystem::path data = HostDataDir(); !data.empty()) {
    std::error_code ec;
    if (std::filesystem::is_directory(data / "resources", ec)) return data / "resources";
  }
  return QTS_SOURCE_RESOURCES;
}

void MessageTable::SetResourceName(std::string_view name) {
  using Texts = std::map<int32_t, std::string>;
  // Every table of a resource set shares its texts: forms look captions up all the time.
  static ParsedFileCache<Texts> cache;
  std::filesystem::path file = ResourceDir() / (std::string(name) + ".json");
  std::shared_ptr<const Texts> texts = cache.Get(file, [&](const std::string& text) {
    nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || !doc.contains("messages") ||
        !doc["messages"].is_object()) {
      Fail(file.string() + " is not a message resource file");
    }
    Texts parsed;
    for (auto& [key, value] : doc["messages"].items()) {
      char* end = nullptr;
      long id = std::strtol(key.c_str(), &end, 10);
      if (key.empty() || *end != '\0' || !value.is_string()) {
        Fail(file.string() + ": entry \"" + key + "\" is not a numbered text");
      }
      parsed[static_cast<int32_t>(id)] = value.get<std::string>();
    }
    Log(LogLevel::kDebug, "message resources \"{}\": {} texts from {}", name, parsed.size(),
        file.string());
    return parsed;
  });
  if (!texts) Fail("resource set \"" + std::string(name) + "\" not found (" + file.string() + ")");
  resource_name_ = std::string(name);
  texts_ = std::move(texts);
}

std::string MessageTable::GetText(int32_t id) const {
  if (!texts_) Fail("no resource set chosen before asking for message " + std::to_string(id));
  auto it = texts_->find(id);
  if (it != texts_->end()) return it->second;
  return "[" + resource_name_ + " #" + std::to_string(id) + "]";
}

bool MessageTable::HasText(int32_t id) const { return texts_ && texts_->count(id) > 0; }

}  // namespace qts::host
