#include "host/services/user_defaults.h"

#include <cstdlib>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/schema/schema.h"
#include "host/services/settings_store.h"

namespace qts::host {
namespace {

constexpr std::string_view kApp = "Halden Enterprise";
constexpr std::string_view kSection = "Defaults";
constexpr std::string_view kKey = "DefaultStore";

std::string Key(std::string_view doc_type) {
  return doc_type.empty() ? std::string(kKey) : std::string(kKey) + "." + std::string(doc_type);
}

}  // namespace

UserDefaults::UserDefaults() = default;
UserDefaults::~UserDefaults() = default;

int32_t UserDefaults::CurrentUserId() {
  const char* text = std::getenv("QTS_USER_ID");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  const long id = std::strtol(text, &end, 10);
  if (*end != '\0' || id < 0 || id > INT32_MAX) return 0;
  return static_cast<int32_t>(id);
}

void UserDefaults::Init(AppContextPtr book, std::shared_ptr<SettingsStore> store) {
  book_ = std::move(book);
  store_ = std::move(store);
  user_id_ = CurrentUserId();
}

std::optional<std::string> UserDefaults::BookSetting(const std::string& name) {
  db::StatementHandle s =
      book_->PrepareTsql("SELECT Value FROM UserSettings WHERE UserId = ? AND Name = ?");
  s->BindInt64(1, user_id_);
  s->BindText(2, name);
  if (!s->Step() || s->ColumnKind(0) == db::ValueKind::kNull) return std::nullopt;
  return s->GetText(0);
}

bool UserDefaults::IsStore(const std::string& code) {
  if (code.empty()) return false;
  db::StatementHandle s = book_->PrepareTsql("SELECT 1 FROM STStore WHERE Code = ?");
  s->BindText(1, code);
  return s->Step();
}

std::string UserDefaults::DefaultStore(std::string_view doc_type) {
  if (!book_) throw Error(kErrBook, "UserDefaults", "no book (Init was not called)");
  std::vector<std::string> keys;
  if (!doc_type.empty()) keys.push_back(Key(doc_type));
  keys.push_back(Key({}));
  for (const std::string& key : keys) {
    std::optional<std::string> value = BookSetting(key);
    if (value && IsStore(*value)) return *value;
  }
  if (!store_) store_ = std::make_shared<SettingsStore>();
  for (const std::string& key : keys) {
    std::optional<std::string> value = store_->Find(kApp, kSection, key);
    if (value && IsStore(*value)) return *value;
  }
  if (const NamedValue* setting = book_->Settings().Find(kKey)) {
    const Variant& v = setting->Value();
    std::string code = v.IsNull() || v.IsEmpty() ? std::string() : CStr(v);
    if (IsStore(code)) return code;
  }
  return {};
}

void UserDefaults::SetDefaultStore(std::string_view doc_type, std::string_view store) {
  if (!book_) throw Error(kErrBook, "UserDefaults", "no book (Init was not called)");
  const std::string code(store);
  if (!code.empty() && !IsStore(code)) {
    throw Error(kErrInvalidCall, "UserDefaults", "the book has no store \"" + code + "\"");
  }
  db::Transaction transaction(book_->Connection());
  book_->ExecuteTsql("DELETE FROM UserSettings WHERE UserId = ? AND Name = ?",
                     {int64_t{user_id_}, Key(doc_type)});
  if (!code.empty()) {
    book_->ExecuteTsql("INSERT INTO UserSettings (UserId, Name, Value) VALUES (?, ?, ?)",
                       {int64_t{user_id_}, Key(doc_type), code});
  }
  transaction.Commit();
}

}  // namespace qts::host
