// Small pieces the category, ordered/manufactured goods and write-off summary reports share:
// reading a declared value as text, and reading the choices of a parameter form's date pickers
// and reference combos.
#ifndef QTS_REPORTS_REPORT_VALUES_H_
#define QTS_REPORTS_REPORT_VALUES_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/date.h"
#include "core/variant.h"
#include "host/data/named_value_list.h"
#include "host/fwd.h"
#include "host/ui/form_model.h"

namespace qts::reports {

// The window handle OpenWithWait replaces by the host's main window.
inline constexpr int32_t kMainWindow = -1;

// `value` as text; "" when it is Empty or Null.
[[nodiscard]] std::string ValueText(const Variant& value);
// The value of entry `name` as text; "" when it is Empty or Null.
[[nodiscard]] std::string ValueText(const host::NamedValueList& values, std::string_view name);

// The date a date picker holds. An emptied picker stops the run with error 94 naming the
// picker and the form.
[[nodiscard]] Date PickedDate(const host::Form& form, std::string_view picker);

// The whole number a number box holds. An emptied box stops the run with error 94 naming the
// box and the form; a text that is no number with error 13.
[[nodiscard]] int32_t PickedNumber(const host::Form& form, std::string_view box);

// The text a reference combo shows for its chosen row: its "Text" when the host filled it,
// otherwise the "Name" of the row of its table whose "Code" is the chosen code ("" when none
// is chosen). `code` is the chosen code as the table holds it (an integer for integer codes).
// A code the table does not hold is refused with error 5 naming the combo and the code.
[[nodiscard]] std::string ComboText(const host::AppContextPtr& book, const host::Control& combo,
                                    const Variant& code);

}  // namespace qts::reports

#endif  // QTS_REPORTS_REPORT_VALUES_H_
