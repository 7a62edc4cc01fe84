#include "host/ui/doc_spec_frame.h"

#include "host/ui/doc_dialog_base.h"
#include "host/ui/doc_spec.h"

namespace qts::host {

void DocSpecFrame::Init(const std::shared_ptr<DocDialogBase>& base,
                        const std::shared_ptr<DocSpec>& spec, Control& grid, bool /*with_frame*/) {
  base_ = base;
  spec_ = spec;
  grid_ = &grid;
  if (spec) reloaded_ = spec->Reloaded.Connect([this] { ShowSum(); });
}

void DocSpecFrame::SetSumControls(Control* sum, Control* paid) {
  sum_ = sum;
  paid_ = paid;
  ShowSum();
}

void DocSpecFrame::ShowSum() {
  std::shared_ptr<DocSpec> spec = spec_.lock();
  if (!sum_ || !spec || !spec->Rows()) return;
  sum_->SetValue(Variant(spec->Total("Summa")));
}

void DocSpecFrame::SetCopyButton(Control& button) { button.SetProperty("Enabled", Variant(false)); }

void DocSpecFrame::Terminate() {
  reloaded_.Disconnect();
  sum_ = nullptr;
  paid_ = nullptr;
  grid_ = nullptr;
  spec_.reset();
  base_.reset();
}

}  // namespace qts::host
