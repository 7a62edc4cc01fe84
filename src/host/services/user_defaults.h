// The defaults of the working user: the store a new document starts in.
//
// The user is a number: $QTS_USER_ID when it holds one, else 0 (a book's single user). A
// default is looked up, first hit wins, in
//   1. the book's "UserSettings" of the user: "DefaultStore.<doc type>", then "DefaultStore";
//   2. the per-user settings store (SettingsStore), application "Halden Enterprise", section
//      "Defaults", the same two keys;
//   3. the book's system setting "DefaultStore".
// A value that names no store of the book ("STStore") is skipped.
#ifndef QTS_HOST_SERVICES_USER_DEFAULTS_H_
#define QTS_HOST_SERVICES_USER_DEFAULTS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class SettingsStore;

class UserDefaults : public virtual Object {
 public:
  UserDefaults();
  ~UserDefaults() override;
  std::string_view ClassName() const override { return "UserDefaults"; }

  // Binds to `book` and the current user. `store` replaces the per-user settings store (tests);
  // null uses the user's default store.
  void Init(AppContextPtr book, std::shared_ptr<SettingsStore> store = nullptr);
  int32_t UserId() const { return user_id_; }
  // Works for another user of the book.
  void SetUserId(int32_t user_id) { user_id_ = user_id; }

  // The default store code for documents of `doc_type` ("" for any type); "" when none is set.
  [[nodiscard]] std::string DefaultStore(std::string_view doc_type = {});
  // Saves `store` as the user's default store for `doc_type` ("": for every type) in the
  // book's "UserSettings". An empty `store` removes the default.
  void SetDefaultStore(std::string_view doc_type, std::string_view store);

  // The current user's number (see above).
  static int32_t CurrentUserId();

 private:
  std::optional<std::string> BookSetting(const std::string& name);
  bool IsStore(const std::string& code);

  AppContextPtr book_;
  std::shared_ptr<SettingsStore> store_;
  int32_t user_id_ = 0;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_USER_DEFAULTS_H_
