// A modal form as the operator sees it: a name, a caption and an ordered list of controls, each
// with a name, a kind, a caption and a value. Dialog and parameter forms describe themselves
// this way, the operator fills the values and confirms or cancels.
#ifndef QTS_HOST_UI_FORM_H_
#define QTS_HOST_UI_FORM_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"

namespace qts::host {

enum class ControlKind {
  kLabel,     // text only; never edited
  kFrame,     // a caption grouping the controls after it; never edited
  kText,      // free text
  kNumber,    // a number (Long when whole, Double otherwise)
  kDate,      // a date; Null when empty
  kCheck,     // 1 ticked, 0 not
  kCombo,     // one code out of a list, "" when none
  kSelector,  // a selection text of codes
};

// "text", "number", ...; the spelling used in transcripts and scripted answers.
std::string_view ControlKindName(ControlKind kind);
// True for the kinds a person can fill (not labels and frames).
bool IsEditable(ControlKind kind);

struct FormControl {
  std::string name;  // as the form defines it: "edBegDate", "cbFixCat"
  ControlKind kind = ControlKind::kText;
  std::string caption;  // the label shown beside it
  Variant value;
};

struct FormDescription {
  std::string name;     // "frmRepStoreRestByTerm"
  std::string caption;  // the window caption
  std::vector<FormControl> controls;

  // The control named `name` (case-insensitive, as control names are), or null.
  FormControl* Find(std::string_view control_name);
  const FormControl* Find(std::string_view control_name) const;
  // As Find, but a missing control raises an error naming the form and the control.
  FormControl& At(std::string_view control_name);
  const FormControl& At(std::string_view control_name) const;
};

// The value a person's text gives control `control`: text kinds take it as it is; a number box
// gives a Long when the number is whole and fits, a Double otherwise; a date box takes an ISO
// date; a check box takes 1/0, yes/no, taip/ne, true/false. An empty text leaves number and
// date boxes Null. Text that does not fit the kind, or a label or frame, raises kErrOperator
// naming the control.
Variant ParseControlValue(const FormControl& control, std::string_view text);

}  // namespace qts::host

#endif  // QTS_HOST_UI_FORM_H_
