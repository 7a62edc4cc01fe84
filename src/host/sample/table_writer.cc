#include "host/sample/table_writer.h"

#include <fmt/format.h>

#include "core/currency.h"
#include "core/error.h"
#include "host/schema/schema.h"

namespace qts::host::sample {

TableWriter::TableWriter(db::Connection& connection, std::string_view code,
                         std::string_view logical_name, std::vector<std::string> columns)
    : columns_(columns.size()), table_(logical_name) {
  const schema::SourceDef* def = schema::FindSourceDef(logical_name);
  if (def == nullptr || def->kind != schema::SourceKind::kTable) {
    throw Error(kErrInvalidCall, "TableWriter",
                fmt::format("'{}' is not a table of the book", logical_name));
  }
  std::string names;
  std::string marks;
  for (size_t i = 0; i < columns.size(); ++i) {
    const schema::ColumnDef* column = def->FindColumn(columns[i]);
    if (column == nullptr) {
      throw Error(kErrInvalidCall, "TableWriter",
                  fmt::format("table '{}' has no column '{}'", def->name, columns[i]));
    }
    names += fmt::format("{}[{}]", i == 0 ? "" : ", ", column->name);
    money_.push_back(column->type == sql::SqlType::kNumber);
    marks += i == 0 ? "?" : ", ?";
  }
  statement_ = connection.Prepare(schema::BackendSql(
      fmt::format("INSERT INTO [{}] ({}) VALUES ({})", def->name, names, marks), code, connection));
}

void TableWriter::Insert(std::initializer_list<db::Value> values) {
  Insert(std::vector<db::Value>(values));
}

void TableWriter::Insert(const std::vector<db::Value>& values) {
  if (values.size() != columns_) {
    throw Error(
        5, "TableWriter",
        fmt::format("'{}' takes {} values per row, not {}", table_, columns_, values.size()));
  }
  for (size_t i = 0; i < values.size(); ++i) {
    const db::Value& v = values[i];
    const int index = static_cast<int>(i + 1);
    if (money_[i] && v.Kind() == db::ValueKind::kReal) {
      statement_->BindCurrency(index, Currency::FromDouble(v.Double()));
    } else if (money_[i] && v.Kind() == db::ValueKind::kInteger) {
      statement_->BindCurrency(index, Currency::FromLong(v.Int64()));
    } else {
      statement_->Bind(index, v);
    }
  }
  try {
    statement_->Run();
  } catch (...) {
    statement_->Reset();  // ready for the next row even after a refused one
    throw;
  }
  statement_->Reset();
  ++count_;
}

}  // namespace qts::host::sample
