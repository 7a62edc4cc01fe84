#include "host/ui/busy_indicator.h"

#include <atomic>

namespace qts::host {

namespace {

std::atomic<int> depth{0};

}  // namespace

BusyIndicator::BusyIndicator() noexcept { ++depth; }

BusyIndicator::~BusyIndicator() { Release(); }

void BusyIndicator::Release() noexcept {
  if (!held_) return;
  held_ = false;
  --depth;
}

int BusyIndicator::Depth() noexcept { return depth.load(); }

}  // namespace qts::host
