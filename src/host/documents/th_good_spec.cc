#include "host/documents/th_good_spec.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/convert.h"
#include "core/text.h"
#include "db/connection.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/stock_facts.h"
#include "sql/translator.h"

namespace qts::host {
namespace {

constexpr std::string_view kSource = "THGoodSpec";
constexpr std::string_view kAddPrefix = "AddFld.";

bool NoValue(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

}  // namespace

// The additional-field table of one document type; layout null when the type has none.
struct THGoodSpec::AddTable {
  std::unique_ptr<TableLayout> layout;
  std::string select_sql;
  std::string insert_sql;
  std::string update_sql;
  // A row by IDC with its document's type and, when the row is of this type, its additional
  // fields, in one read.
  std::string select_row_sql;
  // The same for a row of the document whose type is known already: the row and its
  // additional fields only.
  std::string select_known_row_sql;
  mutable db::StatementHandle select, insert, update, select_row, select_known_row;
};

// The T-SQL texts of the row table, built once per object; the book keeps their translations
// and the connection the prepared statements by text, so every THGoodSpec of a book shares
// them.
struct THGoodSpec::Statements {
  std::string select_by_id;
  std::string select_by_key;
  std::string insert;
  std::string update;
  std::string exists;
  std::string remove;
  std::string rate;
  std::string doc_type;
  std::string next_pos;
  // Updates of some of the columns, by the columns they set, kept prepared.
  struct Partial {
    std::string sql;
    db::StatementHandle held;
  };
  std::map<std::vector<size_t>, Partial> update_changed;
  // The statements of every row write, kept prepared by this object.
  db::StatementHandle held_select_by_id, held_insert, held_update, held_rate, held_doc_type;
};

THGoodSpec::THGoodSpec(AppContextPtr application)
    : application_(std::move(application)),
      fields_(std::make_shared<NamedValueList>()),
      add_fields_(std::make_shared<NamedValueList>()) {}

THGoodSpec::~THGoodSpec() = default;

void THGoodSpec::EnsureLayout() {
  if (layout_) return;
  if (!application_) RaiseDocumentError(kSource, "the rows belong to no book");
  const schema::BookCatalogue& catalogue = application_->Catalogue();
  auto layout = TableLayout::Create(catalogue, "THGoodSpec", std::string(kSource));
  if (!layout) RaiseDocumentError(kSource, "the book has no table THGoodSpec");
  auto index = [&](std::string_view name) {
    int i = layout->IndexOf(name);
    if (i < 0) RaiseDocumentError(kSource, "THGoodSpec has no column " + std::string(name));
    return i;
  };
  idx_doc_id_ = index("DocID");
  idx_pos_ = index("PosNumb");
  idx_good_ = index("GoodCode");
  idx_unit_ = index("UnitCode");
  idx_amount_ = index("Amount");
  idx_amount_account_ = index("AmountAccount");
  idx_price_ = index("Price");
  idx_summa_ = index("Summa");
  idx_fix_category_ = index("FixCategory");
  idx_cost_summ_ = index("CostSumm");

  auto sql = std::make_unique<Statements>();
  const std::string select =
      "SELECT " + layout->ColumnList(0, "s") +
      ", d.DocTypeCode FROM THGoodSpec s JOIN THDocument d ON d.IDC = s.DocID";
  sql->select_by_id = select + " WHERE s.IDC = ?";
  sql->select_by_key = select + " WHERE s.DocID = ? AND s.PosNumb = ?";
  sql->insert = layout->InsertSql(1);
  sql->update = layout->UpdateSql(1, {"IDC", "DocID"});
  sql->exists = "SELECT 1 FROM THGoodSpec WHERE IDC = ?";
  sql->remove = "DELETE FROM THGoodSpec WHERE IDC = ?";
  sql->rate = "SELECT Rate FROM REFGoodUnit WHERE GoodCode = ? AND UnitCode = ?";
  sql->doc_type = "SELECT DocTypeCode FROM THDocument WHERE IDC = ?";
  // The document's id twice: the next position, and only when the document exists.
  sql->next_pos =
      "SELECT (SELECT COALESCE(MAX(s.PosNumb), 0) + 1 FROM THGoodSpec s WHERE s.DocID = ?)"
      " FROM THDocument d WHERE d.IDC = ?";

  fields_->Clear();
  add_fields_->Clear();
  layout->AddEntries(*fields_);
  row_entries_.clear();
  for (size_t i = 0; i < layout->Columns().size(); ++i) row_entries_.push_back(&fields_->At(i));
  alias_entries_.clear();
  add_snapshot_.clear();
  layout_ = std::move(layout);
  sql_ = std::move(sql);
}

NamedValueList& THGoodSpec::Fields() {
  EnsureLayout();
  SyncType();
  return *fields_;
}

NamedValueList& THGoodSpec::AddFields() {
  EnsureLayout();
  SyncType();
  return *add_fields_;
}

const THGoodSpec::AddTable* THGoodSpec::AddTableOf(const std::string& type) {
  if (type.empty()) return nullptr;
  std::string key = AsciiUpper(type);
  auto it = add_tables_.find(key);
  if (it == add_tables_.end()) {
    auto table = std::make_unique<AddTable>();
    table->layout =
        TableLayout::Create(application_->Catalogue(), type + "THGoodSpec", std::string(kSource));
    if (table->layout) {
      table->select_sql = table->layout->SelectSql({"DocID", "PosNumb"});
      table->insert_sql = table->layout->InsertSql(0);
      table->update_sql = table->layout->UpdateSql(2, {"DocID", "PosNumb"});
      const std::string add_columns = table->layout->ColumnList(2, "a");
      const std::string add_join = " LEFT JOIN " + table->layout->Table() +
                                   " a ON a.DocID = s.DocID AND a.PosNumb = s.PosNumb";
      const std::string tail = (add_columns.empty() ? "" : add_columns + ", ") +
                               "CASE WHEN a.DocID IS NULL THEN 0 ELSE 1 END FROM THGoodSpec s";
      table->select_row_sql = "SELECT " + layout_->ColumnList(0, "s") + ", d.DocTypeCode, " + tail +
                              " JOIN THDocument d ON d.IDC = s.DocID" + add_join +
                              " WHERE s.IDC = ?";
      table->select_known_row_sql =
          "SELECT " + layout_->ColumnList(0, "s") + ", " + tail + add_join + " WHERE s.IDC = ?";
    }
    it = add_tables_.emplace(key, std::move(table)).first;
  }
  return it->second->layout ? it->second.get() : nullptr;
}

void THGoodSpec::Retype(const std::string& type) {
  if (!type_.empty() && EqualsIgnoreCase(type, type_)) return;
  const AddTable* table = AddTableOf(type);
  // Values carry over by name; the old entries go.
  std::vector<std::string> old_aliases;
  std::map<std::string, Variant> old_values;
  for (size_t j = 0; j < alias_entries_.size(); ++j) {
    old_aliases.push_back(alias_entries_[j]->Name());
    const Variant& alias = alias_entries_[j]->Value();
    old_values[AsciiUpper(add_fields_->At(j).Name())] =
        alias.SameAs(add_snapshot_[j]) ? add_fields_->At(j).Value() : alias;
  }
  fields_->Exclude(old_aliases);
  add_fields_->Clear();
  alias_entries_.clear();
  add_snapshot_.clear();
  add_row_stored_ = false;
  type_ = type;
  add_table_ = table;
  if (!table) return;
  const auto& columns = table->layout->Columns();
  for (size_t i = 2; i < columns.size(); ++i) {
    auto old = old_values.find(AsciiUpper(columns[i].name));
    Variant value = old != old_values.end() ? old->second : columns[i].blank;
    add_fields_->Add(columns[i].name, columns[i].kind, value);
    alias_entries_.push_back(
        &fields_->Add(std::string(kAddPrefix) + columns[i].name, columns[i].kind, value));
    add_snapshot_.push_back(columns[i].blank);
  }
}

bool THGoodSpec::ResolveDocType(int32_t doc_id, std::string& type) {
  if (doc_id <= 0) return false;
  if (doc_id == resolved_doc_id_) {
    type = resolved_type_;
    return true;
  }
  db::Statement& q = HeldStatement(*application_, sql_->held_doc_type, sql_->doc_type);
  ResetOnExit done(q);
  q.Bind(1, db::Value(doc_id));
  if (!q.Step()) return false;
  type = q.IsNull(0) ? std::string() : q.GetText(0);
  resolved_doc_id_ = doc_id;
  resolved_type_ = type;
  return true;
}

int32_t THGoodSpec::CurrentDocId() const { return DocIdOf(row_entries_[idx_doc_id_]->Value()); }

int32_t THGoodSpec::DocIdOf(const Variant& v) {
  if (v.Type() == VarType::kLong) return v.AsLong();
  if (NoValue(v)) return 0;
  try {
    return CLng(v);
  } catch (const Error&) {
    return 0;
  }
}

void THGoodSpec::SyncType() {
  int32_t doc_id = CurrentDocId();
  if (doc_id <= 0 || doc_id == resolved_doc_id_) return;
  std::string type;
  if (ResolveDocType(doc_id, type)) Retype(type);
}

namespace {

// One pass over a read row: the row's columns, the document's type after them (when
// `with_type` is set), and (when `add` is set) the additional columns of that type and whether
// the additional row exists. The row's values go into `values`, which keeps its buffer from
// one read to the next.
class RowCells final : public db::RowVisitor {
 public:
  RowCells(const db::Statement& statement, const TableLayout& row, const TableLayout* add,
           bool with_type, std::vector<Variant>& values)
      : values(values),
        statement_(statement),
        row_(row),
        add_(add),
        width_(row.Columns().size()),
        add_start_(width_ + (with_type ? 1 : 0)),
        with_type_(with_type) {
    values.resize(width_);
    if (add_ != nullptr) add_values.resize(add_->Columns().size() - 2);
  }

  std::vector<Variant>& values;
  std::string type;
  std::vector<Variant> add_values;
  bool add_found = false;

  void Null(int column) override { Take(column, {}); }
  void Integer(int column, int64_t value) override {
    TableLayout::Cell cell;
    cell.kind = db::ValueKind::kInteger;
    cell.integer = value;
    Take(column, cell);
  }
  void Real(int column, double value) override {
    TableLayout::Cell cell;
    cell.kind = db::ValueKind::kReal;
    cell.real = value;
    Take(column, cell);
  }
  void Text(int column, std::string_view value) override {
    TableLayout::Cell cell;
    cell.kind = db::ValueKind::kText;
    cell.text = value;
    Take(column, cell);
  }
  void Bytes(int column, const db::Blob& value) override {
    TableLayout::Cell cell;
    cell.kind = db::ValueKind::kBlob;
    cell.text = std::string_view(reinterpret_cast<const char*>(value.data()), value.size());
    Take(column, cell);
  }
  void Money(int column, Currency value) override {
    TableLayout::Cell cell;
    cell.kind = db::ValueKind::kMoney;
    cell.money = value;
    Take(column, cell);
  }

 private:
  void Convert(const TableLayout& layout, const TableLayout::Cell& cell, size_t index, int column,
               Variant& out) const {
    if (!layout.FromCell(cell, index, out)) out = Variant(statement_.GetTextView(column));
  }

  void Take(int column, const TableLayout::Cell& cell) {
    const auto c = static_cast<size_t>(column);
    if (c < width_) {
      Convert(row_, cell, c, column, values[c]);
    } else if (with_type_ && c == width_) {
      if (cell.kind != db::ValueKind::kNull) type = std::string(cell.text);
    } else if (add_ != nullptr && c - add_start_ < add_values.size()) {
      Convert(*add_, cell, c - add_start_ + 2, column, add_values[c - add_start_]);
    } else if (add_ != nullptr) {
      add_found = cell.kind == db::ValueKind::kInteger && cell.integer != 0;
    }
  }

  const db::Statement& statement_;
  const TableLayout& row_;
  const TableLayout* add_;
  size_t width_;
  size_t add_start_;  // the first additional column
  bool with_type_;
};

}  // namespace

bool THGoodSpec::ReadRow(db::Statement& statement, bool with_add, bool with_type) {
  const AddTable* joined = with_add ? add_table_ : nullptr;
  const TableLayout* joined_layout = joined != nullptr ? joined->layout.get() : nullptr;
  if (read_money_layout_ != joined_layout || read_money_with_type_ != with_type ||
      read_money_.empty()) {
    // The money columns of this shape of read: the row's, the type's place, the additional.
    read_money_.clear();
    layout_->AppendMoneyColumns(read_money_);
    if (with_type) read_money_.push_back(false);
    if (joined_layout != nullptr) joined_layout->AppendMoneyColumns(read_money_, 2);
    read_money_layout_ = joined_layout;
    read_money_with_type_ = with_type;
  }
  RowCells cells(statement, *layout_, joined_layout, with_type, read_buffer_);
  statement.ReadRow(cells, read_money_);
  const int32_t doc_id = DocIdOf(cells.values[idx_doc_id_]);
  if (!with_type && !ResolveDocType(doc_id, cells.type)) return false;
  for (size_t i = 0; i < cells.values.size(); ++i) row_entries_[i]->SetValue(cells.values[i]);
  const int32_t pos = CLng(row_entries_[idx_pos_]->Value());
  if (with_type) {
    resolved_doc_id_ = doc_id;
    resolved_type_ = cells.type;
  }
  Retype(cells.type);
  if (joined != nullptr && add_table_ == joined) {
    // The read carried this type's additional fields after the row.
    const TableLayout& layout = *add_table_->layout;
    add_row_stored_ = cells.add_found;
    for (size_t j = 0; j < alias_entries_.size(); ++j) {
      Variant value =
          add_row_stored_ ? std::move(cells.add_values[j]) : layout.Columns()[j + 2].blank;
      add_fields_->At(j).SetValue(value);
      alias_entries_[j]->SetValue(value);
      add_snapshot_[j] = std::move(value);
    }
  } else {
    ReadAddFields(doc_id, pos);
  }
  current_idc_ = CLng(row_entries_[0]->Value());
  std::swap(row_snapshot_, read_buffer_);
  snapshot_rollbacks_ = application_->Connection().RollbackCount();
  adding_ = false;
  editing_ = false;
  return true;
}

void THGoodSpec::ReadAddFields(int32_t doc_id, int32_t pos_numb) {
  if (!add_table_) return;
  const TableLayout& layout = *add_table_->layout;
  db::Statement& a = HeldStatement(*application_, add_table_->select, add_table_->select_sql);
  ResetOnExit done(a);
  a.Bind(1, db::Value(doc_id));
  a.Bind(2, db::Value(pos_numb));
  const bool found = a.Step();
  add_row_stored_ = found;
  for (size_t j = 0; j < alias_entries_.size(); ++j) {
    Variant value =
        found ? layout.Read(a, static_cast<int>(j + 2), j + 2) : layout.Columns()[j + 2].blank;
    add_fields_->At(j).SetValue(value);
    alias_entries_[j]->SetValue(value);
    add_snapshot_[j] = std::move(value);
  }
}

void THGoodSpec::SnapshotRow() {
  row_snapshot_.resize(row_entries_.size());
  for (size_t i = 0; i < row_entries_.size(); ++i) row_snapshot_[i] = row_entries_[i]->Value();
  snapshot_rollbacks_ = application_->Connection().RollbackCount();
}

void THGoodSpec::BlankAddFields() {
  add_row_stored_ = false;
  if (!add_table_) return;
  const auto& columns = add_table_->layout->Columns();
  for (size_t j = 0; j < alias_entries_.size(); ++j) {
    add_fields_->At(j).SetValue(columns[j + 2].blank);
    alias_entries_[j]->SetValue(columns[j + 2].blank);
    add_snapshot_[j] = columns[j + 2].blank;
  }
}

void THGoodSpec::Recompute() {
  auto currency_of = [&](int index) {
    const Variant& v = row_entries_[index]->Value();
    if (v.Type() == VarType::kCurrency) return v.AsCurrency();
    if (NoValue(v)) return Currency();
    try {
      return CCur(v);
    } catch (const Error& e) {
      throw Error(e.Number(), std::string(kSource),
                  "field \"" + row_entries_[index]->Name() + "\" cannot take the value \"" +
                      CStr(v) + "\": " + e.Description());
    }
  };
  const Currency amount = currency_of(idx_amount_);
  if (currency_of(idx_amount_account_) == Currency()) {
    Currency rate = Currency::FromLong(1);
    const Variant& good = row_entries_[idx_good_]->Value();
    const Variant& unit = row_entries_[idx_unit_]->Value();
    if (!NoValue(good) && !NoValue(unit) && amount != Currency()) {
      db::Statement& q = HeldStatement(*application_, sql_->held_rate, sql_->rate);
      ResetOnExit done(q);
      q.Bind(1, layout_->ToStorage(idx_good_, good));
      q.Bind(2, layout_->ToStorage(idx_unit_, unit));
      if (q.Step() && !q.IsNull(0)) rate = q.GetCurrency(0);
    }
    row_entries_[idx_amount_account_]->SetValue(Variant(amount * rate));
  }
  if (currency_of(idx_summa_) == Currency()) {
    const Currency price = currency_of(idx_price_);
    if (price != Currency() && amount != Currency()) {
      row_entries_[idx_summa_]->SetValue(Variant(RoundCy(price * amount, 2)));
    }
  }
}

void THGoodSpec::BindRow(db::Statement& statement) {
  for (size_t i = 1; i < row_entries_.size(); ++i) {
    layout_->Bind(statement, static_cast<int>(i), i, row_entries_[i]->Value());
  }
}

std::vector<Variant> THGoodSpec::AddValues() const {
  // The value to write: the "AddFld." entry when it was changed, else the AddFields entry.
  std::vector<Variant> values;
  values.reserve(alias_entries_.size());
  for (size_t j = 0; j < alias_entries_.size(); ++j) {
    const Variant& alias = alias_entries_[j]->Value();
    values.push_back(alias.SameAs(add_snapshot_[j]) ? add_fields_->At(j).Value() : alias);
  }
  return values;
}

bool THGoodSpec::AddRowUnchanged(bool same_row) const {
  if (!add_table_) return true;
  if (!same_row || !add_row_stored_) return false;
  // What AddValues would write differs from the snapshot unless both entries still hold it.
  for (size_t j = 0; j < alias_entries_.size(); ++j) {
    if (!alias_entries_[j]->Value().SameAs(add_snapshot_[j]) ||
        !add_fields_->At(j).Value().SameAs(add_snapshot_[j])) {
      return false;
    }
  }
  return true;
}

void THGoodSpec::WriteAddFields(int32_t doc_id, int32_t pos_numb, bool insert, bool same_row) {
  if (!add_table_) return;
  const TableLayout& layout = *add_table_->layout;
  if (!insert && AddRowUnchanged(same_row)) return;
  std::vector<Variant> values = AddValues();
  db::Connection& c = application_->Connection();
  bool written = false;
  if (!insert) {
    db::Statement& u = HeldStatement(*application_, add_table_->update, add_table_->update_sql);
    for (size_t j = 0; j < values.size(); ++j) {
      layout.Bind(u, static_cast<int>(j + 1), j + 2, values[j]);
    }
    const int n = static_cast<int>(values.size());
    u.Bind(n + 1, db::Value(doc_id));
    u.Bind(n + 2, db::Value(pos_numb));
    u.Run();
    written = c.Changes() > 0;
  }
  if (!written) {
    db::Statement& s = HeldStatement(*application_, add_table_->insert, add_table_->insert_sql);
    s.Bind(1, db::Value(doc_id));
    s.Bind(2, db::Value(pos_numb));
    for (size_t j = 0; j < values.size(); ++j) {
      layout.Bind(s, static_cast<int>(j + 3), j + 2, values[j]);
    }
    s.Run();
  }
  for (size_t j = 0; j < values.size(); ++j) {
    add_fields_->At(j).SetValue(values[j]);
    alias_entries_[j]->SetValue(values[j]);
    add_snapshot_[j] = std::move(values[j]);
  }
  add_row_stored_ = true;
}

bool THGoodSpec::BeginEdit() {
  EnsureLayout();
  if (current_idc_ == 0) return false;
  editing_ = true;
  return true;
}

void THGoodSpec::AddNew() {
  EnsureLayout();
  const auto& columns = layout_->Columns();
  for (size_t i = 0; i < columns.size(); ++i) row_entries_[i]->SetValue(columns[i].blank);
  BlankAddFields();
  current_idc_ = 0;
  adding_ = true;
  editing_ = false;
}

bool THGoodSpec::Update() {
  EnsureLayout();
  if (!adding_) RaiseDocumentError(kSource, "Update writes a new row: call AddNew first");
  const int32_t doc_id = CurrentDocId();
  if (doc_id <= 0) RaiseDocumentError(kSource, "the new row needs \"DocID\"");
  std::string type;
  if (!ResolveDocType(doc_id, type)) return false;
  Retype(type);

  NamedValue& pos = *row_entries_[idx_pos_];
  const Variant saved[] = {row_entries_[idx_amount_account_]->Value(),
                           row_entries_[idx_summa_]->Value(), pos.Value()};
  db::Connection& c = application_->Connection();
  int32_t idc = 0;
  try {
    Recompute();
    // A row of a posted stock document moves the kept rest of its store and good, which is
    // an update: then the write is a savepoint rather than inserts taken back one by one.
    StockFacts facts(*application_);
    const bool posted_stock = facts.IsPostedStock(doc_id);
    WriteScope transaction(
        c, posted_stock ? WriteScope::Nested::kSavepoint : WriteScope::Nested::kUndoActions);
    if (NoValue(pos.Value()) || CLng(pos.Value()) == 0) pos.SetValue(Variant(NextPosNumb()));
    {
      db::Statement& s = HeldStatement(*application_, sql_->held_insert, sql_->insert);
      BindRow(s);
      s.Run();
    }
    idc = static_cast<int32_t>(c.LastInsertId());
    transaction.OnRollback([this, idc] { application_->ExecuteTsql(sql_->remove, {idc}); });
    WriteAddFields(doc_id, CLng(pos.Value()), true);
    if (posted_stock) {
      if (std::optional<StoreGoodKey> key = facts.RestKeyOfRow(idc)) facts.RefreshRests({*key});
      facts.MoveReceiptRowTotals(idc, 1);
    }
    transaction.Commit();
  } catch (...) {
    row_entries_[idx_amount_account_]->SetValue(saved[0]);
    row_entries_[idx_summa_]->SetValue(saved[1]);
    pos.SetValue(saved[2]);
    throw;
  }
  row_entries_[0]->SetValue(Variant(idc));
  current_idc_ = idc;
  SnapshotRow();
  adding_ = false;
  return true;
}

bool THGoodSpec::UpdateByID(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  const int32_t doc_id = CurrentDocId();
  if (doc_id <= 0) RaiseDocumentError(kSource, "the row needs \"DocID\"");
  std::string type;
  if (!ResolveDocType(doc_id, type)) return false;
  Retype(type);

  const Variant saved[] = {row_entries_[idx_amount_account_]->Value(),
                           row_entries_[idx_summa_]->Value()};
  db::Connection& c = application_->Connection();
  // The row this object holds writes only the columns that changed since it was read or
  // written; any other row is written whole.
  std::vector<size_t> changed;
  bool same_row = false;
  try {
    Recompute();
    // A rollback since the snapshot may have undone what it holds: then the row is written
    // whole.
    same_row = idc == current_idc_ && row_snapshot_.size() == row_entries_.size() &&
               snapshot_rollbacks_ == c.RollbackCount();
    if (same_row) {
      for (size_t i = 1; i < row_entries_.size(); ++i) {
        if (!row_entries_[i]->Value().SameAs(row_snapshot_[i])) changed.push_back(i);
      }
    }
    // A row and its additional row are written together or not at all; one statement alone
    // needs no savepoint of its own.
    const bool add_unchanged = AddRowUnchanged(same_row);
    // A row of a posted stock document whose good or quantity may change moves the kept rests
    // of its store and the good it had and has.
    const bool moves = !same_row || std::any_of(changed.begin(), changed.end(), [&](size_t i) {
      return static_cast<int>(i) == idx_good_ || static_cast<int>(i) == idx_amount_account_;
    });
    // A receipt row's good, fixing category, quantity or cost moves the kept receipt totals.
    const bool moves_totals =
        moves || std::any_of(changed.begin(), changed.end(), [&](size_t i) {
          return static_cast<int>(i) == idx_fix_category_ || static_cast<int>(i) == idx_cost_summ_;
        });
    StockFacts facts(*application_);
    const std::optional<StoreGoodKey> rest_before =
        moves_totals ? facts.RestKeyOfRow(idc) : std::optional<StoreGoodKey>();
    std::optional<WriteScope> transaction;
    if (!add_unchanged || rest_before) transaction.emplace(c);
    if (rest_before) facts.MoveReceiptRowTotals(idc, -1);
    if (!changed.empty()) {
      Statements::Partial& partial = sql_->update_changed[changed];
      if (partial.sql.empty()) partial.sql = layout_->UpdateSql(changed, {"IDC", "DocID"});
      db::Statement& u = HeldStatement(*application_, partial.held, partial.sql);
      int n = 0;
      for (size_t i : changed) layout_->Bind(u, ++n, i, row_entries_[i]->Value());
      u.Bind(n + 1, db::Value(idc));
      u.Bind(n + 2, db::Value(doc_id));
      u.Run();
    } else {
      db::Statement& s = HeldStatement(*application_, sql_->held_update, sql_->update);
      BindRow(s);
      const int n = static_cast<int>(row_entries_.size());
      s.Bind(n, db::Value(idc));
      s.Bind(n + 1, db::Value(doc_id));
      s.Run();
    }
    if (c.Changes() == 0) {
      db::StatementHandle q = application_->PrepareTsql(sql_->exists);
      q->Bind(1, db::Value(idc));
      if (q->Step()) {
        RaiseDocumentError(kSource,
                           "row " + std::to_string(idc) + " belongs to another document than " +
                               std::to_string(doc_id) + "; a row cannot move between documents");
      }
      row_entries_[idx_amount_account_]->SetValue(saved[0]);
      row_entries_[idx_summa_]->SetValue(saved[1]);
      return false;
    }
    if (!add_unchanged) {
      WriteAddFields(doc_id, CLng(row_entries_[idx_pos_]->Value()), false, same_row);
    }
    if (rest_before) {
      facts.MoveReceiptRowTotals(idc, 1);
      if (moves) {
        std::set<StoreGoodKey> keys{*rest_before};
        if (std::optional<StoreGoodKey> after = facts.RestKeyOfRow(idc)) keys.insert(*after);
        facts.RefreshRests(keys);
      }
    }
    if (transaction) transaction->Commit();
  } catch (...) {
    row_entries_[idx_amount_account_]->SetValue(saved[0]);
    row_entries_[idx_summa_]->SetValue(saved[1]);
    throw;
  }
  row_entries_[0]->SetValue(Variant(idc));
  current_idc_ = idc;
  if (same_row) {
    for (size_t i : changed) row_snapshot_[i] = row_entries_[i]->Value();
  } else {
    SnapshotRow();
  }
  adding_ = false;
  editing_ = false;
  return true;
}

bool THGoodSpec::MoveToID(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  // The row is most likely of the type the object holds now: its additional fields come in
  // the same read. Most likely, too, it belongs to the document last looked up, whose type
  // is known: then the read leaves the document out.
  const bool with_add = add_table_ != nullptr;
  const bool with_type =
      !with_add || resolved_doc_id_ <= 0 || !EqualsIgnoreCase(resolved_type_, type_);
  db::Statement& s =
      !with_add   ? HeldStatement(*application_, sql_->held_select_by_id, sql_->select_by_id)
      : with_type ? HeldStatement(*application_, add_table_->select_row, add_table_->select_row_sql)
                  : HeldStatement(*application_, add_table_->select_known_row,
                                  add_table_->select_known_row_sql);
  ResetOnExit done(s);
  s.Bind(1, db::Value(idc));
  if (!s.Step()) return false;
  return ReadRow(s, with_add, with_type);
}

bool THGoodSpec::MoveToKey(int32_t doc_id, int32_t pos_numb) {
  EnsureLayout();
  if (doc_id <= 0) return false;
  db::StatementHandle s = application_->PrepareTsql(sql_->select_by_key);
  s->Bind(1, db::Value(doc_id));
  s->Bind(2, db::Value(pos_numb));
  if (!s->Step()) return false;
  return ReadRow(*s);
}

bool THGoodSpec::Find(std::string_view condition) {
  EnsureLayout();
  // The unary plus keeps the order from choosing the index: the rows are found through the
  // index that serves the condition best (a document's rows of one item by DocID and
  // GoodCode), and only the few found are put in position order.
  int32_t idc =
      FindFirstIdc(*application_, "THGoodSpec", condition, "+oTable.DocID, +oTable.PosNumb");
  return idc != 0 && MoveToID(idc);
}

int32_t THGoodSpec::NextPosNumb() {
  EnsureLayout();
  const int32_t doc_id = CurrentDocId();
  if (doc_id <= 0) return 0;
  db::StatementHandle q = application_->PrepareTsql(sql_->next_pos);
  q->Bind(1, db::Value(doc_id));
  q->Bind(2, db::Value(doc_id));
  if (!q->Step()) return 0;
  return static_cast<int32_t>(q->GetInt64(0));
}

bool THGoodSpec::Delete(int32_t idc) {
  EnsureLayout();
  if (idc <= 0) return false;
  // The schema cascades the delete to the row's additional fields and fix-log links; the
  // receipts the row consumed keep their consumption without its links.
  WriteScope transaction(application_->Connection());
  StockFacts facts(*application_);
  const std::set<int64_t> consumed = facts.ConsumedByRow(idc);
  const std::optional<StoreGoodKey> rest = facts.RestKeyOfRow(idc);
  if (rest) facts.MoveReceiptRowTotals(idc, -1);
  if (application_->ExecuteTsql(sql_->remove, {idc}) == 0) return false;
  facts.Refresh(consumed);
  if (rest) facts.RefreshRests({*rest});
  transaction.Commit();
  if (idc == current_idc_) {
    AddNew();
    adding_ = false;
  }
  return true;
}

}  // namespace qts::host
