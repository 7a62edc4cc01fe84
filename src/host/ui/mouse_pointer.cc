#include "host/ui/mouse_pointer.h"

#include <atomic>

namespace qts::host {

namespace {

std::atomic<MousePointer> mouse_pointer{MousePointer::kDefault};

}  // namespace

MousePointer CurrentMousePointer() noexcept { return mouse_pointer.load(); }

void SetMousePointer(MousePointer pointer) noexcept { mouse_pointer.store(pointer); }

}  // namespace qts::host
