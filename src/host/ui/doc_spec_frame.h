// DocSpecFrame: the frame around a document form's grid. It keeps the form's sum controls in
// step with the rows (after every read of the rows the sum control shows the total of
// "Summa") and holds the grid's copy button.
#ifndef QTS_HOST_UI_DOC_SPEC_FRAME_H_
#define QTS_HOST_UI_DOC_SPEC_FRAME_H_

#include <memory>
#include <string_view>

#include "core/event.h"
#include "core/object.h"
#include "host/ui/form_model.h"

namespace qts::host {

class DocDialogBase;
class DocSpec;

class DocSpecFrame final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "DocSpecFrame"; }

  // Binds the frame to the dialog base, the grid's rows and the grid control. `with_frame` is
  // the host's flag and kept as given.
  void Init(const std::shared_ptr<DocDialogBase>& base, const std::shared_ptr<DocSpec>& spec,
            Control& grid, bool with_frame);
  // The control showing the rows' sum and the control telling whether the document is paid
  // (null: none). The sum is shown at once and after every read of the rows.
  void SetSumControls(Control* sum, Control* paid);
  Control* SumControl() const { return sum_; }
  Control* PaidControl() const { return paid_; }
  // The grid's button that copies rows from another document. This host copies no rows
  // between documents, so the button is shown disabled.
  void SetCopyButton(Control& button);
  // True: the rows keep their positions (this host's grid does not move rows).
  bool NotMoved() const { return true; }
  void Terminate();

 private:
  void ShowSum();

  std::weak_ptr<DocDialogBase> base_;
  std::weak_ptr<DocSpec> spec_;
  Control* grid_ = nullptr;
  Control* sum_ = nullptr;
  Control* paid_ = nullptr;
  Connection reloaded_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_DOC_SPEC_FRAME_H_
