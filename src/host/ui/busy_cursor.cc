#include "host/ui/busy_cursor.h"

namespace qts::host {

void BusyCursor::Start() noexcept {
  if (started_) return;
  saved_ = CurrentMousePointer();
  started_ = true;
  SetMousePointer(MousePointer::kHourglass);
}

void BusyCursor::Stop() noexcept {
  if (!started_) return;
  started_ = false;
  SetMousePointer(saved_);
}

}  // namespace qts::host
