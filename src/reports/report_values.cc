#include "reports/report_values.h"

#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"

namespace qts::reports {

std::string ValueText(const Variant& value) {
  return value.IsEmpty() || value.IsNull() ? std::string() : CStr(value);
}

std::string ValueText(const host::NamedValueList& values, std::string_view name) {
  return ValueText(values.Item(name).Value());
}

Date PickedDate(const host::Form& form, std::string_view picker) {
  const Variant& value = form.Item(picker).Value();
  if (value.IsNull() || value.IsEmpty()) {
    throw Error(kErrInvalidUseOfNull, form.Name(), "no date in \"" + std::string(picker) + "\"");
  }
  return CDate(value);
}

int32_t PickedNumber(const host::Form& form, std::string_view box) {
  const Variant& value = form.Item(box).Value();
  if (value.IsNull() || value.IsEmpty() ||
      (value.Type() == VarType::kString && value.AsString().empty())) {
    throw Error(kErrInvalidUseOfNull, form.Name(), "no number in \"" + std::string(box) + "\"");
  }
  try {
    return CLng(value);
  } catch (const Error& e) {
    if (e.Number() != kErrOverflow) throw;
    throw Error(kErrOverflow, form.Name(),
                "the number in \"" + std::string(box) + "\" is out of range: " + CStr(value) +
                    " (at most 2147483647 either way)");
  }
}

std::string ComboText(const host::AppContextPtr& book, const host::Control& combo,
                      const Variant& code) {
  std::string shown = CStr(combo.Property("Text"));
  if (!shown.empty() || CStr(combo.Value()).empty()) return shown;
  const std::string table = CStr(combo.Property("TableName"));
  host::QueryPtr rows = book->CreateQuery(table);
  rows->AddWhere(
      host::SqlTools::Instance()->Condition(rows->Fields().Item("Code"), host::kOpEqual, code));
  rows->Fields().KeepOnly({"Name"});
  rows->Open();
  if (rows->Eof()) {
    throw Error(kErrInvalidCall, combo.Name(),
                "\"" + CStr(combo.Value()) + "\" is not a code of " + table);
  }
  const Variant& name = rows->Fields().Item("Name").Value();
  return name.IsNull() || name.IsEmpty() ? std::string() : CStr(name);
}

}  // namespace qts::reports
