#include "host/ui/wait_info.h"

#include "host/ui/operator.h"

namespace qts::host {

WaitInfo::~WaitInfo() {
  try {
    Close();
  } catch (...) {
    // A release must not fail; an operator that cannot close its window has nothing to close.
  }
}

void WaitInfo::Show(std::string_view text, int32_t hwnd) {
  std::shared_ptr<Operator> op = shown_on_ ? shown_on_ : CurrentOperatorPtr();
  op->ShowWait(text);
  shown_on_ = std::move(op);
  text_ = std::string(text);
  owner_hwnd_ = hwnd;
}

void WaitInfo::Close() {
  if (!shown_on_) return;
  std::shared_ptr<Operator> op = std::move(shown_on_);
  shown_on_ = nullptr;
  op->CloseWait();
}

}  // namespace qts::host
