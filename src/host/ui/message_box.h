// The host's message box for plug-ins: a numbered text with the single button "Gerai", shown
// through the current operator.
#ifndef QTS_HOST_UI_MESSAGE_BOX_H_
#define QTS_HOST_UI_MESSAGE_BOX_H_

#include <cstdint>
#include <string_view>

#include "host/ui/operator.h"

namespace qts::host {

class MessageBox final {
 public:
  // Shows message `number` with its text and the one button `ok_caption`.
  static void Show(int32_t number, std::string_view text,
                   std::string_view ok_caption = kOkCaption) {
    CurrentOperator().MessageBox(number, text, MessageButtons::kOk, ok_caption);
  }
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_MESSAGE_BOX_H_
