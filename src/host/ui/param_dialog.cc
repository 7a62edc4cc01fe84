#include "host/ui/param_dialog.h"

#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "host/ui/operator.h"

namespace qts::host {

namespace {

void RequireControl(const FormPtr& form, const Control& control, ControlType type,
                    std::string_view source, std::string_view role) {
  if (!form) throw Error(kErrDialog, std::string(source), "no form was given");
  const Control* found = form->Find(control.Name());
  if (found != &control || control.Type() != type) {
    throw Error(kErrDialog, std::string(source),
                "\"" + control.Name() + "\" is not the " + std::string(role) + " of the form \"" +
                    form->Name() + "\"");
  }
}

}  // namespace

void ParamDialog::Init(const FormPtr& form, const Control& ok, const Control& cancel,
                       const AppContextPtr& book, bool /*centred*/, bool /*modal*/) {
  RequireControl(form, ok, ControlType::kButton, "ParamDialog", "OK button");
  RequireControl(form, cancel, ControlType::kButton, "ParamDialog", "Cancel button");
  form_ = form;
  book_ = book;
  confirmed_ = false;
}

void ParamDialog::Show() {
  if (!form_) throw Error(kErrDialog, "ParamDialog", "Show before Init");
  confirmed_ = false;
  bool cancel = false;
  BeforeShow.Raise(cancel);
  if (cancel) return;
  FormDescription description = form_->Describe();
  if (!CurrentOperator().RunModalForm(description)) return;
  form_->Apply(description);
  confirmed_ = true;
}

void PeriodBinder::Init(const FormPtr& form, Control& begin, Control& end, const Control& /*ok*/,
                        const Control& /*cancel*/, bool /*flag1*/, bool /*flag2*/) {
  RequireControl(form, begin, ControlType::kDatePicker, "PeriodBinder", "begin date picker");
  RequireControl(form, end, ControlType::kDatePicker, "PeriodBinder", "end date picker");
  form_ = form;
  Control* begin_ptr = &begin;
  Control* end_ptr = &end;
  begin_changed_ =
      begin.Changed.Connect([this, end_ptr](Control& moved) { Follow(moved, *end_ptr, true); });
  end_changed_ =
      end.Changed.Connect([this, begin_ptr](Control& moved) { Follow(moved, *begin_ptr, false); });
}

void PeriodBinder::Follow(Control& moved, Control& other, bool moved_is_begin) {
  if (adjusting_) return;
  const Variant& a = moved.Value();
  const Variant& b = other.Value();
  if (a.IsNull() || b.IsNull()) return;
  Date moved_date = CDate(a);
  Date other_date = CDate(b);
  bool out_of_order = moved_is_begin ? moved_date > other_date : moved_date < other_date;
  if (!out_of_order) return;
  adjusting_ = true;
  try {
    other.SetValue(a);
  } catch (...) {
    adjusting_ = false;
    throw;
  }
  adjusting_ = false;
}

}  // namespace qts::host
