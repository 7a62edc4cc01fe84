// Small pieces the category, ordered/manufactured goods and write-off summary reports share:
// the kind codes their values and columns carry, reading a declared value as text, and
// reading the choices of a parameter form's date pickers and reference combos.
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

// The host's kind codes as the reports pass them.
namespace kind {
inline constexpr int32_t kCategory = 1;
inline constexpr int32_t kRowId = 2;
inline constexpr int32_t kLongId = 3;
inline constexpr int32_t kCode = 7;
inline constexpr int32_t kDate = 9;
inline constexpr int32_t kFixDate = 10;
inline constexpr int32_t kFlag = 14;
inline constexpr int32_t kText = 15;
inline constexpr int32_t kName = 16;
inline constexpr int32_t kMoney = 19;
inline constexpr int32_t kQuantity = 20;
inline constexpr int32_t kPrice = 24;
inline constexpr int32_t kUser = 30;
inline constexpr int32_t kDataList = 100;
}  // namespace kind

// The window handle OpenWithWait replaces by the host's main window.
inline constexpr int32_t kMainWindow = -1;

// The value of entry `name` as text; "" when it is Empty or Null.
[[nodiscard]] std::string ValueText(const host::NamedValueList& values, std::string_view name);

// The date a date picker holds. An emptied picker stops the run with error 94 naming the
// picker and the form.
[[nodiscard]] Date PickedDate(const host::Form& form, std::string_view picker);

// The text a reference combo shows for its chosen row: its "Text" when the host filled it,
// otherwise the "Name" of the row of its table whose "Code" is the chosen code ("" when none
// is chosen). `code` is the chosen code as the table holds it (an integer for integer codes).
// A code the table does not hold is refused with error 5 naming the combo and the code.
[[nodiscard]] std::string ComboText(const host::AppContextPtr& book, const host::Control& combo,
                                    const Variant& code);

}  // namespace qts::reports

#endif  // QTS_REPORTS_REPORT_VALUES_H_
