#include "host/documents/table_layout.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "core/convert.h"
#include "core/text.h"
#include "core/utf8.h"
#include "db/trace.h"
#include "host/data/app_context.h"
#include "host/data/kind_codes.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

std::string Quote(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// The value a schema default literal ("0", "1", "'text'") stands for in a column of `type`.
Variant DefaultValue(const schema::ColumnDef& column) {
  const std::string& literal = column.default_value;
  if (literal.empty()) return Variant::Null();
  if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'') {
    std::string text;
    for (size_t i = 1; i + 1 < literal.size(); ++i) {
      text += literal[i];
      if (literal[i] == '\'') ++i;  // a doubled quote
    }
    return Variant(std::move(text));
  }
  switch (column.type) {
    case sql::SqlType::kNumber:
      if (std::optional<Currency> c = Currency::Parse(literal)) return Variant(*c);
      break;
    case sql::SqlType::kInteger:
    case sql::SqlType::kBoolean:
      return Variant(CLng(Variant(literal)));
    case sql::SqlType::kFloat:
      return Variant(CDbl(Variant(literal)));
    default:
      break;
  }
  return Variant(literal);
}

}  // namespace

void RaiseDocumentError(std::string_view source, std::string description) {
  throw Error(kErrDocument, std::string(source), std::move(description));
}

WriteScope::WriteScope(db::Connection& connection, Nested nested) {
  if (connection.TransactionDepth() > 0 && nested == Nested::kUndoActions) {
    collect_undo_ = true;
  } else {
    // At depth 0 a transaction, inside one a savepoint.
    transaction_ = std::make_unique<db::Transaction>(connection);
  }
}

void WriteScope::OnRollback(std::function<void()> undo) {
  if (collect_undo_) undo_.push_back(std::move(undo));
}

WriteScope::~WriteScope() noexcept {
  for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
    try {
      (*it)();
    } catch (...) {
      // The backend may have ended the caller's transaction already (a full disk, an I/O
      // error); then there is nothing left to undo.
    }
  }
  // A Transaction (or savepoint) left without Commit rolls itself back.
}

void WriteScope::Commit() {
  undo_.clear();
  if (transaction_) transaction_->Commit();
}

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::unique_ptr<TableLayout> TableLayout::Create(const schema::BookCatalogue& catalogue,
                                                 std::string_view logical_name,
                                                 std::string source) {
  const schema::SourceDef* def = catalogue.FindDefinition(logical_name);
  if (def == nullptr || def->kind != schema::SourceKind::kTable) return nullptr;
  std::unique_ptr<TableLayout> layout(new TableLayout());
  layout->name_ = def->name;
  layout->table_ = Quote(def->name);
  layout->source_ = std::move(source);
  for (size_t i = 0; i < def->columns.size(); ++i) {
    const schema::ColumnDef& c = def->columns[i];
    LayoutColumn column;
    column.name = c.name;
    column.type = c.type;
    column.length = c.length;
    column.nullable = c.nullable;
    column.kind = Code(KindOfSqlType(c.type));
    // A new record's identity is 0 until it is written.
    column.blank = (def->identity && i == 0) ? Variant(int32_t{0}) : DefaultValue(c);
    layout->columns_.push_back(std::move(column));
  }
  return layout;
}

int TableLayout::IndexOf(std::string_view column) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (EqualsIgnoreCase(columns_[i].name, column)) return static_cast<int>(i);
  }
  return -1;
}

std::string TableLayout::ColumnList(size_t first, std::string_view alias) const {
  std::string out;
  for (size_t i = first; i < columns_.size(); ++i) {
    if (!out.empty()) out += ", ";
    if (!alias.empty()) out += std::string(alias) + ".";
    out += Quote(columns_[i].name);
  }
  return out;
}

std::string TableLayout::InsertSql(size_t first) const {
  std::string values;
  for (size_t i = first; i < columns_.size(); ++i) {
    if (!values.empty()) values += ", ";
    values += "?";
  }
  return "INSERT INTO " + table_ + " (" + ColumnList(first) + ") VALUES (" + values + ")";
}

std::string TableLayout::UpdateSql(size_t first, const std::vector<std::string>& keys) const {
  std::vector<size_t> columns;
  for (size_t i = first; i < columns_.size(); ++i) columns.push_back(i);
  return UpdateSql(columns, keys);
}

std::string TableLayout::UpdateSql(const std::vector<size_t>& columns,
                                   const std::vector<std::string>& keys) const {
  std::string sql = "UPDATE " + table_ + " SET ";
  int n = 0;
  for (size_t i : columns) {
    if (n > 0) sql += ", ";
    sql += Quote(columns_.at(i).name) + " = ?";
    ++n;
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    sql += (k == 0 ? " WHERE " : " AND ") + Quote(keys[k]) + " = ?";
  }
  return sql;
}

std::string TableLayout::SelectSql(const std::vector<std::string>& keys) const {
  std::string sql = "SELECT " + ColumnList() + " FROM " + table_;
  for (size_t k = 0; k < keys.size(); ++k) {
    sql += (k == 0 ? " WHERE " : " AND ") + Quote(keys[k]) + " = ?";
  }
  return sql;
}

void TableLayout::AddEntries(NamedValueList& list, size_t first, std::string_view prefix) const {
  for (size_t i = first; i < columns_.size(); ++i) {
    const LayoutColumn& c = columns_[i];
    list.Add(prefix.empty() ? c.name : std::string(prefix) + c.name, c.kind, c.blank);
  }
}

db::Value TableLayout::ToStorage(size_t index, const Variant& value) const {
  const LayoutColumn& c = columns_[index];
  if (value.IsNull() || value.IsEmpty()) {
    if (!c.nullable) {
      RaiseDocumentError(source_, "field \"" + c.name + "\" of " + name_ + " needs a value");
    }
    return db::Value();
  }
  try {
    switch (c.type) {
      case sql::SqlType::kInteger: {
        if (value.Type() == VarType::kLong) return db::Value(value.AsLong());
        return db::Value(CLng(value));
      }
      case sql::SqlType::kBoolean:
        return db::Value(CBool(value) ? 1 : 0);
      case sql::SqlType::kNumber:
        return db::Value(value.Type() == VarType::kCurrency ? value.AsCurrency() : CCur(value));
      case sql::SqlType::kFloat:
        return db::Value(CDbl(value));
      case sql::SqlType::kDate:
        return db::Value(CDate(value).ToIso());
      case sql::SqlType::kText:
      case sql::SqlType::kUnknown:
        break;
    }
  } catch (const Error& e) {
    if (e.Number() == kErrDocument) throw;
    throw Error(e.Number(), source_,
                "field \"" + c.name + "\" of " + name_ + " cannot take the value \"" + CStr(value) +
                    "\": " + e.Description());
  }
  std::string text = value.Type() == VarType::kString ? value.AsString() : CStr(value);
  // A book holds UTF-8 text only: anything else would come back broken in every report and
  // JSON answer.
  if (std::optional<size_t> bad = FirstBadUtf8Byte(text)) {
    RaiseDocumentError(source_, "field \"" + c.name + "\" of " + name_ +
                                    " takes UTF-8 text; byte " + std::to_string(*bad + 1) +
                                    " of the value is not");
  }
  if (c.length > 0 && Utf8Length(text) > static_cast<size_t>(c.length)) {
    RaiseDocumentError(source_, "field \"" + c.name + "\" of " + name_ + " takes at most " +
                                    std::to_string(c.length) + " characters, not " +
                                    std::to_string(Utf8Length(text)));
  }
  return db::Value(std::move(text));
}

void TableLayout::Bind(db::Statement& statement, int parameter, size_t index,
                       const Variant& value) const {
  statement.Bind(parameter, ToStorage(index, value));
}

void TableLayout::AppendMoneyColumns(std::vector<bool>& money, size_t first) const {
  for (size_t i = first; i < columns_.size(); ++i) {
    money.push_back(columns_[i].type == sql::SqlType::kNumber);
  }
}

Variant TableLayout::Read(const db::Statement& statement, int column, size_t index) const {
  Cell cell;
  cell.kind = statement.ColumnKind(column);
  if (cell.kind != db::ValueKind::kNull && columns_[index].type == sql::SqlType::kNumber) {
    return Variant(statement.GetCurrency(column));
  }
  switch (cell.kind) {
    case db::ValueKind::kNull:
      return Variant::Null();
    case db::ValueKind::kInteger:
      cell.integer = statement.GetInt64(column);
      break;
    case db::ValueKind::kReal:
      cell.real = statement.GetDouble(column);
      break;
    default:
      cell.text = statement.GetTextView(column);
      break;
  }
  Variant value;
  if (FromCell(cell, index, value)) return value;
  return Variant(statement.GetTextView(column));
}

namespace {

bool Put(Variant& out, Variant value) {
  out = std::move(value);
  return true;
}

}  // namespace

bool TableLayout::FromCell(const Cell& cell, size_t index, Variant& out) const {
  const db::ValueKind storage = cell.kind;
  if (storage == db::ValueKind::kNull) return Put(out, Variant::Null());
  const LayoutColumn& c = columns_[index];
  // A number stored as text reads as its text where the column wants a number.
  const auto text = [&]() -> std::string_view {
    return storage == db::ValueKind::kText || storage == db::ValueKind::kBlob ? cell.text
                                                                              : std::string_view();
  };
  switch (c.type) {
    case sql::SqlType::kInteger:
    case sql::SqlType::kBoolean:
      if (storage == db::ValueKind::kInteger) {
        int64_t v = cell.integer;
        if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
          return Put(out, Variant(static_cast<int32_t>(v)));
        }
        return Put(out, Variant(static_cast<double>(v)));
      }
      break;
    case sql::SqlType::kNumber:
      // Money comes read by the backend (a row read that names the money columns).
      if (storage == db::ValueKind::kMoney) return Put(out, Variant(cell.money));
      break;
    case sql::SqlType::kFloat:
      if (storage == db::ValueKind::kReal) return Put(out, Variant(cell.real));
      if (storage == db::ValueKind::kInteger)
        return Put(out, Variant(static_cast<double>(cell.integer)));
      break;
    case sql::SqlType::kDate:
      if (std::optional<Date> d = Date::ParseIso(text())) return Put(out, Variant(*d));
      break;
    case sql::SqlType::kText:
    case sql::SqlType::kUnknown:
      break;
  }
  if (storage == db::ValueKind::kInteger || storage == db::ValueKind::kReal) return false;
  return Put(out, Variant(cell.text));
}

int32_t FindFirstIdc(AppContext& book, std::string_view table, std::string_view condition,
                     std::string_view order_by) {
  std::string tsql = "SELECT TOP 1 oTable.IDC FROM " + std::string(table) + " oTable WHERE (" +
                     std::string(condition) + ") ORDER BY " + std::string(order_by);
  // Searches that differ only in their codes share one translation and one prepared statement.
  db::StatementHandle s = book.PrepareTsql(tsql);
  if (!s->Step()) return 0;
  return static_cast<int32_t>(s->GetInt64(0));
}

}  // namespace qts::host
