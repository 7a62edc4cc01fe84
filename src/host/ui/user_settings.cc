#include "host/ui/user_settings.h"

#include "core/convert.h"
#include "core/error.h"

namespace qts::host {

namespace {
constexpr std::string_view kApplication = "Halden Enterprise";
}

std::string UserSettings::Section(std::string_view form) { return "Forms\\" + std::string(form); }

Variant UserSettings::GetFormValue(std::string_view key, std::string_view form) const {
  std::optional<std::string> value = store_.Find(kApplication, Section(form), key);
  if (!value) return Variant();
  return Variant(*value);
}

void UserSettings::SaveFormValue(std::string_view key, std::string_view form,
                                 const Variant& value) const {
  if (value.IsObject()) {
    throw Error(kErrTypeMismatch, "UserSettings",
                "the value of \"" + std::string(key) + "\" for \"" + std::string(form) +
                    "\" is an object and cannot be saved");
  }
  std::string text = value.IsNull() || value.IsEmpty() ? std::string() : CStr(value);
  store_.SaveSetting(kApplication, Section(form), key, text);
}

}  // namespace qts::host
