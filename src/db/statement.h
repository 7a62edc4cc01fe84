// A prepared statement of some backend. Obtained from Connection::Prepare, which hands out
// cached statements through a StatementHandle.
#ifndef QTS_DB_STATEMENT_H_
#define QTS_DB_STATEMENT_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace qts::db {

// Receives the cells of one result row, each once and in column order, in the backend's own
// storage kind: the bulk read behind a query's recordset, one type lookup per cell. A column
// the caller names as money comes as Money (or Null), read as GetCurrency reads it.
class RowVisitor {
 public:
  virtual void Null(int column) = 0;
  virtual void Integer(int column, int64_t value) = 0;
  virtual void Real(int column, double value) = 0;
  // Valid until the visit returns.
  virtual void Text(int column, std::string_view value) = 0;
  virtual void Bytes(int column, const Blob& value) = 0;
  virtual void Money(int column, Currency value) = 0;

 protected:
  ~RowVisitor() = default;
};

// Parameters are numbered from 1 (as SQL numbers them: ?1, the first ?), result columns
// from 0. Column reads are valid only while Step() has just returned true; any other read
// raises kErrDbMisuse. Text read through GetTextView stays valid until the next Step(),
// Reset() or read of the same column through another getter.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  virtual ~Statement() = default;

  // The SQL text the statement was prepared from.
  virtual const std::string& Sql() const noexcept = 0;

  // --- Parameters ---
  virtual int ParameterCount() const noexcept = 0;
  // The 1-based index of a named parameter. `name` may carry its prefix (":id", "@id",
  // "$id") or not ("id"); raises kErrDbMisuse when the statement has no such parameter.
  virtual int ParameterIndex(std::string_view name) const = 0;

  virtual void BindNull(int index) = 0;
  virtual void BindInt64(int index, int64_t value) = 0;
  virtual void BindDouble(int index, double value) = 0;
  // The text is copied; the caller's buffer may go away right after the call.
  virtual void BindText(int index, std::string_view value) = 0;
  virtual void BindBlob(int index, const Blob& value) = 0;
  // A money value (NUMERIC(19,4)), kept as the backend keeps money.
  virtual void BindCurrency(int index, Currency value) = 0;
  void Bind(int index, const Value& value);
  void Bind(std::string_view name, const Value& value) { Bind(ParameterIndex(name), value); }
  // Binds values to parameters 1..n in order.
  void BindAll(std::initializer_list<Value> values);

  // --- Execution ---
  // Runs the statement up to its next row: true when a row is available, false when the
  // statement has finished. Raises DatabaseError on failure.
  [[nodiscard]] virtual bool Step() = 0;
  // Runs a statement that returns no rows to completion (or one whose rows are not wanted).
  void Run();
  // Rewinds the statement to run again. Bound values are kept.
  virtual void Reset() noexcept = 0;
  // Sets every parameter back to NULL.
  virtual void ClearBindings() noexcept = 0;

  // --- Result columns ---
  virtual int ColumnCount() const noexcept = 0;
  virtual std::string ColumnName(int column) const = 0;
  // The type the column was declared with in its table ("NUMERIC(19,4)", "TEXT"), empty for
  // an expression.
  virtual std::string ColumnDeclaredType(int column) const = 0;

  // The storage kind of the column in the current row.
  virtual ValueKind ColumnKind(int column) const = 0;
  bool IsNull(int column) const { return ColumnKind(column) == ValueKind::kNull; }
  // Typed getters. NULL raises error 94 (invalid use of Null). An integer reads as a real;
  // a real reads as an integer only when it is integral and in range; text reads as a
  // number only when all of it is that number; anything else raises error 13 (type
  // mismatch). GetText renders numbers as the backend does.
  virtual int64_t GetInt64(int column) const = 0;
  virtual double GetDouble(int column) const = 0;
  virtual std::string_view GetTextView(int column) const = 0;
  std::string GetText(int column) const { return std::string(GetTextView(column)); }
  virtual Blob GetBlob(int column) const = 0;
  // A money column (a NUMERIC(19,4) column, or an expression the translator typed as money),
  // exactly. NULL raises error 94; a value beyond Currency's range raises error 6; anything
  // that is no money raises error 13.
  virtual Currency GetCurrency(int column) const = 0;
  // The column as a Value of its storage kind; never raises for NULL.
  Value GetValue(int column) const;
  // Hands every column of the current row to `visitor`; the columns whose entry in `money` is
  // true (a shorter list leaves the rest plain) come as money. kErrDbMisuse with no current
  // row.
  virtual void ReadRow(RowVisitor& visitor, const std::vector<bool>& money = {}) const;
};

}  // namespace qts::db

#endif  // QTS_DB_STATEMENT_H_
