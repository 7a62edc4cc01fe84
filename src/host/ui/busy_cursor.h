// The host's busy cursor: an object an operation creates and starts while it works. Starting it
// saves the mouse pointer and shows the hourglass; stopping it, or releasing the object, puts the
// saved pointer back. Creating it changes nothing, so an owner may hold one unstarted.
#ifndef QTS_HOST_UI_BUSY_CURSOR_H_
#define QTS_HOST_UI_BUSY_CURSOR_H_

#include <string_view>

#include "core/object.h"
#include "host/ui/mouse_pointer.h"

namespace qts::host {

class BusyCursor : public virtual Object {
 public:
  BusyCursor() = default;
  ~BusyCursor() override { Stop(); }
  std::string_view ClassName() const override { return "BusyCursor"; }

  // Saves the pointer and shows the hourglass; a second Start while started does nothing.
  void Start() noexcept;
  // Restores the pointer saved by Start; does nothing when not started.
  void Stop() noexcept;
  bool IsStarted() const noexcept { return started_; }

 private:
  bool started_ = false;
  MousePointer saved_ = MousePointer::kDefault;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_BUSY_CURSOR_H_
