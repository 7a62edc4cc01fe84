// A prepared statement on a PostgreSQL server. Created by PgConnection; callers see it as a
// Statement. See pg_connection.h for how parameters, rows and inserted keys are handled.
#ifndef QTS_DB_POSTGRES_PG_STATEMENT_H_
#define QTS_DB_POSTGRES_PG_STATEMENT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/statement.h"
#include "db/trace.h"

struct pg_result;

namespace qts::db {

class PgConnection;

// The statement with its parameters written as the server numbers them ($1, $2, ...) and the
// names of its named parameters in order of their numbers. Quoted text, quoted identifiers
// and comments are left as they are; "::" stays a cast.
struct ServerParameters {
  std::string sql;
  int count = 0;
  std::vector<std::string> names;  // names[i]: the name of $(i+1) without its prefix, or ""
};
ServerParameters NumberParameters(std::string_view sql);

// The table an "INSERT INTO <table>" statement writes, as written; empty for any other
// statement and for one that already says what it returns.
std::string InsertTarget(std::string_view sql);

class PgStatement final : public Statement {
 public:
  // Prepares `sql` (one statement) on the connection's server, which must outlive it. Raises
  // DatabaseError when the server refuses it.
  PgStatement(PgConnection& connection, std::string_view sql);
  // The connection, or null once it has closed (the statement then only goes away).
  PgConnection* Owner() const noexcept { return *link_; }
  ~PgStatement() override;

  const std::string& Sql() const noexcept override { return sql_; }

  int ParameterCount() const noexcept override { return static_cast<int>(values_.size()); }
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

  int ColumnCount() const noexcept override { return static_cast<int>(columns_.size()); }
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
  struct ResultClearer {
    void operator()(pg_result* result) const noexcept;
  };
  struct Column {
    std::string name;
    unsigned int type = 0;  // the server's type oid
    int modifier = -1;
    bool from_table = false;
    ValueKind kind = ValueKind::kText;
  };

  void CheckIndex(int index);
  void CheckColumnIndex(int column) const;
  // Checks that a row is current and `column` exists.
  void RequireRow(int column) const;
  std::string_view Cell(int column) const;
  [[noreturn]] void ThrowMisuse(std::string message) const;
  [[noreturn]] void ThrowConversion(int column, std::string_view wanted) const;

  std::shared_ptr<PgConnection*> link_;
  std::string sql_;
  std::string name_;
  std::vector<std::string> names_;
  std::vector<unsigned int> parameter_types_;
  std::vector<std::optional<std::string>> values_;
  std::vector<int> formats_;  // 1 for a binary (bytes) value
  std::vector<Column> columns_;
  // An INSERT into a table with an identity column returns it; its rows are not the caller's.
  bool returns_identity_ = false;
  std::unique_ptr<pg_result, ResultClearer> result_;
  bool executed_ = false;
  int row_ = -1;
  int rows_ = 0;
  mutable std::vector<uint8_t> scratch_;
  StatementTrace trace_;  // used only while SqlTraceOn()
};

}  // namespace qts::db

#endif  // QTS_DB_POSTGRES_PG_STATEMENT_H_
