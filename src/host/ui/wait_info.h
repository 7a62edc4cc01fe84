// The wait window of the shared library ("QTS_Common.CWaitInfo"): a text shown while a long
// operation runs, over an owner window. It is shown through the operator that is current when
// Show is called, and closed by Close or when the object is released.
#ifndef QTS_HOST_UI_WAIT_INFO_H_
#define QTS_HOST_UI_WAIT_INFO_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"

namespace qts::host {

class Operator;

inline constexpr std::string_view kWaitInfoProgId = "QTS_Common.CWaitInfo";

class WaitInfo : public virtual Object {
 public:
  WaitInfo() = default;
  // Closes the window if it is shown.
  ~WaitInfo() override;
  std::string_view ClassName() const override { return "CWaitInfo"; }

  // Shows the window with `text` over the window `hwnd` (0: no owner), or changes its text
  // when it is shown already.
  void Show(std::string_view text, int32_t hwnd);
  // Closes the window; nothing happens when it is not shown.
  void Close();

  bool IsShown() const { return shown_on_ != nullptr; }
  const std::string& Text() const { return text_; }
  int32_t OwnerHwnd() const { return owner_hwnd_; }

 private:
  std::shared_ptr<Operator> shown_on_;
  std::string text_;
  int32_t owner_hwnd_ = 0;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_WAIT_INFO_H_
