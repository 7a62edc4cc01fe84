// The component's global state and its start-up routine.
#ifndef QTS_FRAME_DEFINE_MODULE_H_
#define QTS_FRAME_DEFINE_MODULE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "host/fwd.h"

namespace qts::frame {

inline constexpr const char* kResourceSet = "QTSFormRes";
inline constexpr const char* kSettingsApp = "Halden Enterprise";
inline constexpr const char* kSettingsSection = "General";
inline constexpr const char* kFormDebugKey = "AppFormDebug";

// Shared by every object of the loaded component.
struct Globals {
  std::shared_ptr<host::MessageTable> MessageTable;
  std::shared_ptr<host::HostSession> HostSession;
  bool FormDebugFlag = false;
  int32_t StartedFlag = 0;
};

Globals& GetGlobals();

// The start-up routine: creates the message table on the resource set "QTSFormRes" and the
// host session, reads "AppFormDebug" from the per-user settings store (default "0") into
// FormDebugFlag, and sets StartedFlag to 1. It has no error handler: a stored text that is no
// Boolean raises type mismatch (13) and the load fails.
void Main();

// Runs Main once, before the first object; a failed start-up is tried again next time.
void EnsureStarted();

// The text of message `number` of the component's message table (start-up runs first when
// it has not run yet).
[[nodiscard]] std::string MessageText(int32_t number);

// How many times Main has run to the end in this load (for diagnostics and tests).
int32_t StartCount();

}  // namespace qts::frame

#endif  // QTS_FRAME_DEFINE_MODULE_H_
