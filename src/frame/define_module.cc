#include "frame/define_module.h"

#include <atomic>
#include <mutex>

#include "core/convert.h"
#include "core/error.h"
#include "core/variant.h"
#include "host/services/host_session.h"
#include "host/services/message_table.h"
#include "host/services/settings_store.h"

namespace qts::frame {

namespace {
std::mutex g_start_mutex;
std::atomic<bool> g_started{false};
std::atomic<int32_t> g_start_count{0};
}  // namespace

Globals& GetGlobals() {
  static Globals* globals = new Globals();  // lives until the library unloads
  return *globals;
}

void Main() {
  Globals& g = GetGlobals();
  if (!g.MessageTable) g.MessageTable = std::make_shared<host::MessageTable>();
  g.MessageTable->SetResourceName(kResourceSet);
  g.HostSession = std::make_shared<host::HostSession>();
  std::string text =
      host::SettingsStore().GetSetting(kSettingsApp, kSettingsSection, kFormDebugKey, "0");
  try {
    g.FormDebugFlag = CBool(Variant(text));
  } catch (const Error& e) {
    // Same error, told so that the user can find the setting that caused it.
    throw Error(e.Number(), "DefineModule.Main",
                e.Description() + ": setting \"" + kFormDebugKey + "\" (application \"" +
                    kSettingsApp + "\", section \"" + kSettingsSection + "\") holds \"" + text +
                    "\", which is not a Boolean");
  }
  g.StartedFlag = 1;
  g_start_count.fetch_add(1);
}

void EnsureStarted() {
  if (g_started.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(g_start_mutex);
  if (g_started.load(std::memory_order_relaxed)) return;
  Main();
  g_started.store(true, std::memory_order_release);
}

std::string MessageText(int32_t number) {
  EnsureStarted();
  return GetGlobals().MessageTable->GetText(number);
}

int32_t StartCount() { return g_start_count.load(); }

}  // namespace qts::frame
