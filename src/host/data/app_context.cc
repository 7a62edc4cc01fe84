#include "host/data/app_context.h"

#include <fmt/format.h>

#include <filesystem>
#include <optional>
#include <system_error>
#include <variant>

#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/open_database.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/trace.h"
#include "db/transaction.h"
#include "host/data/book_upgrade.h"
#include "host/data/query.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/documents/th_good_spec_fix_log.h"
#include "host/schema/schema.h"
#include "host/services/business_operations.h"
#include "host/services/doc_editor.h"
#include "host/services/doc_spec_service.h"
#include "host/services/document_service.h"
#include "host/services/good_entry.h"
#include "host/services/host_lot_handler.h"
#include "host/services/user_defaults.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "AppContext";

[[noreturn]] void Fail(const std::string& description) {
  throw Error(kErrBook, std::string(kSource), description);
}

// The setting's value read by its kind.
Variant SettingValue(std::string_view kind, const std::string& text, Kind& kind_code) {
  if (kind == "integer") {
    kind_code = Kind::kLongId;
    if (text.empty()) return Variant::Null();
    try {
      return Variant(static_cast<int32_t>(std::stol(text)));
    } catch (const std::exception&) {
      return Variant(text);
    }
  }
  if (kind == "number") {
    kind_code = Kind::kMoney;
    if (text.empty()) return Variant::Null();
    std::optional<Currency> value = Currency::Parse(text);
    return value ? Variant(*value) : Variant(text);
  }
  if (kind == "date") {
    kind_code = Kind::kDate;
    if (text.empty()) return Variant::Null();
    std::optional<Date> value = Date::ParseIso(text);
    return value ? Variant(*value) : Variant(text);
  }
  kind_code = Kind::kText;
  return Variant(text);
}

// The book's database; a server that cannot be reached or refuses the login is a book that
// cannot be opened, named without its password.
std::unique_ptr<db::Connection> OpenBookDatabase(std::string_view address) {
  try {
    return db::OpenDatabase(address);
  } catch (const Error& e) {
    if (!db::IsServerAddress(address)) throw;
    Fail(e.Description());
  }
}

}  // namespace

AppContext::AppContext() : settings_(std::make_shared<NamedValueList>()) {}

AppContext::AppContext(std::string book_name)
    : book_name_(std::move(book_name)), settings_(std::make_shared<NamedValueList>()) {}

AppContext::~AppContext() = default;

std::vector<std::string> AppContext::BookCodes(db::Connection& connection) {
  std::vector<std::string> codes;
  for (const std::string& name : connection.TableNames()) {
    // Every book has its settings table.
    if (std::optional<std::string> code = schema::BookCodeOf(name, "Settings")) {
      codes.push_back(std::move(*code));
    }
  }
  return codes;
}

AppContext::FoundBook AppContext::FindBook(std::string_view path, std::string_view code) {
  // Messages name a server without its password.
  const std::string file = db::DescribeAddress(path);
  if (path != db::SqliteConnection::kMemory && !db::IsServerAddress(path)) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) Fail("no book file \"" + file + "\"");
    // Opening would make an empty file a database: it is left as it is.
    if (std::filesystem::file_size(file, ec) == 0 && !ec) {
      Fail("\"" + file + "\" is empty: it holds no book");
    }
  }
  std::unique_ptr<db::Connection> connection = OpenBookDatabase(path);
  std::vector<std::string> codes = BookCodes(*connection);
  std::string chosen;
  if (code.empty()) {
    if (codes.empty()) Fail("\"" + file + "\" holds no book");
    if (codes.size() > 1) {
      std::string list;
      for (const std::string& c : codes) list += (list.empty() ? "" : ", ") + c;
      Fail("\"" + file + "\" holds several books (" + list + "); name the book code");
    }
    chosen = codes.front();
  } else {
    for (const std::string& c : codes) {
      if (EqualsIgnoreCase(c, code)) chosen = c;
    }
    if (chosen.empty()) Fail("\"" + file + "\" holds no book \"" + std::string(code) + "\"");
  }
  schema::CheckBookCode(chosen);
  return {std::move(connection), chosen};
}

int AppContext::StoredSchemaVersion(db::Connection& connection, std::string_view code) {
  db::StatementHandle stmt = connection.Prepare(schema::BackendSql(
      "SELECT Value FROM Settings WHERE Name = 'SchemaVersion'", code, connection));
  if (!stmt->Step() || stmt->IsNull(0)) return 0;
  const std::string text = stmt->GetText(0);
  int version = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || version > 100000) return 0;
    version = version * 10 + (c - '0');
  }
  return version;
}

std::shared_ptr<AppContext> AppContext::Open(std::string_view path, std::string_view code) {
  FoundBook found = FindBook(path, code);
  auto context = std::make_shared<AppContext>();
  context->Attach(std::move(found.connection), std::string(path), found.code);
  Log(LogLevel::kInfo, "opened book {} in {} ({})", found.code, db::DescribeAddress(path),
      context->Connection().Dialect());
  return context;
}

std::shared_ptr<AppContext> AppContext::CreateBook(std::string_view path, std::string_view code,
                                                   bool allow_existing, const BookFiller& fill) {
  schema::CheckBookCode(code);
  const std::string file = db::DescribeAddress(path);
  const bool server = db::IsServerAddress(path);
  if (path != db::SqliteConnection::kMemory && !server && !allow_existing) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec) && std::filesystem::file_size(file, ec) > 0) {
      Fail("\"" + file + "\" exists already; a new book is not written over it");
    }
  }
  std::unique_ptr<db::Connection> connection = OpenBookDatabase(path);
  const sql::Dialect dialect = schema::DialectOf(*connection);
  for (const std::string& existing : BookCodes(*connection)) {
    if (EqualsIgnoreCase(existing, code)) {
      Fail("\"" + file + "\" holds a book \"" + existing + "\" already");
    }
  }
  {
    db::Transaction transaction(*connection);
    for (const std::string& sql : schema::CreateStatements(code, dialect)) {
      connection->Execute(sql);
    }
    if (fill) {
      fill(*connection, dialect);
    } else {
      for (const std::string& sql : schema::InitialDataStatements(code, dialect)) {
        connection->Execute(sql);
      }
    }
    transaction.Commit();
  }
  auto context = std::make_shared<AppContext>();
  context->Attach(std::move(connection), std::string(path), std::string(code));
  return context;
}

void AppContext::Attach(std::unique_ptr<db::Connection> connection, std::string path,
                        std::string code) {
  connection_ = std::move(connection);
  path_ = std::move(path);
  catalogue_ = std::make_unique<schema::BookCatalogue>(code);
  dialect_ = schema::DialectOf(*connection_);
  shapes_ = std::make_unique<sql::ShapeCache>(*catalogue_, dialect_);
  code_ = code;
  LoadSettings();
  const NamedValue* stored = settings_->Find("Code");
  if (stored == nullptr || stored->Value().Type() != VarType::kString ||
      !EqualsIgnoreCase(stored->Value().AsString(), code)) {
    connection_.reset();
    Fail("the settings of book \"" + code + "\" do not name it (setting \"Code\")");
  }
  // The stored form must be this build's: an older one is upgraded by `qts book upgrade`
  // first, a newer one needs a newer qts.
  const int stored_version = StoredSchemaVersion(*connection_, code);
  if (stored_version != schema::kSchemaVersion) {
    connection_.reset();
    Fail(SchemaVersionRefusal(code, path_, stored_version));
  }
  book_name_ = code;
}

void AppContext::LoadSettings() {
  auto settings = std::make_shared<NamedValueList>();
  const std::string_view tsql = "SELECT Name, Kind, Value FROM Settings ORDER BY Name";
  const std::string sql = sql::Translate(tsql, *catalogue_, dialect_);
  db::NoteTranslation(sql, tsql);
  db::StatementHandle stmt = connection_->Prepare(sql);
  while (stmt->Step()) {
    std::string name = stmt->GetText(0);
    std::string kind = stmt->IsNull(1) ? "text" : stmt->GetText(1);
    std::string text = stmt->IsNull(2) ? "" : stmt->GetText(2);
    Kind kind_code = Kind::kText;
    Variant value = SettingValue(kind, text, kind_code);
    if (settings->Find(name) == nullptr) settings->Add(name, kind_code, std::move(value));
  }
  settings_ = std::move(settings);
}

void AppContext::CheckOpen() const {
  if (!connection_) {
    Fail(book_name_.empty() ? "no book is open"
                            : "book \"" + book_name_ + "\" has no database open");
  }
}

const schema::BookCatalogue& AppContext::Catalogue() const {
  CheckOpen();
  return *catalogue_;
}

sql::ShapeCache& AppContext::Shapes() const {
  CheckOpen();
  return *shapes_;
}

db::StatementHandle AppContext::PrepareTsql(std::string_view tsql, int* parameter_count) const {
  CheckOpen();
  sql::ParameterizedSql translated = shapes_->Translate(tsql);
  db::NoteTranslation(translated.sql, tsql);
  db::StatementHandle statement = connection_->Prepare(translated.sql);
  for (size_t i = 0; i < translated.values.size(); ++i) {
    const int index = translated.parameter_count + static_cast<int>(i) + 1;
    std::visit([&](auto& value) { statement->Bind(index, db::Value(std::move(value))); },
               translated.values[i]);
  }
  if (parameter_count != nullptr) *parameter_count = translated.parameter_count;
  return statement;
}

int64_t AppContext::ExecuteTsql(std::string_view tsql,
                                std::initializer_list<db::Value> params) const {
  int count = 0;
  db::StatementHandle statement = PrepareTsql(tsql, &count);
  if (static_cast<int>(params.size()) != count) {
    throw db::DatabaseError(
        db::kErrDbMisuse, "AppContext",
        fmt::format("{} value(s) given for the {} parameter(s) of: {}", params.size(), count, tsql),
        0, std::string(tsql));
  }
  int index = 0;
  for (const db::Value& value : params) statement->Bind(++index, value);
  statement->Run();
  return connection_->Changes();
}

db::Connection& AppContext::Connection() const {
  CheckOpen();
  return *connection_;
}

std::shared_ptr<Query> AppContext::CreateQuery(std::string_view table_name) {
  CheckOpen();
  auto self = std::dynamic_pointer_cast<AppContext>(shared_from_this());
  return Query::Create(std::move(self), table_name);
}

ObjectPtr AppContext::CreateObject(std::string_view class_name) {
  using Factory = ObjectPtr (*)(const std::shared_ptr<AppContext>&);
  static const std::pair<std::string_view, Factory> kClasses[] = {
      {"THDocument",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         return std::make_shared<THDocument>(b);
       }},
      {"THGoodSpec",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         return std::make_shared<THGoodSpec>(b);
       }},
      {"THGoodSpecFixLog",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         return std::make_shared<THGoodSpecFixLog>(b);
       }},
      {"GoodEntry",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         auto good = std::make_shared<GoodEntry>();
         good->Init(b);
         return good;
       }},
      {"DocSpecService",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         auto service = std::make_shared<DocSpecService>();
         service->Init(b);
         return service;
       }},
      {"DocumentService",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         auto service = std::make_shared<DocumentService>();
         service->Init(b, nullptr);
         return service;
       }},
      {"BusinessOperations",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         auto operations = std::make_shared<BusinessOperations>();
         operations->Attach(b);
         return operations;
       }},
      {"UserDefaults",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         auto defaults = std::make_shared<UserDefaults>();
         defaults->Init(b);
         return defaults;
       }},
      {"DocEditor",
       [](const std::shared_ptr<AppContext>& b) -> ObjectPtr {
         return std::make_shared<DocEditor>(b);
       }},
      {"HostLotHandler",
       [](const std::shared_ptr<AppContext>&) -> ObjectPtr {
         return std::make_shared<HostLotHandler>();
       }},
  };
  for (const auto& [name, factory] : kClasses) {
    if (EqualsIgnoreCase(class_name, name)) {
      CheckOpen();
      return factory(std::dynamic_pointer_cast<AppContext>(shared_from_this()));
    }
  }
  throw Error(kErrCannotCreate, std::string(kSource),
              "the host has no class \"" + std::string(class_name) + "\"");
}

}  // namespace qts::host
