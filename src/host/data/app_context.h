// A book: one company's data set, through which documents and queries are created.
//
// A book lives in a database under the tables "<Code>$<logical name>"; the setting "Code" in
// its "Settings" table names it. Open finds the book in an existing database, CreateBook makes
// a new one (schema and initial rows in one transaction). A context made with the plain
// constructors has no database: BookName tells whether it is usable, and every data operation
// raises.
#ifndef QTS_HOST_DATA_APP_CONTEXT_H_
#define QTS_HOST_DATA_APP_CONTEXT_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "db/connection.h"
#include "host/data/named_value_list.h"
#include "host/fwd.h"
#include "sql/shape_cache.h"
#include "sql/translator.h"

namespace qts::host::schema {
class BookCatalogue;
}

namespace qts::host {

class AppContext : public virtual Object {
 public:
  AppContext();
  explicit AppContext(std::string book_name);
  ~AppContext() override;
  std::string_view ClassName() const override { return "AppContext"; }

  // Opens the book stored in the database at `path` (an SQLite file, or a PostgreSQL server's
  // address: "postgresql://..." or a libpq connection string). With an empty `code`
  // the database must hold exactly one book; otherwise the book of that code is opened.
  // Raises kErrBook when the file is missing, holds no book, several books and no code was
  // given, or its settings do not name the book.
  [[nodiscard]] static std::shared_ptr<AppContext> Open(std::string_view path,
                                                        std::string_view code = {});
  // Creates a book with code `code` in the database at `path` (SQLite; ":memory:" makes a
  // private book that lives as long as the context) and opens it. The tables, views and
  // initial rows are written in one transaction: on any failure nothing is left. An existing
  // file that is not empty is refused unless `allow_existing` (then it must not hold a book of
  // the same code). Raises kErrBook, or error 5 for a bad code.
  //
  // `path` may also be a server address (db/open_database.h): the book's tables are then made
  // on the server, which must not hold a book of that code. With `fill`, the new tables are
  // filled by it (in the same transaction) instead of with the initial rows.
  using BookFiller = std::function<void(db::Connection&, sql::Dialect)>;
  [[nodiscard]] static std::shared_ptr<AppContext> CreateBook(std::string_view path,
                                                              std::string_view code,
                                                              bool allow_existing = false,
                                                              const BookFiller& fill = nullptr);
  // The codes of the books stored in the database at `path` (empty when none).
  [[nodiscard]] static std::vector<std::string> BookCodes(db::Connection& connection);

  // The database at `path` and the code of the book in it that Open would open, without
  // reading the book's settings (a book of another stored form is found too). Raises as Open.
  struct FoundBook {
    std::unique_ptr<db::Connection> connection;
    std::string code;
  };
  [[nodiscard]] static FoundBook FindBook(std::string_view path, std::string_view code = {});
  // The stored form recorded in the settings of book `code` ("SchemaVersion"): 0 when none is
  // recorded or it is no whole number.
  [[nodiscard]] static int StoredSchemaVersion(db::Connection& connection, std::string_view code);

  // The book's name: its code. Empty when the context is not usable.
  const std::string& BookName() const { return book_name_; }
  bool IsOpen() const { return connection_ != nullptr; }
  // The book code; empty when not open.
  const std::string& Code() const { return code_; }
  const std::string& Path() const { return path_; }

  // The system settings ("Code", "AccountCurrency", "SDProc", "VSDProc", "TransportAlgoritm",
  // ...), typed by their kind: text as String (Kind::kText), integer as Long (kLongId), number
  // as Currency (kMoney), date as Date (kDate). Empty when the context is not open. Changing
  // the list does not write the book.
  NamedValueList& Settings() { return *settings_; }
  const NamedValueList& Settings() const { return *settings_; }
  NamedValueListPtr SettingsList() const { return settings_; }

  // The translator's catalogue and the backend connection; kErrBook when not open.
  const schema::BookCatalogue& Catalogue() const;
  db::Connection& Connection() const;
  sql::Dialect Dialect() const { return dialect_; }
  // The kept translations of statements that differ only in their compared literals (row
  // searches); kErrBook when not open.
  sql::ShapeCache& Shapes() const;
  // The T-SQL statement `tsql` (a SELECT, or an INSERT, UPDATE or DELETE of one table)
  // translated through the kept shapes and prepared for the book's backend, its literals bound
  // as parameters: the one road of every statement the host runs on the book. Its own '?'
  // parameters are 1..n in the order written, for the caller to bind; a money or quantity
  // parameter is bound as Currency. Raises SqlError for T-SQL outside the subset, kErrBook when
  // not open.
  // With `parameter_count`, the number of its own '?'s is put there.
  [[nodiscard]] db::StatementHandle PrepareTsql(std::string_view tsql,
                                                int* parameter_count = nullptr) const;
  // Runs the T-SQL statement `tsql` as PrepareTsql prepares it, with `params` bound to its
  // '?'s in order (raising kErrDbMisuse unless there is one value for each). Returns the rows
  // it changed.
  int64_t ExecuteTsql(std::string_view tsql, std::initializer_list<db::Value> params = {}) const;

  // A query over the logical source `table_name` (a table, view or parameterised source),
  // whose main table has the alias "oTable"; an empty name makes a query that selects from
  // another one (Query::FromQuery). Raises kErrBook when not open, and error 5 naming the
  // source when the book has no such source.
  [[nodiscard]] std::shared_ptr<Query> CreateQuery(std::string_view table_name);

  // Creates a host object of this book by class name (case-insensitive): "THDocument" (a
  // blank new document), "THGoodSpec" (the rows object), and the services bound to this book:
  // "GoodEntry", "DocSpecService", "DocumentService" (not yet bound to a document: Init it),
  // "BusinessOperations", "UserDefaults", "DocEditor", "HostLotHandler" (Init it with a
  // document handler). Any other name raises error 429 naming it; a book that is not open
  // raises kErrBook.
  [[nodiscard]] ObjectPtr CreateObject(std::string_view class_name);

 private:
  void Attach(std::unique_ptr<db::Connection> connection, std::string path, std::string code);
  void LoadSettings();
  void CheckOpen() const;

  std::string book_name_;
  std::string code_;
  std::string path_;
  std::unique_ptr<db::Connection> connection_;
  std::unique_ptr<schema::BookCatalogue> catalogue_;
  std::unique_ptr<sql::ShapeCache> shapes_;
  NamedValueListPtr settings_;
  sql::Dialect dialect_ = sql::Dialect::kSqlite;
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_APP_CONTEXT_H_
