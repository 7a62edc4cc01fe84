// The host's drivers of report parameter forms: ParamDialog shows a form modally through the
// operator and tells whether it was confirmed; PeriodBinder keeps a pair of date pickers in
// order (begin not after end).
#ifndef QTS_HOST_UI_PARAM_DIALOG_H_
#define QTS_HOST_UI_PARAM_DIALOG_H_

#include <memory>
#include <string_view>

#include "core/event.h"
#include "core/object.h"
#include "host/fwd.h"
#include "host/ui/form_model.h"

namespace qts::host {

class ParamDialog final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "ParamDialog"; }

  // Binds the dialog to `form`, whose buttons `ok` and `cancel` confirm and cancel it; `book`
  // is the data set the form's lists come from. The two flags are the host's (centre on the
  // main window, modal) and are kept as given. `ok` and `cancel` must be buttons of `form`
  // (error kErrDialog otherwise).
  void Init(const FormPtr& form, const Control& ok, const Control& cancel,
            const AppContextPtr& book, bool centred, bool modal);

  // Shows the form modally: raises BeforeShow (a listener may set the cancel flag, which
  // closes the form unconfirmed), then the current operator fills the form and confirms or
  // cancels it; a confirmed filling is applied to the controls. Errors of the operator or of
  // the filling propagate and leave the dialog unconfirmed.
  void Show();
  // True when the last Show ended with OK.
  bool Confirmed() const { return confirmed_; }

  const FormPtr& GetForm() const { return form_; }
  const AppContextPtr& Book() const { return book_; }

  Event<bool&> BeforeShow;

 private:
  FormPtr form_;
  AppContextPtr book_;
  bool confirmed_ = false;
};

class PeriodBinder final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "PeriodBinder"; }

  // Watches `begin` and `end` (date pickers of `form`): when the begin date is moved past the
  // end date, the end date follows it; when the end date is moved before the begin date, the
  // begin date follows it. Null dates are left alone. The buttons and flags are the host's and
  // kept as given. Error kErrDialog for controls that are not date pickers of the form.
  void Init(const FormPtr& form, Control& begin, Control& end, const Control& ok,
            const Control& cancel, bool flag1, bool flag2);

 private:
  void Follow(Control& moved, Control& other, bool moved_is_begin);

  FormPtr form_;
  Connection begin_changed_;
  Connection end_changed_;
  bool adjusting_ = false;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_PARAM_DIALOG_H_
