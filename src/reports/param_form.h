// The parameter forms of the reports: the shared Run of a form (a ParamDialog in m_oForm, an
// optional period binder, Show, Confirmed, the choices written into the report's Values, the
// form unloaded on both outcomes) and the store/goods forms' selectors with their filter,
// their restored and saved last choices and the goods selection rules.
#ifndef QTS_REPORTS_PARAM_FORM_H_
#define QTS_REPORTS_PARAM_FORM_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/event.h"
#include "host/data/named_value_list.h"
#include "host/fwd.h"
#include "host/ui/form_model.h"
#include "host/ui/param_dialog.h"

namespace qts::reports {

// The caption every parameter form shows.
inline constexpr std::string_view kParamFormCaption = "Ataskaitos parametrai";

// What the goods selector chose: a list of quoted codes for "GoodCode", or one group code for
// "GoodGroup"; both empty means every good.
struct GoodSelection {
  std::string good_code;
  std::string good_group;
  bool operator==(const GoodSelection&) const = default;
};

// Whether `code` is a goods group: the REFGood record of that code has IsGroup = 1. A code
// the catalogue does not have is not a group.
bool IsGoodGroup(const host::AppContextPtr& book, const std::string& code);

// The goods selection rules: type 1 the codes as they are (a list); 2 the group; 3 one code,
// a group when the catalogue says so, otherwise the code in single quotes; any other type
// nothing.
GoodSelection ResolveGoodSelection(const host::AppContextPtr& book, int32_t sel_type,
                                   const std::string& sel_codes);

// Why a selector's choice cannot be used, or "" when it can: `sel_type` must be 0 to 3, and
// the codes must read as the report reads them -- the store's (`table` "STStore") always as a
// list of quoted codes, the goods' ("REFGood") by the type: 1 a list, 2 one group, 3 one code,
// 0 ignored. With `in_book` every code must also name a record of the table (type 2 a group):
// a choice saved earlier whose store or good has been deleted since is not used.
std::string SelectionProblem(const host::AppContextPtr& book, std::string_view table,
                             int32_t sel_type, const std::string& codes, bool in_book);

class ParamForm {
 public:
  virtual ~ParamForm();
  ParamForm(const ParamForm&) = delete;
  ParamForm& operator=(const ParamForm&) = delete;

  // Shows the form for `book` and, when it is confirmed, writes the choices into `values`
  // (whose entries the report declared). False when it was cancelled: `values` is unchanged.
  // The form catches every error of its own: after unloading it shows the error as it was
  // raised (number, source and text; an error without a source names the form) through the
  // common error path, and returns False -- so a form error reads the same in every report,
  // whatever number the report's own handler gives the errors of its run.
  bool Run(host::AppContextPtr& book, host::NamedValueListPtr& values);

  const std::string& Name() const { return name_; }
  // The form of the last run (null before the first).
  const host::FormPtr& GetForm() const { return form_; }

 protected:
  ParamForm(std::string name, std::string caption_key);

  // Adds the form's own controls (the frame and the buttons are added after them).
  virtual void BuildControls(host::Form& form) = 0;
  // True for the period forms: edBegDate and edEndDate are kept in order.
  virtual bool HasPeriod() const { return false; }
  // Binds controls to the book before the form is shown.
  virtual void BindControls(host::Form& /*form*/, const host::AppContextPtr& /*book*/) {}
  // The form's BeforeShow handler.
  virtual void m_oForm_BeforeShow(bool& /*cancel*/) {}
  // Called when the form unloads (after a run, on both outcomes).
  virtual void OnUnload(host::Form& /*form*/) {}
  // Writes the confirmed choices into the report's values.
  virtual void WriteValues(host::NamedValueList& values) = 0;

  host::Form& CurrentForm() { return *form_; }
  const host::Form& CurrentForm() const { return *form_; }

  std::shared_ptr<host::ParamDialog> m_oForm;

 private:
  void Unload() noexcept;

  std::string name_;
  std::string caption_key_;
  host::FormPtr form_;
  std::shared_ptr<host::PeriodBinder> binder_;
  Connection before_show_;
  Connection unloading_;
};

// A form with the store selector "selStore" and the goods selector "selGood".
class StoreGoodForm : public ParamForm {
 protected:
  using ParamForm::ParamForm;

  // Adds selStore ("Sandėlis : ") and selGood ("Prekė : ").
  void AddSelectors(host::Form& form);
  // Context and TableName of both selectors.
  void BindControls(host::Form& form, const host::AppContextPtr& book) override;
  // The goods list offers no groups; the last choices are restored. A saved choice that can no
  // longer be used (SelectionProblem with the book) is dropped from the store with a message
  // box saying why, and the selector starts empty.
  void m_oForm_BeforeShow(bool& cancel) override;
  // The selectors' choices are saved for the next run; a choice the run refuses is not, and
  // the one saved before stays.
  void OnUnload(host::Form& form) override;

  // "StoreCode": selStore's selection text as it is.
  std::string StoreChoice() const;
  // "GoodCode" / "GoodGroup" by selGood's type.
  GoodSelection GoodChoice() const;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_PARAM_FORM_H_
