#include "reports/late_bound.h"

#include <memory>
#include <string>
#include <utility>

#include "core/dispatch.h"
#include "core/error.h"
#include "host/data/named_value_list.h"

namespace qts::reports::late {

namespace {

constexpr const char* kSource = "IReportExec::Run";

Variant Invoked(const Variant& object, std::string_view name, InvokeKind kind,
                std::vector<Variant> args) {
  if (!object.IsObject() || object.IsNothing()) {
    throw Error(kErrObjectRequired, kSource,
                "\"" + std::string(name) + "\" is read from something that is no object");
  }
  return CallByName(object.AsObject(), name, kind, std::move(args));
}

}  // namespace

Variant Member(const Variant& object, std::string_view name, std::vector<Variant> args) {
  return Invoked(object, name, InvokeKind::kPropertyGet, std::move(args));
}

Variant Call(const Variant& object, std::string_view name, std::vector<Variant> args) {
  return Invoked(object, name, InvokeKind::kMethod, std::move(args));
}

Variant ControlProperty(const Variant& form, std::string_view control, std::string_view property) {
  return Member(Member(form, control), property);
}

Variant DocField(const Variant& form, std::string_view field) {
  Variant value = Member(form, "Get_oDoc", {Variant(std::string(field))});
  if (value.IsObject()) return Member(value, "Value");
  return value;
}

Variant RowField(const Variant& row, std::string_view field) {
  if (row.IsEmpty() || row.IsNothing()) return Variant::Null();
  if (!row.IsObject()) return Member(row, "Fields");  // raises 424 naming the member
  auto fields = std::dynamic_pointer_cast<host::NamedValueList>(row.AsObject());
  if (!fields) {
    Variant list = Member(row, "Fields");
    fields = list.IsObject() ? std::dynamic_pointer_cast<host::NamedValueList>(list.AsObject())
                             : nullptr;
    if (!fields) {
      throw Error(kErrTypeMismatch, kSource, "the Fields of the chosen row are no field list");
    }
  }
  const host::NamedValue* entry = fields->Find(field);
  if (!entry) {
    throw Error(kErrNoSuchMember, kSource,
                "the chosen row has no field \"" + std::string(field) + "\"");
  }
  return entry->Value();
}

}  // namespace qts::reports::late
