// Any text as a registry or settings file (both are the registry's JSON file: the settings
// store files its texts under "Software\<application>\<section>"). The text is either read or
// refused with the registry's error naming the file; nothing else may come out of it. What is
// read must survive what the host does with it next: every value is found again where the file
// put it, a value written into it and the whole written out read back the same, and the file
// read from disk as the settings store reads it gives the same answers.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "host/plugin/registry.h"
#include "host/services/settings_store.h"

namespace {

using qts::fuzz::Broken;
using qts::fuzz::Check;
using qts::fuzz::CurrentException;
namespace host = qts::host;

const std::filesystem::path& FilePath() {
  static const std::filesystem::path path = [] {
    // In memory where the machine has it: a file rewritten on every input costs a disk
    // write-back each time on an ordinary file system, several times the work of the input.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::filesystem::path dir = base / ("qts-registry-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir / "settings.json";
  }();
  // The folder goes when the run ends normally (a crash leaves it, with the input that did it).
  static const bool cleanup = std::atexit([] {
                                std::error_code ignored;
                                std::filesystem::remove_all(path.parent_path(), ignored);
                              }) == 0;
  (void)cleanup;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = qts::fuzz::InputText(data, size);
  std::optional<host::RegistryData> read;
  try {
    read = host::RegistryData::FromJson(text, "settings.json");
  } catch (const qts::Error& e) {
    Check(e.Description().find("settings.json") != std::string::npos,
          "a refused file whose error does not name it", CurrentException(), text);
  } catch (...) {
    Broken("reading the file raised something other than an Error", CurrentException(), text);
  }

  // The settings store reads the same file from disk and answers the same.
  {
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const host::SettingsStore store(FilePath());
  try {
    const std::optional<std::string> found =
        store.Find("Halden Enterprise", "General", "AppFormDebug");
    Check(read.has_value(), "the store read a file the registry refuses", "", text);
    Check(found == read->GetValue("Software\\Halden Enterprise\\General", "AppFormDebug"),
          "the store and the registry read the file differently", "", text);
  } catch (const qts::Error&) {
    Check(!read.has_value(), "the store refused a file the registry reads", CurrentException(),
          text);
  } catch (...) {
    Broken("the settings store raised something other than an Error", CurrentException(), text);
  }
  if (!read) return 0;

  std::string json;
  try {
    json = read->ToJson();
  } catch (...) {
    Broken("a registry read cannot be written", CurrentException(), text);
  }
  std::optional<host::RegistryData> again;
  try {
    again = host::RegistryData::FromJson(json, "written");
  } catch (...) {
    Broken("a registry written does not read back", CurrentException() + "\n" + json, text);
  }
  Check(again->ToJson() == json && again->KeyCount() == read->KeyCount(),
        "a registry written reads back differently", json, text);

  // A value saved into what was read, as the settings store saves one, is found there and
  // survives writing; the values that were there stay.
  try {
    again->SetValue("Software\\Halden Enterprise\\frmRep", "selStore", "'GS'");
    Check(again->GetValue("software\\halden enterprise\\FRMREP", "SELSTORE") == "'GS'",
          "a saved value is not found", "", text);
    const host::RegistryData saved = host::RegistryData::FromJson(again->ToJson(), "saved");
    Check(saved.GetValue("Software\\Halden Enterprise\\frmRep", "selStore") == "'GS'" &&
              saved.KeyCount() >= read->KeyCount(),
          "a saved value does not survive writing", "", text);
  } catch (...) {
    Broken("saving a value into a registry read failed", CurrentException(), text);
  }
  return 0;
}
