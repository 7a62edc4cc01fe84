#include "frame/component_object.h"

#include <atomic>

#include "frame/define_module.h"

namespace qts::frame {

namespace {
std::atomic<int64_t> g_live_objects{0};
std::atomic<int64_t> g_server_locks{0};
}  // namespace

ComponentObject::ComponentObject() {
  EnsureStarted();
  g_live_objects.fetch_add(1, std::memory_order_relaxed);
}

ComponentObject::~ComponentObject() { g_live_objects.fetch_sub(1, std::memory_order_relaxed); }

int64_t ComponentObject::LiveCount() { return g_live_objects.load(std::memory_order_relaxed); }

void AddServerLock(int delta) { g_server_locks.fetch_add(delta, std::memory_order_relaxed); }

int64_t ServerLockCount() { return g_server_locks.load(std::memory_order_relaxed); }

}  // namespace qts::frame
