// Reading the host's objects by name, as the act reports read the open document form: a
// member of an object held in a Variant, a control's property, a document field through the
// form, a field of a chosen row.
#ifndef QTS_REPORTS_LATE_BOUND_H_
#define QTS_REPORTS_LATE_BOUND_H_

#include <string_view>
#include <vector>

#include "core/variant.h"

namespace qts::reports::late {

// Property `name` of the object `object` holds (any case; `args` as the member takes them).
// Error 424 naming the member when `object` holds no object (or Nothing); error 438 from the
// object when it has no such member.
[[nodiscard]] Variant Member(const Variant& object, std::string_view name,
                             std::vector<Variant> args = {});
// Method `name` of that object, with the same errors.
[[nodiscard]] Variant Call(const Variant& object, std::string_view name,
                           std::vector<Variant> args = {});
// `form.control.property`: the control by its name, then its property.
[[nodiscard]] Variant ControlProperty(const Variant& form, std::string_view control,
                                      std::string_view property);
// The value of document field `field` through the form's Get_oDoc(field): the form may hand
// back the value itself or the field, whose Value is read.
[[nodiscard]] Variant DocField(const Variant& form, std::string_view field);
// Field `field` of a chosen row (a combo's AtomObject: a named-value list, or an object with
// a "Fields" list); Null when no row is chosen (Empty or Nothing). Error 438 naming the field
// when the row has no such field.
[[nodiscard]] Variant RowField(const Variant& row, std::string_view field);

}  // namespace qts::reports::late

#endif  // QTS_REPORTS_LATE_BOUND_H_
