// The last choices of parameter forms, per user and form, kept in the per-user settings store
// (application "Halden Enterprise", one section per form).
#ifndef QTS_HOST_UI_USER_SETTINGS_H_
#define QTS_HOST_UI_USER_SETTINGS_H_

#include <string>
#include <string_view>

#include "core/object.h"
#include "core/variant.h"
#include "host/services/settings_store.h"

namespace qts::host {

class UserSettings final : public virtual Object {
 public:
  // The current user's store ($QTS_SETTINGS or the default file).
  UserSettings() = default;
  explicit UserSettings(SettingsStore store) : store_(std::move(store)) {}
  std::string_view ClassName() const override { return "UserSettings"; }

  // The value saved under `key` for `form`, as text; Empty when nothing was saved.
  Variant GetFormValue(std::string_view key, std::string_view form) const;
  // Saves `value` as text (Null and Empty as ""); objects are refused with error 13.
  void SaveFormValue(std::string_view key, std::string_view form, const Variant& value) const;

  // The store section of a form's values.
  static std::string Section(std::string_view form);

 private:
  SettingsStore store_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_USER_SETTINGS_H_
