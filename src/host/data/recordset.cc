#include "host/data/recordset.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <unordered_map>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "core/format.h"
#include "host/data/recordset_filter.h"
#include "host/data/recordset_values.h"

namespace qts::host {

// The rows of a recordset and its clones: the field definitions and every cell, row after
// row, in one vector.
struct RowStore {
  std::vector<FieldDef> fields;
  std::unordered_map<std::string, size_t> index;  // lower-case name -> column
  std::vector<Variant> cells;
  size_t rows = 0;

  size_t Columns() const { return fields.size(); }
};

namespace {

constexpr const char* kSource = "ADODB.Recordset";

[[noreturn]] void Raise(int32_t number, std::string description, const char* source = kSource) {
  RaiseAdo(number, std::move(description), source);
}

[[noreturn]] void NoCurrentRecord() {
  Raise(kAdErrNoCurrentRecord,
        "Either BOF or EOF is True, or the current record has been deleted. Requested "
        "operation requires a current record.");
}

std::string Lower(std::string_view text) { return LCase(text); }

}  // namespace

// ---- Fields ----------------------------------------------------------------------------------

const std::string& Field::Name() const { return owner_->store_->fields[index_].name; }
int32_t Field::Type() const { return owner_->store_->fields[index_].type; }
int32_t Field::DefinedSize() const { return owner_->store_->fields[index_].defined_size; }
int32_t Field::Attributes() const { return owner_->store_->fields[index_].attributes; }
const Variant& Field::Value() const { return owner_->Value(index_); }
void Field::SetValue(Variant value) { owner_->SetValue(index_, std::move(value)); }

void FieldCollection::Append(std::string_view name, int32_t type, int32_t defined_size,
                             int32_t attributes) {
  RowStore& store = *owner_->store_;
  if (owner_->open_) {
    Raise(kAdErrIllegalOperation,
          "Operation is not allowed in this context: Fields.Append on "
          "an open recordset",
          "ADODB.Fields");
  }
  if (name.empty()) Raise(kAdErrInvalidArgument, "a field needs a name", "ADODB.Fields");
  if (!IsKnownType(type)) {
    Raise(kAdErrInvalidArgument, fmt::format("field \"{}\": unknown type {}", name, type),
          "ADODB.Fields");
  }
  if (defined_size < 0) {
    Raise(kAdErrInvalidArgument, fmt::format("field \"{}\": negative size", name), "ADODB.Fields");
  }
  std::string key = Lower(name);
  if (store.index.count(key)) {
    Raise(kAdErrObjectInCollection,
          fmt::format("Object is already in collection. Cannot append: field \"{}\"", name),
          "ADODB.Fields");
  }
  store.index.emplace(std::move(key), store.fields.size());
  store.fields.push_back({std::string(name), type, defined_size, attributes});
}

size_t FieldCollection::Count() const { return owner_->store_->fields.size(); }

std::optional<size_t> FieldCollection::Find(std::string_view name) const {
  const RowStore& store = *owner_->store_;
  auto it = store.index.find(Lower(name));
  if (it == store.index.end()) return std::nullopt;
  return it->second;
}

Field FieldCollection::Item(std::string_view name) const {
  return Field(owner_, owner_->ColumnOf(name));
}

Field FieldCollection::Item(size_t index) const {
  if (index >= Count()) {
    Raise(kAdErrItemNotFound,
          fmt::format("Item cannot be found in the collection corresponding to the requested "
                      "name or ordinal: {}",
                      index),
          "ADODB.Fields");
  }
  return Field(owner_, index);
}

// ---- Recordset -------------------------------------------------------------------------------

Recordset::Recordset() : store_(std::make_shared<RowStore>()), fields_(this) {}

Recordset::~Recordset() = default;

void Recordset::CheckOpen() const {
  if (!open_) Raise(kAdErrObjectClosed, "Operation is not allowed when the object is closed.");
}

size_t Recordset::ColumnOf(std::string_view name) const {
  if (std::optional<size_t> column = fields_.Find(name)) return *column;
  Raise(kAdErrItemNotFound,
        fmt::format("Item cannot be found in the collection corresponding to the requested name "
                    "or ordinal: \"{}\"",
                    name),
        "ADODB.Fields");
}

void Recordset::Open() {
  if (open_) Raise(kAdErrObjectOpen, "Operation is not allowed when the object is open.");
  if (store_->fields.empty()) Raise(kAdErrInvalidArgument, "the recordset has no fields");
  open_ = true;
  view_.reset();
  position_ = 0;
  edit_mode_ = adEditNone;
  filter_ = Variant(int32_t{0});
  sort_.clear();
}

void Recordset::Close() {
  CheckOpen();
  // The rows stay with the clones; this recordset keeps its fields and may open again.
  auto fresh = std::make_shared<RowStore>();
  fresh->fields = store_->fields;
  fresh->index = store_->index;
  store_ = std::move(fresh);
  open_ = false;
  view_.reset();
  position_ = 0;
  edit_mode_ = adEditNone;
  edit_original_.clear();
}

void Recordset::LoadRow(std::vector<Variant> values) {
  CheckOpen();
  RowStore& store = *store_;
  if (values.size() != store.Columns()) {
    Raise(kAdErrInvalidArgument,
          fmt::format("a record of {} values for {} fields", values.size(), store.Columns()));
  }
  std::move(values.begin(), values.end(), std::back_inserter(store.cells));
  if (view_) view_->push_back(static_cast<uint32_t>(store.rows));
  ++store.rows;
}

Variant* Recordset::AppendRow() {
  CheckOpen();
  RowStore& store = *store_;
  const size_t first = store.cells.size();
  store.cells.resize(first + store.Columns());
  if (view_) view_->push_back(static_cast<uint32_t>(store.rows));
  ++store.rows;
  return store.cells.data() + first;
}

void Recordset::Reserve(size_t rows) { store_->cells.reserve(rows * store_->Columns()); }

size_t Recordset::ViewSize() const { return view_ ? view_->size() : store_->rows; }

uint32_t Recordset::RowAt(size_t position) const {
  return view_ ? (*view_)[position] : static_cast<uint32_t>(position);
}

uint32_t Recordset::CurrentRow() const {
  CheckOpen();
  if (position_ < 0 || static_cast<size_t>(position_) >= ViewSize()) NoCurrentRecord();
  return RowAt(static_cast<size_t>(position_));
}

Variant& Recordset::Cell(uint32_t row, size_t column) const {
  return store_->cells[row * store_->Columns() + column];
}

const Variant& Recordset::Value(size_t index) const {
  uint32_t row = CurrentRow();
  if (index >= store_->Columns()) fields_.Item(index);  // raises 3265
  return Cell(row, index);
}

const Variant& Recordset::Value(std::string_view name) const {
  size_t column = ColumnOf(name);
  return Cell(CurrentRow(), column);
}

void Recordset::SetValue(size_t index, Variant value) {
  if (index >= store_->Columns()) fields_.Item(index);  // raises 3265
  Assign(index, std::move(value));
}

void Recordset::SetValue(std::string_view name, Variant value) {
  Assign(ColumnOf(name), std::move(value));
}

void Recordset::Assign(size_t column, Variant value) {
  uint32_t row = CurrentRow();
  Variant converted = CoerceToField(store_->fields[column], std::move(value));
  if (edit_mode_ == adEditNone) {
    size_t columns = store_->Columns();
    auto first = store_->cells.begin() + static_cast<std::ptrdiff_t>(row * columns);
    edit_original_.assign(first, first + static_cast<std::ptrdiff_t>(columns));
    edit_row_ = row;
    edit_mode_ = adEditInProgress;
  }
  Cell(row, column) = std::move(converted);
}

void Recordset::AddNew() {
  CheckOpen();
  FinishPendingEdit();
  RowStore& store = *store_;
  store.cells.resize(store.cells.size() + store.Columns(), Variant::Null());
  auto row = static_cast<uint32_t>(store.rows++);
  if (view_) view_->push_back(row);
  position_before_add_ = position_;
  position_ = static_cast<long>(ViewSize()) - 1;
  edit_row_ = row;
  edit_mode_ = adEditAdd;
}

void Recordset::AddNew(const std::vector<std::string>& names, const std::vector<Variant>& values) {
  CheckOpen();
  if (names.size() != values.size()) {
    Raise(kAdErrInvalidArgument, "AddNew: the lists of fields and values differ in length");
  }
  std::vector<size_t> columns;
  columns.reserve(names.size());
  for (const std::string& name : names) columns.push_back(ColumnOf(name));
  AddNew();
  try {
    for (size_t i = 0; i < columns.size(); ++i) Assign(columns[i], values[i]);
  } catch (...) {
    CancelUpdate();  // nothing half-written
    throw;
  }
  Update();
}

void Recordset::Update() {
  CheckOpen();
  edit_mode_ = adEditNone;
  edit_original_.clear();
}

void Recordset::Update(std::string_view name, Variant value) {
  SetValue(name, std::move(value));
  Update();
}

void Recordset::CancelUpdate() {
  CheckOpen();
  RowStore& store = *store_;
  if (edit_mode_ == adEditAdd) {
    if (edit_row_ + 1 != store.rows) {
      Raise(kAdErrIllegalOperation,
            "Operation is not allowed in this context: records were added after this one");
    }
    store.cells.resize(store.cells.size() - store.Columns());
    --store.rows;
    if (view_ && !view_->empty() && view_->back() == edit_row_) view_->pop_back();
    position_ = std::clamp<long>(position_before_add_, -1, static_cast<long>(ViewSize()));
  } else if (edit_mode_ == adEditInProgress) {
    size_t columns = store.Columns();
    for (size_t c = 0; c < columns; ++c) Cell(edit_row_, c) = std::move(edit_original_[c]);
  }
  edit_mode_ = adEditNone;
  edit_original_.clear();
}

void Recordset::FinishPendingEdit() {
  if (edit_mode_ != adEditNone) Update();
}

void Recordset::MoveTo(long position) {
  position_ = std::clamp<long>(position, -1, static_cast<long>(ViewSize()));
}

void Recordset::Move(long records) {
  CheckOpen();
  FinishPendingEdit();
  if ((records > 0 && Eof()) || (records < 0 && Bof())) NoCurrentRecord();
  if (records == 0) return;
  MoveTo(position_ + records);
}

void Recordset::MoveFirst() {
  CheckOpen();
  FinishPendingEdit();
  if (ViewSize() == 0) NoCurrentRecord();
  position_ = 0;
}

void Recordset::MoveLast() {
  CheckOpen();
  FinishPendingEdit();
  if (ViewSize() == 0) NoCurrentRecord();
  position_ = static_cast<long>(ViewSize()) - 1;
}

void Recordset::MoveNext() { Move(1); }
void Recordset::MovePrevious() { Move(-1); }

bool Recordset::Eof() const {
  CheckOpen();
  return position_ >= static_cast<long>(ViewSize());
}

bool Recordset::Bof() const {
  CheckOpen();
  return position_ < 0 || ViewSize() == 0;
}

long Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<long>(ViewSize());
}

long Recordset::AbsolutePosition() const {
  CheckOpen();
  if (Bof()) return adPosBOF;
  if (Eof()) return adPosEOF;
  return position_ + 1;
}

void Recordset::SetAbsolutePosition(long position) {
  CheckOpen();
  if (position < 1 || position > static_cast<long>(ViewSize())) {
    Raise(kAdErrInvalidArgument, fmt::format("AbsolutePosition {} is not a record of the "
                                             "{} shown",
                                             position, ViewSize()));
  }
  FinishPendingEdit();
  position_ = position - 1;
}

Variant Recordset::Bookmark() const { return Variant(static_cast<double>(CurrentRow()) + 1); }

void Recordset::SetBookmark(const Variant& bookmark) {
  CheckOpen();
  double ordinal = 0;
  try {
    ordinal = CDbl(bookmark);
  } catch (const Error&) {
    Raise(kAdErrInvalidArgument, "the bookmark is not valid");
  }
  if (ordinal != std::floor(ordinal) || ordinal < 1 ||
      ordinal > static_cast<double>(store_->rows)) {
    Raise(kAdErrInvalidArgument, "the bookmark is not valid");
  }
  auto row = static_cast<uint32_t>(ordinal - 1);
  long position = -1;
  if (!view_) {
    position = static_cast<long>(row);
  } else {
    auto it = std::find(view_->begin(), view_->end(), row);
    if (it != view_->end()) position = static_cast<long>(it - view_->begin());
  }
  if (position < 0) Raise(kAdErrInvalidArgument, "the bookmark is not a record shown here");
  FinishPendingEdit();
  position_ = position;
}

RecordFilter Recordset::ParseFilter(std::string_view text) const {
  return RecordFilter::Parse(text, store_->fields,
                             [this](std::string_view name) { return fields_.Find(name); });
}

std::vector<uint32_t> Recordset::ComputeView(const RecordFilter* filter,
                                             std::string_view sort) const {
  // Sort keys first, so that a bad sort text changes nothing.
  struct Key {
    size_t column;
    bool descending;
  };
  std::vector<Key> keys;
  TextReader lex{sort};
  while (!lex.AtEnd()) {
    std::optional<std::string> name = lex.TakeName();
    if (!name) Raise(kAdErrInvalidArgument, fmt::format("Sort \"{}\" cannot be read", sort));
    Key key{ColumnOf(*name), false};
    if (lex.TakeKeyword("DESC")) {
      key.descending = true;
    } else {
      lex.TakeKeyword("ASC");
    }
    keys.push_back(key);
    if (lex.AtEnd()) break;
    if (lex.Peek() != ',')
      Raise(kAdErrInvalidArgument, fmt::format("Sort \"{}\" cannot be read", sort));
    ++lex.pos;
  }

  std::vector<uint32_t> rows;
  rows.reserve(store_->rows);
  for (uint32_t r = 0; r < store_->rows; ++r) {
    if (filter == nullptr || filter->Matches(&Cell(r, 0))) rows.push_back(r);
  }
  if (keys.empty()) return rows;
  // Text keys are folded once per row rather than at every comparison.
  std::vector<std::vector<std::string>> folded(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    folded[k].resize(store_->rows);
    for (uint32_t r : rows) {
      const Variant& v = Cell(r, keys[k].column);
      if (v.Type() == VarType::kString) folded[k][r] = LCase(v.AsString());
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [&](uint32_t a, uint32_t b) {
    for (size_t k = 0; k < keys.size(); ++k) {
      const Variant& va = Cell(a, keys[k].column);
      const Variant& vb = Cell(b, keys[k].column);
      int c = 0;
      if (va.Type() == VarType::kString && vb.Type() == VarType::kString) {
        c = folded[k][a].compare(folded[k][b]);
      } else {
        c = CompareRecordValues(va, vb);
      }
      if (c != 0) return keys[k].descending ? c > 0 : c < 0;
    }
    return false;
  });
  return rows;
}

void Recordset::SetFilter(const Variant& filter) {
  CheckOpen();
  std::string text;
  if (filter.Type() == VarType::kString) {
    text = filter.AsString();
  } else if (!(filter.IsNumeric() && !filter.IsEmpty() && CDbl(filter) == 0)) {
    Raise(kAdErrInvalidArgument, "Filter takes a criteria text, or 0 to clear it");
  }
  FinishPendingEdit();
  bool clear = Trim(text).empty();
  std::optional<RecordFilter> criteria;
  if (!clear) criteria = ParseFilter(text);
  std::vector<uint32_t> rows = ComputeView(criteria ? &*criteria : nullptr, sort_);
  if (clear && sort_.empty()) {
    view_.reset();
  } else {
    view_ = std::move(rows);
  }
  filter_ = clear ? Variant(int32_t{0}) : Variant(text);
  position_ = 0;
}

void Recordset::SetSort(std::string_view sort) {
  CheckOpen();
  FinishPendingEdit();
  std::optional<RecordFilter> criteria;
  if (filter_.Type() == VarType::kString) criteria = ParseFilter(filter_.AsString());
  std::vector<uint32_t> rows = ComputeView(criteria ? &*criteria : nullptr, sort);
  if (!criteria && Trim(sort).empty()) {
    view_.reset();
  } else {
    view_ = std::move(rows);
  }
  sort_ = std::string(sort);
  position_ = 0;
}

std::shared_ptr<Recordset> Recordset::Clone() const {
  CheckOpen();
  auto clone = std::make_shared<Recordset>();
  clone->store_ = store_;
  clone->open_ = true;
  return clone;
}

}  // namespace qts::host
