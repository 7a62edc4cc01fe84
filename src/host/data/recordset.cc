#include "host/data/recordset.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/recordset_filter.h"
#include "host/data/recordset_storage.h"
#include "host/data/recordset_values.h"

namespace qts::host {

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

struct SortKey {
  size_t column;
  bool descending;
};

// "Field [ASC|DESC], ..."; `column_of` gives a field's column (raising 3265 when absent).
template <class ColumnOf>
std::vector<SortKey> ReadSortKeys(std::string_view sort, const ColumnOf& column_of) {
  std::vector<SortKey> keys;
  TextReader lex{sort};
  while (!lex.AtEnd()) {
    std::optional<std::string> name = lex.TakeName();
    if (!name) Raise(kAdErrInvalidArgument, fmt::format("Sort \"{}\" cannot be read", sort));
    SortKey key{column_of(*name), false};
    if (lex.TakeKeyword("DESC")) {
      key.descending = true;
    } else {
      lex.TakeKeyword("ASC");
    }
    keys.push_back(key);
    if (lex.AtEnd()) break;
    if (lex.Peek() != ',') {
      Raise(kAdErrInvalidArgument, fmt::format("Sort \"{}\" cannot be read", sort));
    }
    ++lex.pos;
  }
  return keys;
}

// The stored rows that meet `filter` (every row when there is none), in storage order.
std::vector<uint32_t> RowsMeeting(const RowStore& store, const RecordFilter* filter) {
  if (filter != nullptr) return filter->RowsOf(store);
  std::vector<uint32_t> rows(store.rows);
  for (uint32_t r = 0; r < store.rows; ++r) rows[r] = r;
  return rows;
}

// Orders `rows` by `keys`, stably: Null first ascending, text without regard to case.
void SortRows(const RowStore& store, const std::vector<SortKey>& keys,
              std::vector<uint32_t>& rows) {
  // The keys' values are made once per row, and text keys folded, rather than at every
  // comparison.
  std::vector<std::vector<Variant>> values(keys.size());
  std::vector<std::vector<std::string>> folded(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    values[k].resize(store.rows);
    folded[k].resize(store.rows);
    for (uint32_t r : rows) {
      Variant v = store.Get(r, keys[k].column);
      if (v.Type() == VarType::kString) folded[k][r] = LCase(v.AsString());
      values[k][r] = std::move(v);
    }
  }
  std::stable_sort(rows.begin(), rows.end(), [&](uint32_t a, uint32_t b) {
    for (size_t k = 0; k < keys.size(); ++k) {
      const Variant& va = values[k][a];
      const Variant& vb = values[k][b];
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
}

}  // namespace

// ---- Fields ----------------------------------------------------------------------------------

const std::string& Field::Name() const { return owner_->store_->fields[index_].name; }
int32_t Field::Type() const { return owner_->store_->fields[index_].type; }
int32_t Field::DefinedSize() const { return owner_->store_->fields[index_].defined_size; }
int32_t Field::Attributes() const { return owner_->store_->fields[index_].attributes; }
int32_t Field::Kind() const { return owner_->store_->fields[index_].kind; }
const Variant& Field::Value() const { return owner_->Value(index_); }
void Field::SetValue(Variant value) { owner_->SetValue(index_, std::move(value)); }

void FieldCollection::Append(std::string_view name, int32_t type, int32_t defined_size,
                             int32_t attributes, int32_t kind) {
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
  if (store.index.find(name) != store.index.end()) {
    Raise(kAdErrObjectInCollection,
          fmt::format("Object is already in collection. Cannot append: field \"{}\"", name),
          "ADODB.Fields");
  }
  store.index.emplace(std::string(name), store.fields.size());
  store.fields.push_back({std::string(name), type, defined_size, attributes, kind});
  store.columns.resize(store.fields.size());
}

size_t FieldCollection::Count() const { return owner_->store_->fields.size(); }

std::optional<size_t> FieldCollection::Find(std::string_view name) const {
  const RowStore& store = *owner_->store_;
  auto it = store.index.find(name);
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
  fresh->columns.resize(fresh->fields.size());
  store_ = std::move(fresh);
  cache_generation_ = 0;
  open_ = false;
  view_.reset();
  position_ = 0;
  edit_mode_ = adEditNone;
  edit_original_.clear();
}

static_assert(static_cast<uint8_t>(VarType::kNull) == 1 &&
              static_cast<uint8_t>(VarType::kLong) == 3 &&
              static_cast<uint8_t>(VarType::kCurrency) == 6);

Recordset::Appender::Appender(Recordset& recordset)
    : recordset_(recordset), store_(*recordset.store_) {
  recordset_.CheckOpen();
  types_.resize(store_.Columns());
  payloads_.resize(store_.Columns());
  for (const ColumnCells& column : store_.columns) has_objects_ |= !column.objects.empty();
}

void Recordset::Appender::NewRow() {
  row_ = store_.rows;
  slot_ = row_ % kBlockRows;
  if (slot_ == 0 || !blocks_ready_) {
    // A new block for every column, or the first record this appender writes.
    for (size_t c = 0; c < store_.columns.size(); ++c) {
      ColumnCells& column = store_.columns[c];
      if (row_ / kBlockRows == column.blocks.size()) {
        column.blocks.push_back(BlockPool::Local().TakeCells());
      }
      CellBlock& block = *column.blocks[row_ / kBlockRows];
      types_[c] = block.types;
      payloads_[c] = block.payloads;
    }
    blocks_ready_ = true;
  }
  if (has_objects_) {
    for (ColumnCells& column : store_.columns) {
      if (!column.objects.empty()) column.objects.emplace_back();
    }
  }
  if (recordset_.view_) recordset_.view_->push_back(static_cast<uint32_t>(row_));
  ++store_.rows;
  ++store_.generation;
}

void Recordset::Appender::Double(size_t column, double value) {
  Cell(column, static_cast<uint8_t>(VarType::kDouble), std::bit_cast<uint64_t>(value));
}

void Recordset::Appender::Date(size_t column, qts::Date value) {
  Cell(column, static_cast<uint8_t>(VarType::kDate), std::bit_cast<uint64_t>(value.Serial()));
}

void Recordset::Appender::Text(size_t column, std::string_view value) {
  store_.PutText(row_, column, value);
}

void Recordset::Appender::Value(size_t column, const Variant& value) {
  store_.Set(row_, column, value);
  if (value.Type() == VarType::kObject) has_objects_ = true;
}

size_t Recordset::ViewSize() const { return view_ ? view_->size() : store_->rows; }

uint32_t Recordset::RowAt(size_t position) const {
  return view_ ? (*view_)[position] : static_cast<uint32_t>(position);
}

uint32_t Recordset::CurrentRow() const {
  CheckOpen();
  if (position_ < 0 || static_cast<size_t>(position_) >= ViewSize()) NoCurrentRecord();
  return RowAt(static_cast<size_t>(position_));
}

const Variant& Recordset::CachedCell(uint32_t row, size_t column) const {
  const RowStore& store = *store_;
  if (cache_generation_ != store.generation || cache_row_ != row) {
    cache_.resize(store.Columns());
    cache_made_.assign(store.Columns(), 0);
    cache_row_ = row;
    cache_generation_ = store.generation;
  }
  if (!cache_made_[column]) {
    cache_[column] = store.Get(row, column);
    cache_made_[column] = 1;
  }
  return cache_[column];
}

const Variant& Recordset::Value(size_t index) const {
  uint32_t row = CurrentRow();
  if (index >= store_->Columns()) fields_.Item(index);  // raises 3265
  return CachedCell(row, index);
}

Variant Recordset::CopyValue(size_t index) const {
  uint32_t row = CurrentRow();
  if (index >= store_->Columns()) fields_.Item(index);  // raises 3265
  const RowStore& store = *store_;
  if (cache_generation_ == store.generation && cache_row_ == row && cache_made_[index]) {
    return cache_[index];
  }
  return store.Get(row, index);
}

void Recordset::CopyValues(std::vector<Variant>& values) const {
  const uint32_t row = CurrentRow();
  const RowStore& store = *store_;
  const bool cached = cache_generation_ == store.generation && cache_row_ == row;
  values.resize(store.Columns());
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = cached && cache_made_[i] ? cache_[i] : store.Get(row, i);
  }
}

const Variant& Recordset::Value(std::string_view name) const {
  size_t column = ColumnOf(name);
  return CachedCell(CurrentRow(), column);
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
    edit_original_.clear();
    edit_original_.reserve(columns);
    for (size_t c = 0; c < columns; ++c) edit_original_.push_back(store_->Get(row, c));
    edit_row_ = row;
    edit_mode_ = adEditInProgress;
  }
  store_->Set(row, column, converted);
}

void Recordset::AddNew() {
  CheckOpen();
  FinishPendingEdit();
  RowStore& store = *store_;
  auto row = static_cast<uint32_t>(store.rows);
  store.AppendRow();
  for (size_t c = 0; c < store.Columns(); ++c) store.Put(row, c, VarType::kNull, 0);
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
    store.DropLastRow();
    if (view_ && !view_->empty() && view_->back() == edit_row_) view_->pop_back();
    position_ = std::clamp<long>(position_before_add_, -1, static_cast<long>(ViewSize()));
  } else if (edit_mode_ == adEditInProgress) {
    size_t columns = store.Columns();
    for (size_t c = 0; c < columns; ++c) store.Set(edit_row_, c, edit_original_[c]);
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
  const std::vector<SortKey> keys =
      ReadSortKeys(sort, [this](std::string_view name) { return ColumnOf(name); });
  std::vector<uint32_t> rows = RowsMeeting(*store_, filter);
  if (!keys.empty()) SortRows(*store_, keys, rows);
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
  if (clear && sort_.empty()) {
    view_.reset();  // every row in storage order, as without a view
  } else {
    view_ = ComputeView(criteria ? &*criteria : nullptr, sort_);
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
