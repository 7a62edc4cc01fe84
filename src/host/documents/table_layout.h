// How the document objects see one table of the book: its columns with their types, defaults
// and host kind codes, the T-SQL texts they run on it, and the conversion of values between the
// host's Variants and the backend's storage.
//
// The texts are T-SQL over logical names with '?' parameters, built once per layout; the book
// translates each once (AppContext::PrepareTsql) and the connection's statement cache keeps it
// prepared, so a row-at-a-time caller binds values to an already parsed statement.
#ifndef QTS_HOST_DOCUMENTS_TABLE_LAYOUT_H_
#define QTS_HOST_DOCUMENTS_TABLE_LAYOUT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/variant.h"
#include "db/connection.h"
#include "db/statement.h"
#include "db/transaction.h"
#include "db/value.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/schema/schema.h"

namespace qts::host {

// Raises kErrDocument with `source` and `description`.
[[noreturn]] void RaiseDocumentError(std::string_view source, std::string description);

struct LayoutColumn {
  std::string name;  // canonical spelling
  sql::SqlType type = sql::SqlType::kUnknown;
  int length = 0;  // text: declared length in characters; 0 unbounded
  bool nullable = true;
  int32_t kind = 0;  // host kind code of the column (KindOfSqlType)
  Variant blank;     // the value of a new record: the column's default, else Null
};

class TableLayout {
 public:
  // The layout of `logical_name` in the book of `catalogue`; null when the book has no such
  // table. `source` names the host object in error messages.
  [[nodiscard]] static std::unique_ptr<TableLayout> Create(const schema::BookCatalogue& catalogue,
                                                           std::string_view logical_name,
                                                           std::string source);

  const std::string& Name() const { return name_; }
  // The quoted logical name, ready for T-SQL text.
  const std::string& Table() const { return table_; }
  const std::vector<LayoutColumn>& Columns() const { return columns_; }
  // The position of a column (case-insensitive), or -1.
  int IndexOf(std::string_view column) const;

  // '"A", "B", ...' for the columns from `first` on, each prefixed by `alias` + '.' when an
  // alias is given.
  std::string ColumnList(size_t first = 0, std::string_view alias = {}) const;
  // "INSERT INTO t (cols from `first`) VALUES (?, ...)".
  std::string InsertSql(size_t first) const;
  // "UPDATE t SET col = ?, ... (cols from `first`) WHERE <key1> = ? AND ...": the key
  // parameters come after the columns'.
  std::string UpdateSql(size_t first, const std::vector<std::string>& keys) const;
  // The same for the columns at `columns` only, numbered in that order.
  std::string UpdateSql(const std::vector<size_t>& columns,
                        const std::vector<std::string>& keys) const;
  // "SELECT cols FROM t WHERE <key1> = ? AND ...".
  std::string SelectSql(const std::vector<std::string>& keys) const;

  // Appends one entry per column from `first` on, named `prefix` + column, with its kind and
  // blank value.
  void AddEntries(NamedValueList& list, size_t first = 0, std::string_view prefix = {}) const;

  // `value` as the backend stores it in column `index`: Null and Empty as NULL, integers as
  // integers, money and quantities as Currency (then a real), dates as ISO text. Raises error
  // 13 naming the field for a value the column cannot take, kErrDocument for a text longer
  // than the column or a Null in a column that needs a value.
  db::Value ToStorage(size_t index, const Variant& value) const;
  // Binds `value` to parameter `parameter` after ToStorage.
  void Bind(db::Statement& statement, int parameter, size_t index, const Variant& value) const;
  // Column `column` of the statement's current row as the host reads column `index`: integers
  // as Long, money and quantities as Currency, dates as Date, text as String, NULL as Null.
  Variant Read(const db::Statement& statement, int column, size_t index) const;
  // The same from a cell a row visitor was handed (db::RowVisitor): its storage kind and
  // value (the one that matches the kind), put in `out`. False, with `out` untouched, for a
  // number the column takes as text: the caller reads the cell's text from the statement
  // (the backend spells it).
  struct Cell {
    db::ValueKind kind = db::ValueKind::kNull;
    int64_t integer = 0;
    double real = 0;
    std::string_view text;
    Currency money;  // kind kMoney: a money column as the backend read it
  };
  // Appends to `money` whether each column from `first` on holds money: the columns a row
  // read (db::Statement::ReadRow) takes as money.
  void AppendMoneyColumns(std::vector<bool>& money, size_t first = 0) const;
  bool FromCell(const Cell& cell, size_t index, Variant& out) const;

 private:
  TableLayout() = default;

  std::string name_;
  std::string table_;
  std::string source_;
  std::vector<LayoutColumn> columns_;
};

// One write of a document object (a row and its additional row): all of it or nothing. With
// no transaction open on the connection it is a transaction of its own (db::Transaction).
// Inside the caller's transaction it is either a savepoint (kSavepoint: a nested
// db::Transaction), or, for a write that only inserts (kUndoActions), no savepoint at all: the
// writer registers how to take back each statement that succeeded (deleting the row it
// inserted), and a scope left without Commit() runs those actions, newest first. A single
// statement that fails leaves nothing behind by itself, so this undoes the whole write at a
// fraction of a savepoint's cost (the backend copies every page a savepoint touches).
class WriteScope {
 public:
  enum class Nested { kSavepoint, kUndoActions };

  explicit WriteScope(db::Connection& connection, Nested nested = Nested::kSavepoint);
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;
  ~WriteScope() noexcept;

  // Registers the undo of a statement that succeeded; used only under kUndoActions inside the
  // caller's transaction (ignored otherwise: a transaction or savepoint undoes it).
  void OnRollback(std::function<void()> undo);
  void Commit();

 private:
  std::unique_ptr<db::Transaction> transaction_;
  bool collect_undo_ = false;
  std::vector<std::function<void()>> undo_;
};

// `slot`'s statement (the T-SQL `tsql` prepared on first use through the book), reset for its
// next run: a rows object keeps the statements of its row reads and writes this way.
inline db::Statement& HeldStatement(const AppContext& book, db::StatementHandle& slot,
                                    const std::string& tsql) {
  if (!slot) slot = book.PrepareTsql(tsql);
  slot->Reset();
  return *slot;
}

// Resets a held statement when the reader is done, so it pins no snapshot of the database.
class ResetOnExit {
 public:
  explicit ResetOnExit(db::Statement& statement) : statement_(statement) {}
  ResetOnExit(const ResetOnExit&) = delete;
  ResetOnExit& operator=(const ResetOnExit&) = delete;
  ~ResetOnExit() { statement_.Reset(); }

 private:
  db::Statement& statement_;
};

// The characters of UTF-8 text (continuation bytes not counted).
size_t Utf8Length(std::string_view text);

// The "IDC" of the first row of the logical table `table` (alias oTable) that matches the
// T-SQL `condition`, in the order `order_by`; 0 when no row matches. The condition goes
// through the translator, so it is checked before it reaches the database.
int32_t FindFirstIdc(AppContext& book, std::string_view table, std::string_view condition,
                     std::string_view order_by);

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_TABLE_LAYOUT_H_
