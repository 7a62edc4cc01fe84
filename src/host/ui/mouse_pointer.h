// The screen's mouse pointer: one value for the whole process, which step processes and busy
// cursors change and put back. It has no screen to draw on here, but it is observable state, so
// code that must restore it can be checked.
#ifndef QTS_HOST_UI_MOUSE_POINTER_H_
#define QTS_HOST_UI_MOUSE_POINTER_H_

#include <cstdint>

namespace qts::host {

// The platform's pointer shapes, with its numbers (code that keeps a pointer in an Integer
// converts with static_cast).
enum class MousePointer : int16_t {
  kDefault = 0,
  kArrow = 1,
  kCross = 2,
  kIBeam = 3,
  kHourglass = 11,
  kNoDrop = 12,
  kArrowHourglass = 13,
  kArrowQuestion = 14,
};

MousePointer CurrentMousePointer() noexcept;
void SetMousePointer(MousePointer pointer) noexcept;

// Saves the pointer when constructed (and sets `pointer` when one is given) and puts the saved
// pointer back when destroyed, however the scope ends.
class SavedMousePointer {
 public:
  SavedMousePointer() noexcept : saved_(CurrentMousePointer()) {}
  explicit SavedMousePointer(MousePointer pointer) noexcept : SavedMousePointer() {
    SetMousePointer(pointer);
  }
  SavedMousePointer(const SavedMousePointer&) = delete;
  SavedMousePointer& operator=(const SavedMousePointer&) = delete;
  ~SavedMousePointer() noexcept { SetMousePointer(saved_); }

  MousePointer Saved() const noexcept { return saved_; }

 private:
  MousePointer saved_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_MOUSE_POINTER_H_
