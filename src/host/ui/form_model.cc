#include "host/ui/form_model.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/services/message_table.h"
#include "host/ui/operator.h"

namespace qts::host {

namespace {

constexpr const char* kControlSource = "Control";
constexpr const char* kFormSource = "Form";

bool HasValue(ControlType type) {
  return type != ControlType::kLabel && type != ControlType::kFrame &&
         type != ControlType::kButton && type != ControlType::kGrid && type != ControlType::kTabs;
}

// The name under which a kind exposes its value besides "Value".
std::string_view ValueAlias(ControlType type) {
  switch (type) {
    case ControlType::kTextBox:
      return "text";
    case ControlType::kCombo:
      return "code";
    case ControlType::kSelector:
      return "selcodes";
    default:
      return "value";
  }
}

Variant NumberOf(double number) {
  if (std::trunc(number) == number && number >= std::numeric_limits<int32_t>::min() &&
      number <= std::numeric_limits<int32_t>::max()) {
    return Variant(static_cast<int32_t>(number));
  }
  return Variant(number);
}

[[noreturn]] void Mismatch(const std::string& control, std::string_view expected,
                           const Variant& value) {
  std::string shown = value.IsObject() ? "an object"
                      : value.IsNull() ? "Null"
                                       : "\"" + CStr(value) + "\"";
  throw Error(kErrTypeMismatch, kControlSource,
              "control \"" + control + "\" expects " + std::string(expected) + ", not " + shown);
}

// `value` converted to what a control of `type` holds (see Control::SetValue).
Variant Converted(const std::string& name, ControlType type, const Variant& value) {
  switch (type) {
    case ControlType::kTextBox:
    case ControlType::kCombo:
    case ControlType::kSelector:
      if (value.IsNull() || value.IsEmpty()) return Variant(std::string());
      if (value.IsObject()) Mismatch(name, "text", value);
      return Variant(CStr(value));
    case ControlType::kNumberBox: {
      if (value.IsNull() || value.IsEmpty()) return Variant::Null();
      if (value.Type() == VarType::kString) {
        std::string_view text = StripAsciiWhitespace(value.AsString());
        if (text.empty()) return Variant::Null();
        std::optional<double> number = ParseNumber(text);
        if (!number) Mismatch(name, "a number", value);
        return NumberOf(*number);
      }
      if (!value.IsNumeric()) Mismatch(name, "a number", value);
      // Money stays exact.
      if (value.Type() == VarType::kCurrency) return value;
      return NumberOf(CDbl(value));
    }
    case ControlType::kDatePicker: {
      if (value.IsNull() || value.IsEmpty()) return Variant::Null();
      if (value.Type() == VarType::kDate) return value;
      if (value.Type() == VarType::kString) {
        if (value.AsString().empty()) return Variant::Null();
        if (std::optional<Date> date = Date::ParseIso(value.AsString())) return Variant(*date);
      }
      Mismatch(name, "a date (YYYY-MM-DD)", value);
    }
    case ControlType::kCheckBox: {
      if (value.Type() == VarType::kString) {
        FormControl probe{name, ControlKind::kCheck, {}, {}};
        try {
          return ParseControlValue(probe, value.AsString());
        } catch (const Error&) {
          Mismatch(name, "1 or 0", value);
        }
      }
      if (value.IsNull() || value.IsObject()) Mismatch(name, "1 or 0", value);
      return Variant(int32_t{CBool(value) ? 1 : 0});
    }
    case ControlType::kLabel:
    case ControlType::kFrame:
    case ControlType::kButton:
    case ControlType::kGrid:
    case ControlType::kTabs:
      break;
  }
  throw Error(kErrNoSuchMember, kControlSource, "control \"" + name + "\" has no value");
}

Variant InitialValue(ControlType type) {
  switch (type) {
    case ControlType::kTextBox:
    case ControlType::kCombo:
    case ControlType::kSelector:
      return Variant(std::string());
    case ControlType::kNumberBox:
    case ControlType::kDatePicker:
      return Variant::Null();
    case ControlType::kCheckBox:
      return Variant(int32_t{0});
    default:
      return Variant();
  }
}

// A text that reads as a list of quoted codes ("'S1','S2'", "'S1'").
bool LooksLikeList(std::string_view text) {
  text = StripLeadingAsciiWhitespace(text);
  return !text.empty() && text.front() == '\'';
}

// "S1, S2" -> "'S1','S2'": each comma-separated code trimmed and quoted (quotes doubled).
std::string QuotedList(std::string_view text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string_view code = text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    code = StripAsciiWhitespace(code);
    if (!code.empty()) {
      if (!out.empty()) out += ',';
      out += '\'';
      for (char c : code) {
        if (c == '\'') out += '\'';
        out += c;
      }
      out += '\'';
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

}  // namespace

ControlKind DescribedKind(ControlType type) {
  switch (type) {
    case ControlType::kLabel:
    case ControlType::kButton:
    case ControlType::kGrid:
    case ControlType::kTabs:
      return ControlKind::kLabel;
    case ControlType::kFrame:
      return ControlKind::kFrame;
    case ControlType::kTextBox:
      return ControlKind::kText;
    case ControlType::kNumberBox:
      return ControlKind::kNumber;
    case ControlType::kDatePicker:
      return ControlKind::kDate;
    case ControlType::kCheckBox:
      return ControlKind::kCheck;
    case ControlType::kCombo:
      return ControlKind::kCombo;
    case ControlType::kSelector:
      return ControlKind::kSelector;
  }
  return ControlKind::kLabel;
}

// --- Control ---

Control::Control(std::string name, ControlType type, std::string caption, std::string caption_key)
    : name_(std::move(name)),
      type_(type),
      caption_(std::move(caption)),
      caption_key_(std::move(caption_key)),
      value_(InitialValue(type)) {
  properties_["enabled"] = Variant(true);
  properties_["visible"] = Variant(true);
  if (type_ == ControlType::kCombo) {
    properties_["text"] = Variant(std::string());
    properties_["tablename"] = Variant(std::string());
    properties_["filter"] = Variant(std::string());
    properties_["atomobject"] = Variant::Nothing();
  }
  if (type_ == ControlType::kTabs) properties_["tabs"] = Variant(std::string());
  if (type_ == ControlType::kSelector) {
    properties_["context"] = Variant::Nothing();
    properties_["tablename"] = Variant(std::string());
    properties_["seltype"] = Variant(int16_t{kSelNone});
    properties_["filter"] = Variant(std::string());
  }
}

void Control::SetValue(const Variant& value) {
  Variant converted = Converted(name_, type_, value);
  if (converted.SameAs(value_)) return;
  value_ = std::move(converted);
  Changed.Raise(*this);
}

int32_t Control::SelType() const {
  if (type_ != ControlType::kSelector) return kSelNone;
  return CLng(properties_.at("seltype"));
}

void Control::RequireType(ControlType type, std::string_view what) const {
  if (type_ != type) {
    throw Error(kErrNoSuchMember, kControlSource,
                "control \"" + name_ + "\" is not " + std::string(what));
  }
}

void Control::Press() {
  RequireType(ControlType::kButton, "a button");
  Click.Raise(*this);
}

std::vector<std::string> Control::TabCaptions() const {
  RequireType(ControlType::kTabs, "a tab strip");
  std::vector<std::string> captions;
  const std::string text = CStr(properties_.at("tabs"));
  if (text.empty()) return captions;
  size_t start = 0;
  while (true) {
    size_t bar = text.find('|', start);
    captions.push_back(text.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return captions;
}

bool Control::TabVisible(int32_t index) const {
  const size_t count = TabCaptions().size();
  if (index < 0 || static_cast<size_t>(index) >= count) {
    throw Error(kErrSubscript, kControlSource,
                "\"" + name_ + "\" has no tab " + std::to_string(index));
  }
  return static_cast<size_t>(index) >= hidden_tabs_.size() || !hidden_tabs_[index];
}

void Control::SetTabVisible(int32_t index, bool visible) {
  TabVisible(index);  // checks the control and the index
  if (hidden_tabs_.size() <= static_cast<size_t>(index)) hidden_tabs_.resize(index + 1, false);
  hidden_tabs_[index] = !visible;
}

bool Control::IsOwnProperty(std::string_view lower) const {
  return properties_.count(std::string(lower)) > 0;
}

Variant Control::Property(std::string_view name) const {
  std::string lower = AsciiLower(name);
  if (lower == "name") return Variant(name_);
  if (lower == "caption") return Variant(caption_);
  if (HasValue(type_) && (lower == "value" || lower == ValueAlias(type_))) return value_;
  if (auto it = properties_.find(lower); it != properties_.end()) return it->second;
  throw Error(kErrNoSuchMember, kControlSource,
              "control \"" + name_ + "\" has no property \"" + std::string(name) + "\"");
}

void Control::SetProperty(std::string_view name, const Variant& value) {
  std::string lower = AsciiLower(name);
  if (lower == "caption") {
    caption_ = CStr(value);
    return;
  }
  if (HasValue(type_) && (lower == "value" || lower == ValueAlias(type_))) {
    SetValue(value);
    return;
  }
  if (lower == "seltype" && type_ == ControlType::kSelector) {
    properties_[lower] = Variant(CInt(value));
    return;
  }
  if (lower == "enabled" || lower == "visible") {
    properties_[lower] = Variant(CBool(value));
    return;
  }
  if (lower == "atomobject" && type_ == ControlType::kCombo) {
    if (!value.IsObject()) {
      throw Error(kErrTypeMismatch, kControlSource,
                  "the AtomObject of \"" + name_ + "\" must be an object");
    }
    properties_[lower] = value;
    return;
  }
  if (lower == "context") {
    if (!value.IsObject()) {
      throw Error(kErrTypeMismatch, kControlSource,
                  "the Context of \"" + name_ + "\" must be a book object");
    }
    properties_[lower] = value;
    return;
  }
  if (lower != "name" && IsOwnProperty(lower)) {
    properties_[lower] = Variant(value.IsNull() ? std::string() : CStr(value));
    return;
  }
  throw Error(kErrNoSuchMember, kControlSource,
              "control \"" + name_ + "\" has no property \"" + std::string(name) + "\" to set");
}

Variant Control::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  switch (kind) {
    case InvokeKind::kPropertyGet:
    case InvokeKind::kMethod:
      return Property(name);
    case InvokeKind::kPropertyPut:
    case InvokeKind::kPropertyPutRef:
      if (args.empty()) {
        throw Error(kErrInvalidCall, kControlSource,
                    "setting \"" + std::string(name) + "\" needs a value");
      }
      SetProperty(name, args.back());
      return Variant();
  }
  return Variant();
}

bool Control::HasMember(std::string_view name) const {
  std::string lower = AsciiLower(name);
  return lower == "name" || lower == "caption" ||
         (HasValue(type_) && (lower == "value" || lower == ValueAlias(type_))) ||
         IsOwnProperty(lower);
}

// --- Form ---

Form::Form(std::string name, std::string caption, std::string caption_key, std::string resource_set)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      caption_key_(std::move(caption_key)),
      resource_set_(std::move(resource_set)) {}

std::optional<std::string> Form::KeyText(const std::string& key) const {
  if (key.size() < 2 || key[0] != '#' || resource_set_.empty()) return std::nullopt;
  int32_t number = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(key[i])) || number > 100000000) {
      return std::nullopt;
    }
    number = number * 10 + (key[i] - '0');
  }
  try {
    MessageTable table;
    table.SetResourceName(resource_set_);
    if (table.HasText(number)) return table.GetText(number);
  } catch (const Error&) {
    // Resources that cannot be read leave the form's own captions in place.
  }
  return std::nullopt;
}

std::string Form::ShownCaption() const { return KeyText(caption_key_).value_or(caption_); }

std::string Form::ShownCaption(const Control& control) const {
  return KeyText(control.CaptionKey()).value_or(control.Caption());
}

Control& Form::Add(std::string name, ControlType type, std::string caption,
                   std::string caption_key) {
  if (Find(name)) {
    throw Error(kErrInvalidCall, kFormSource,
                "form \"" + name_ + "\" has a control \"" + name + "\" already");
  }
  controls_.push_back(
      std::make_shared<Control>(std::move(name), type, std::move(caption), std::move(caption_key)));
  return *controls_.back();
}

Control* Form::Find(std::string_view name) {
  for (const ControlPtr& control : controls_) {
    if (EqualsIgnoreCase(control->Name(), name)) return control.get();
  }
  return nullptr;
}

Control& Form::Item(std::string_view name) {
  if (Control* control = Find(name)) return *control;
  throw Error(kErrNoSuchMember, kFormSource,
              "form \"" + name_ + "\" has no control \"" + std::string(name) + "\"");
}

const Control& Form::Item(std::string_view name) const {
  return const_cast<Form*>(this)->Item(name);
}

FormDescription Form::Describe() const {
  FormDescription description;
  description.name = name_;
  description.caption = ShownCaption();
  for (const ControlPtr& control : controls_) {
    if (control->Type() == ControlType::kButton) continue;
    description.controls.push_back({control->Name(), DescribedKind(control->Type()),
                                    ShownCaption(*control),
                                    HasValue(control->Type()) ? control->Value() : Variant()});
    if (control->Type() == ControlType::kSelector) {
      description.controls.push_back({control->Name() + std::string(kSelTypeSuffix),
                                      ControlKind::kNumber,
                                      "Pasirinkimo tipas (0-3) : ", Variant(control->SelType())});
    }
  }
  return description;
}

void Form::Apply(const FormDescription& filled) {
  struct Change {
    Control* control;
    Variant value;
    std::optional<int32_t> sel_type;
  };
  std::vector<Change> changes;
  for (const ControlPtr& control : controls_) {
    if (!HasValue(control->Type())) continue;
    const FormControl* entry = filled.Find(control->Name());
    if (!entry) continue;
    Change change{control.get(), Converted(control->Name(), control->Type(), entry->value), {}};
    if (control->Type() == ControlType::kSelector) {
      const FormControl* type_entry = filled.Find(control->Name() + std::string(kSelTypeSuffix));
      std::optional<int32_t> given;
      if (type_entry && !type_entry->value.IsNull() && !type_entry->value.IsEmpty()) {
        // Whole numbers 0 to 3 only, compared before any conversion to an integer: 1E10 would
        // overflow it and 2.5 would round to a type nobody chose.
        const double number = CDbl(type_entry->value);
        if (!(number >= kSelNone && number <= kSelSingle) || std::trunc(number) != number) {
          throw Error(kErrInvalidCall, kFormSource,
                      "the selection type of \"" + control->Name() + "\" must be 0 to 3, not " +
                          CStr(type_entry->value));
        }
        given = static_cast<int32_t>(number);
      }
      bool codes_changed = !change.value.SameAs(control->Value());
      if (given && *given != control->SelType()) {
        change.sel_type = given;
      } else if (codes_changed) {
        std::string text = change.value.AsString();
        bool offers_groups = !EqualsIgnoreCase(CStr(control->Property("TableName")), "STStore");
        if (text.empty()) {
          change.sel_type = kSelNone;
        } else if (LooksLikeList(text)) {
          change.sel_type = kSelList;
        } else if (text.find(',') != std::string::npos || !offers_groups) {
          // Bare codes as a person types them: made a list of quoted codes.
          change.value = Variant(QuotedList(text));
          change.sel_type = kSelList;
        } else {
          change.sel_type = kSelSingle;
        }
      }
    }
    changes.push_back(std::move(change));
  }
  for (Change& change : changes) {
    if (change.sel_type) change.control->SetProperty("SelType", Variant(*change.sel_type));
    change.control->SetValue(change.value);
  }
}

Variant Form::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  if (kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod) {
    if (EqualsIgnoreCase(name, "Name")) return Variant(name_);
    if (EqualsIgnoreCase(name, "Caption")) return Variant(ShownCaption());
    for (const ControlPtr& control : controls_) {
      if (EqualsIgnoreCase(control->Name(), name)) {
        return Variant(std::static_pointer_cast<Object>(control));
      }
    }
  }
  if ((kind == InvokeKind::kPropertyPut) && EqualsIgnoreCase(name, "Caption") && !args.empty()) {
    caption_ = CStr(args.back());
    caption_key_.clear();
    return Variant();
  }
  throw Error(kErrNoSuchMember, kFormSource,
              "form \"" + name_ + "\" has no member \"" + std::string(name) + "\"");
}

bool Form::HasMember(std::string_view name) const {
  if (EqualsIgnoreCase(name, "Name") || EqualsIgnoreCase(name, "Caption")) return true;
  for (const ControlPtr& control : controls_) {
    if (EqualsIgnoreCase(control->Name(), name)) return true;
  }
  return false;
}

void Form::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Unloading.Raise(*this);
}

}  // namespace qts::host
