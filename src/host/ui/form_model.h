// The host's form and control model: a form owns named controls (text box, number box, date
// picker, check box, reference combo, the store/goods selector, buttons, frames and labels),
// each with a value and further properties that code reaches by name, as the dialog framework
// lets plug-ins do. A form describes itself to the operator (FormDescription) and takes the
// operator's filling back.
//
// Captions may carry a translation key ("#13303"): the text of that number in the form's
// resource set replaces the caption when the set holds it.
#ifndef QTS_HOST_UI_FORM_MODEL_H_
#define QTS_HOST_UI_FORM_MODEL_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/ui/form.h"

namespace qts::host {

enum class ControlType {
  kLabel,
  kFrame,
  kButton,
  kTextBox,     // value: Text
  kNumberBox,   // value: a number (Long when whole, Currency for money), Null when empty
  kDatePicker,  // value: a Date, Null when empty
  kCheckBox,    // value: 1 ticked, 0 not
  kCombo,       // value: Code of the chosen row of a reference table, "" when none
  kSelector,    // value: SelCodes, the selection text; SelType tells how to read it
  kGrid,        // no value: a specification grid (DocSpec) draws its rows here
  kTabs,        // no value: tab captions ("Tabs", separated by '|'), each tab shown or hidden
};

// The selection types of the store/goods selector.
inline constexpr int32_t kSelNone = 0;
inline constexpr int32_t kSelList = 1;    // SelCodes is a list of quoted codes
inline constexpr int32_t kSelGroup = 2;   // SelCodes is one group code
inline constexpr int32_t kSelSingle = 3;  // SelCodes is one code, typed or picked

// The suffix of the extra entry a selector adds to its form's description for its type.
inline constexpr std::string_view kSelTypeSuffix = ".SelType";

class Control final : public Implements<IDispatch> {
 public:
  Control(std::string name, ControlType type, std::string caption, std::string caption_key);
  std::string_view ClassName() const override { return "Control"; }

  const std::string& Name() const { return name_; }
  ControlType Type() const { return type_; }
  const std::string& Caption() const { return caption_; }
  const std::string& CaptionKey() const { return caption_key_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }

  // The control's main value (see ControlType). SetValue converts to the control's kind: a
  // number box takes numbers and numeric text, a date picker dates, ISO text, Null or Empty
  // (both Null), a check box anything Boolean (kept as 1 or 0), the text kinds anything as
  // text (Null as ""). A value that does not convert raises error 13 naming the control;
  // labels, frames and buttons take no value (error 438). Raises Changed when the value
  // changes.
  const Variant& Value() const { return value_; }
  void SetValue(const Variant& value);

  // A property by name (case-insensitive): "Value" and the kind's alias of it ("Text" of a
  // text box, "Code" of a combo, "SelCodes" of a selector), "Name", "Caption", "Enabled",
  // "Visible", and the kind's own: a combo's "Text" (shown text), "TableName", "Filter" (the
  // condition the offered rows satisfy) and "AtomObject" (the chosen row's fields, Nothing
  // when none is known), a selector's "Context", "TableName", "SelType" (Integer) and
  // "Filter", the tabs' "Tabs". Unknown names raise 438.
  Variant Property(std::string_view name) const;
  void SetProperty(std::string_view name, const Variant& value);

  // The selector's type; kSelNone for other controls.
  int32_t SelType() const;

  // A button is pressed: raises Click. Pressing a control that is not a button raises 438.
  // Whether the person may press it (visible, enabled, handled) is the dialog's business.
  void Press();

  // Tabs: the captions, and whether tab `index` (0-based) is shown. Error 438 on other
  // controls; an index past the captions raises 9.
  std::vector<std::string> TabCaptions() const;
  bool TabVisible(int32_t index) const;
  void SetTabVisible(int32_t index, bool visible);

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

  // Raised after the main value changed.
  Event<Control&> Changed;
  // Raised when a button is pressed.
  Event<Control&> Click;

 private:
  bool IsOwnProperty(std::string_view lower) const;
  void RequireType(ControlType type, std::string_view what) const;

  std::string name_;
  ControlType type_;
  std::string caption_;
  std::string caption_key_;
  Variant value_;
  std::map<std::string, Variant> properties_;  // lower-case name -> value
  std::vector<bool> hidden_tabs_;
};

using ControlPtr = std::shared_ptr<Control>;

class Form final : public Implements<IDispatch> {
 public:
  // `resource_set` names the message resources that translate caption keys; empty: none.
  Form(std::string name, std::string caption, std::string caption_key = {},
       std::string resource_set = "QTSFormRes");
  std::string_view ClassName() const override { return "Form"; }

  const std::string& Name() const { return name_; }
  // The caption as shown: the text of the caption key when the resource set holds it.
  std::string ShownCaption() const;
  // A new caption, shown as it is (the caption key is dropped).
  void SetCaption(std::string caption) {
    caption_ = std::move(caption);
    caption_key_.clear();
  }

  // Adds a control; a name the form has already raises error 5 naming it. Controls are kept
  // in the order added, which is the order the operator fills them.
  Control& Add(std::string name, ControlType type, std::string caption = {},
               std::string caption_key = {});
  // The control of that name (case-insensitive); error 438 naming form and control when absent.
  Control& Item(std::string_view name);
  const Control& Item(std::string_view name) const;
  Control* Find(std::string_view name);
  const std::vector<ControlPtr>& Controls() const { return controls_; }

  // The caption of `control` as shown (its key's text when the resource set holds it).
  std::string ShownCaption(const Control& control) const;

  // The form as the operator fills it: labels, frames and the fillable controls in order
  // (buttons are the operator's confirm and cancel). A selector is followed by a number entry
  // "<name>.SelType".
  FormDescription Describe() const;
  // Takes the operator's filling: every fillable control gets the value of its entry. A
  // selector whose codes changed while its ".SelType" entry did not takes the type the text
  // shows: empty none, a quoted list kSelList; bare codes separated by commas become a quoted
  // list (kSelList), and so does one bare code on the store selector (TableName "STStore",
  // which has no groups); one bare code elsewhere is kSelSingle. Values are checked
  // (converted) before any control changes, so a bad filling leaves the form as it was.
  void Apply(const FormDescription& filled);

  // Late binding: a control by its name as a property ("form.selStore"), "Name", "Caption".
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

  // Unloads the form: raises Unloading once; later calls do nothing.
  void Unload();
  bool Unloaded() const { return unloaded_; }
  Event<Form&> Unloading;

 private:
  std::optional<std::string> KeyText(const std::string& key) const;

  std::string name_;
  std::string caption_;
  std::string caption_key_;
  std::string resource_set_;
  std::vector<ControlPtr> controls_;
  bool unloaded_ = false;
};

using FormPtr = std::shared_ptr<Form>;

// The ControlKind an operator sees for a control type.
ControlKind DescribedKind(ControlType type);

}  // namespace qts::host

#endif  // QTS_HOST_UI_FORM_MODEL_H_
