// A prepared SQLite statement. Created by SqliteConnection; callers see it as a Statement.
#ifndef QTS_DB_SQLITE_SQLITE_STATEMENT_H_
#define QTS_DB_SQLITE_SQLITE_STATEMENT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/statement.h"
#include "db/trace.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace qts::db {

class SqliteStatement final : public Statement {
 public:
  // Prepares exactly one statement of `sql` on `db` (which must outlive it). Raises
  // DatabaseError when the SQL does not parse, holds no statement, or holds more than one.
  SqliteStatement(sqlite3* db, std::string_view sql);
  ~SqliteStatement() override;

  const std::string& Sql() const noexcept override { return sql_; }

  int ParameterCount() const noexcept override;
  int ParameterIndex(std::string_view name) const override;
  void BindNull(int index) override;
  void BindInt64(int index, int64_t value) override;
  void BindDouble(int index, double value) override;
  void BindText(int index, std::string_view value) override;
  void BindBlob(int index, const Blob& value) override;
  void BindCurrency(int index, Currency value) override;

  bool Step() override;
  void Reset() noexcept override;
  void ClearBindings() noexcept override;

  int ColumnCount() const noexcept override;
  std::string ColumnName(int column) const override;
  std::string ColumnDeclaredType(int column) const override;
  ValueKind ColumnKind(int column) const override;
  int64_t GetInt64(int column) const override;
  double GetDouble(int column) const override;
  std::string_view GetTextView(int column) const override;
  Blob GetBlob(int column) const override;
  Currency GetCurrency(int column) const override;
  void ReadRow(RowVisitor& visitor, const std::vector<bool>& money = {}) const override;

 private:
  struct Finalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept;
  };

  void CheckBind(int code, int index);
  void CheckColumnIndex(int column) const;
  // Checks that a row is current and `column` exists; returns the column's SQLite type.
  int RowColumnType(int column) const;
  [[noreturn]] void ThrowMisuse(std::string message) const;
  [[noreturn]] void ThrowConversion(int column, int type, std::string_view wanted) const;
  // A money cell that is not a whole number of ten-thousandths.
  Currency MoneyOf(int column, sqlite3_value* value) const;

  sqlite3* db_;
  std::string sql_;
  std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
  bool has_row_ = false;
  StatementTrace trace_;  // used only while SqlTraceOn()
};

}  // namespace qts::db

#endif  // QTS_DB_SQLITE_SQLITE_STATEMENT_H_
