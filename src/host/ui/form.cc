#include "host/ui/form.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "core/convert.h"
#include "core/date.h"
#include "core/error.h"
#include "core/text.h"
#include "host/ui/operator.h"

namespace qts::host {

namespace {

[[noreturn]] void BadValue(const FormControl& control, std::string_view expected,
                           std::string_view text) {
  throw Error(kErrOperator, "FormDescription",
              "control \"" + control.name + "\" expects " + std::string(expected) + ", not \"" +
                  std::string(text) + "\"");
}

}  // namespace

std::string_view ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return "label";
    case ControlKind::kFrame:
      return "frame";
    case ControlKind::kText:
      return "text";
    case ControlKind::kNumber:
      return "number";
    case ControlKind::kDate:
      return "date";
    case ControlKind::kCheck:
      return "check";
    case ControlKind::kCombo:
      return "combo";
    case ControlKind::kSelector:
      return "selector";
  }
  return "?";
}

bool IsEditable(ControlKind kind) {
  return kind != ControlKind::kLabel && kind != ControlKind::kFrame;
}

FormControl* FormDescription::Find(std::string_view control_name) {
  for (FormControl& control : controls) {
    if (EqualsIgnoreCase(control.name, control_name)) return &control;
  }
  return nullptr;
}

const FormControl* FormDescription::Find(std::string_view control_name) const {
  return const_cast<FormDescription*>(this)->Find(control_name);
}

FormControl& FormDescription::At(std::string_view control_name) {
  if (FormControl* control = Find(control_name)) return *control;
  throw Error(kErrOperator, "FormDescription",
              "form \"" + name + "\" has no control \"" + std::string(control_name) + "\"");
}

const FormControl& FormDescription::At(std::string_view control_name) const {
  return const_cast<FormDescription*>(this)->At(control_name);
}

Variant ParseControlValue(const FormControl& control, std::string_view text) {
  std::string_view trimmed = StripAsciiWhitespace(text);
  switch (control.kind) {
    case ControlKind::kText:
    case ControlKind::kCombo:
    case ControlKind::kSelector:
      return Variant(std::string(text));
    case ControlKind::kNumber: {
      if (trimmed.empty()) return Variant::Null();
      std::optional<double> number;
      bool too_large = false;
      try {
        number = ParseNumber(trimmed);
      } catch (const Error& e) {
        if (e.Number() != kErrOverflow) throw;
        too_large = true;
      }
      if (!number && !too_large) BadValue(control, "a number", text);
      // Beyond what money holds, no form has a use for it; it would only overflow later.
      if (too_large || !std::isfinite(*number) || std::fabs(*number) > 922337203685477.0) {
        BadValue(control, "a number within 922337203685477 either way", text);
      }
      if (std::trunc(*number) == *number && *number >= std::numeric_limits<int32_t>::min() &&
          *number <= std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<int32_t>(*number));
      }
      return Variant(*number);
    }
    case ControlKind::kDate: {
      if (trimmed.empty()) return Variant::Null();
      std::optional<Date> date = Date::ParseIso(trimmed);
      if (!date) BadValue(control, "a date (YYYY-MM-DD)", text);
      return Variant(*date);
    }
    case ControlKind::kCheck: {
      std::string word = AsciiLower(trimmed);
      if (word == "1" || word == "yes" || word == "taip" || word == "true" || word == "t") {
        return Variant(int32_t{1});
      }
      if (word == "0" || word == "no" || word == "ne" || word == "false" || word == "n") {
        return Variant(int32_t{0});
      }
      BadValue(control, "1 or 0", text);
    }
    case ControlKind::kLabel:
    case ControlKind::kFrame:
      break;
  }
  throw Error(kErrOperator, "FormDescription",
              "control \"" + control.name + "\" (" + std::string(ControlKindName(control.kind)) +
                  ") takes no value");
}

}  // namespace qts::host
