// The text renderer of a document dialog: the terminal draws a DialogView with it. The places
// come from the controls' layout codes: the header (fixed and wide fields) first, then the
// grid with its totals, then the sum line and the buttons (bottom left, bottom right).
// Labels are not drawn: their text is the caption of the control beside them. A read-only
// value is marked "*"; a button that cannot be pressed is drawn in parentheses.
#ifndef QTS_HOST_UI_DIALOG_TEXT_H_
#define QTS_HOST_UI_DIALOG_TEXT_H_

#include <cstddef>
#include <string>

#include "host/ui/dialog_session.h"

namespace qts::host {

struct DialogTextOptions {
  size_t width = 120;    // characters per line the header is laid out in
  size_t max_rows = 20;  // grid rows drawn; the rest are counted, around the current row
};

// The dialog as lines of text (UTF-8), ending with a line break.
[[nodiscard]] std::string RenderDialogText(const DialogView& view,
                                           const DialogTextOptions& options = {});

}  // namespace qts::host

#endif  // QTS_HOST_UI_DIALOG_TEXT_H_
