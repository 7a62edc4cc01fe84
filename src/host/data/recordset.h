// Recordset: the client-side rows of an opened query or of a recordset built in memory, with
// the part of ADO's Recordset the system uses: Fields.Append, Open, AddNew/Update, Move*,
// EOF/BOF, RecordCount, Filter (ADO's grammar and restrictions), Sort, Clone and Bookmark.
//
// Rows live in one store shared by a recordset and its clones; each recordset keeps its own
// position, filter and sort as a list of row numbers (none while it shows every row in
// storage order). Values are converted to the field's type when they are assigned and kept
// column by column in compact form (a type byte and an 8-byte payload per cell, text in one
// buffer per column); a Variant is made when a value is read.
//
// Errors carry ADO's numbers with source "ADODB.Recordset" (or ".Field", ".Fields"):
// 3021 no current record, 3265 no such field, 3001 bad argument (a filter or sort text that
// cannot be read, naming the text), 3219 operation not allowed in this context, 3367 field
// appended twice, 3704 the recordset is closed, 3705 it is open, 0x80040E21 a value the field
// cannot take (wrong type, too long, Null in a field that is not nullable).
#ifndef QTS_HOST_DATA_RECORDSET_H_
#define QTS_HOST_DATA_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_numbers.h"
#include "core/object.h"
#include "core/variant.h"

namespace qts::host {

// ADO's DataTypeEnum, the codes Fields.Append takes.
enum DataTypeEnum : int32_t {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adBoolean = 11,
  adVariant = 12,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adBigInt = 20,
  adNumeric = 131,
  adChar = 129,
  adWChar = 130,
  adDBDate = 133,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
};

// ADO's FieldAttributeEnum (the flags this recordset looks at).
enum FieldAttributeEnum : int32_t {
  adFldUnspecified = -1,
  adFldUpdatable = 0x4,
  adFldFixed = 0x10,
  adFldIsNullable = 0x20,
  adFldMayBeNull = 0x40,
  adFldLong = 0x80,
  adFldKeyColumn = 0x8000,
};

enum EditModeEnum : int32_t { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };
enum PositionEnum : int32_t { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };

class Recordset;
class RecordFilter;
struct RowStore;

// The definition of a column.
struct FieldDef {
  std::string name;
  int32_t type = adVariant;
  int32_t defined_size = 0;
  int32_t attributes = 0;
  // The host's kind code the column was declared with (a query's AddColumn, a catalogue
  // column's type); 0 when nobody declared one.
  int32_t kind = 0;
};

// One field of a recordset: a handle naming the recordset and the column, valid as long as the
// recordset lives. Value and SetValue work on the current record.
class Field {
 public:
  const std::string& Name() const;
  int32_t Type() const;
  int32_t DefinedSize() const;
  int32_t Attributes() const;
  // The host's kind code of the column (FieldDef::kind); 0 when none was declared.
  int32_t Kind() const;
  // The value in the current record; error 3021 at BOF or EOF. The reference stays valid until
  // this recordset reads another record or the rows change.
  const Variant& Value() const;
  // Converts `value` to the field's type and stores it in the current record (starting an
  // edit when none is in progress).
  void SetValue(Variant value);
  size_t Index() const { return index_; }

 private:
  friend class Recordset;
  friend class FieldCollection;
  Field(Recordset* owner, size_t index) : owner_(owner), index_(index) {}
  Recordset* owner_;
  size_t index_;
};

// The recordset's Fields collection.
class FieldCollection {
 public:
  // Adds a column before Open; error 3219 once the recordset is open, 3367 when the name
  // (ASCII letters without regard to case, EqualsIgnoreCase) is there already, 3001 for an
  // empty name or an unknown type. `kind` is the host's kind code the column carries to
  // whoever prints it (0: none declared).
  void Append(std::string_view name, int32_t type, int32_t defined_size = 0,
              int32_t attributes = 0, int32_t kind = 0);
  size_t Count() const;
  // By name (EqualsIgnoreCase) or 0-based index; error 3265 naming the item when absent.
  Field Item(std::string_view name) const;
  Field Item(size_t index) const;
  Field operator()(std::string_view name) const { return Item(name); }
  Field operator()(size_t index) const { return Item(index); }
  // The column's index, or nullopt.
  std::optional<size_t> Find(std::string_view name) const;

 private:
  friend class Recordset;
  explicit FieldCollection(Recordset* owner) : owner_(owner) {}
  Recordset* owner_;
};

class Recordset : public virtual Object {
 public:
  Recordset();
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;
  std::string_view ClassName() const override { return "Recordset"; }

  FieldCollection& Fields() { return fields_; }
  const FieldCollection& Fields() const { return fields_; }

  // Opens the recordset on the appended fields, with no rows (an in-memory recordset).
  // Error 3705 when it is open already, 3001 when it has no fields.
  void Open();
  // Closes it; the rows live on in its clones. Error 3704 when it is closed.
  void Close();
  bool IsOpen() const { return open_; }

  // The loader of rows that come with their fields' types (a query's rows; records made by
  // hand go through AddNew): NewRow appends a record whose cells the caller must then all
  // load, each once, with values that already have the field's type - nothing is converted,
  // and a cell not loaded holds whatever its storage held before. It writes straight into the
  // store's current blocks; use it while nothing else touches the recordset.
  class Appender {
   public:
    explicit Appender(Recordset& recordset);
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    void NewRow();
    void Null(size_t column) { Cell(column, 1 /* VT_NULL */, 0); }
    void Long(size_t column, int32_t value) {
      Cell(column, 3 /* VT_I4 */, static_cast<uint64_t>(static_cast<int64_t>(value)));
    }
    void Double(size_t column, double value);
    void Currency(size_t column, qts::Currency value) {
      Cell(column, 6 /* VT_CY */, static_cast<uint64_t>(value.Scaled()));
    }
    void Date(size_t column, qts::Date value);
    void Text(size_t column, std::string_view value);
    void Value(size_t column, const Variant& value);

   private:
    void Cell(size_t column, uint8_t type, uint64_t payload) {
      types_[column][slot_] = type;
      payloads_[column][slot_] = payload;
    }

    Recordset& recordset_;
    RowStore& store_;
    std::vector<uint8_t*> types_;      // per column: the current block's type codes
    std::vector<uint64_t*> payloads_;  // per column: the current block's payloads
    size_t slot_ = 0;                  // the new record's place in the current blocks
    size_t row_ = 0;
    bool blocks_ready_ = false;  // types_ and payloads_ point into the current blocks
    bool has_objects_ = false;   // some column keeps objects beside its cells
  };

  // Appends an empty record (every field Null) and makes it current, in add mode.
  // A pending edit is updated first.
  void AddNew();
  // AddNew, assigns the values to the fields named, and updates.
  void AddNew(const std::vector<std::string>& names, const std::vector<Variant>& values);
  // Ends the add or edit in progress (nothing to do when none is).
  void Update();
  // Assigns and updates.
  void Update(std::string_view name, Variant value);
  // Drops the record being added, or restores the values of the record being edited.
  void CancelUpdate();
  EditModeEnum EditMode() const { return edit_mode_; }

  // Shortcuts for Fields(x).Value / SetValue.
  const Variant& Value(std::string_view name) const;
  const Variant& Value(size_t index) const;
  // The current row's value at `index` made afresh, for a caller that keeps it (a copy of the
  // row into a list); a pending edit of the row shows.
  Variant CopyValue(size_t index) const;
  // The same for every column of the current row, into `values` (resized to the columns).
  void CopyValues(std::vector<Variant>& values) const;
  void SetValue(std::string_view name, Variant value);
  void SetValue(size_t index, Variant value);

  // Moving updates a pending add or edit first. Moving past the last record leaves the
  // recordset at EOF, before the first at BOF; moving further raises 3021.
  void Move(long records);
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  // EOF / BOF (both true when the recordset shows no record).
  bool Eof() const;
  bool Bof() const;
  // The records this recordset shows (after its filter).
  long RecordCount() const;
  // 1-based position among the records shown, or adPosBOF / adPosEOF.
  long AbsolutePosition() const;
  void SetAbsolutePosition(long position);

  // The current record's 1-based ordinal in the shared rows (a Double, as ADO's client
  // cursor gives it): equal bookmarks mean the same record, in a clone too. Error 3021 with
  // no current record.
  Variant Bookmark() const;
  // Makes the bookmarked record current; error 3001 when it is not a record this recordset
  // shows.
  void SetBookmark(const Variant& bookmark);

  // ADO's Filter: "" or 0 shows every record; otherwise criteria "Field op value" with op one
  // of = < > <= >= <> LIKE, values 'text' (a quote doubled inside), #date# (yyyy-mm-dd or
  // m/d/yyyy), bare numbers, TRUE, FALSE or NULL (with = and <> only), joined by AND and OR,
  // grouped in parentheses. As in ADO, a group joined by OR may not be joined to another clause
  // by AND: "(a = 1 OR a = 2) AND b = 3" is refused, "(a = 1 AND b = 3) OR (a = 2 AND b = 3)"
  // is not. LIKE takes * or % at the end (or at both ends) of the pattern. Text compares
  // without regard to case, as ADO's cursor does; a Null value matches only "= NULL". The
  // filter applies to the records at the time it is set; the first record becomes current.
  // A text that cannot be read raises 3001 naming it, and the previous filter stays.
  void SetFilter(const Variant& filter);
  const Variant& Filter() const { return filter_; }

  // "Field [ASC|DESC], ..." orders the records shown (stable; Null first ascending, text
  // without regard to case); "" restores storage order. The first record becomes current.
  void SetSort(std::string_view sort);
  const std::string& Sort() const { return sort_; }

  // A recordset on the same rows, open, with its own position (the first record), no filter
  // and no sort. Error 3704 when this one is closed.
  std::shared_ptr<Recordset> Clone() const;

 private:
  friend class Field;
  friend class FieldCollection;
  friend class Appender;
  void CheckOpen() const;
  size_t ViewSize() const;
  uint32_t RowAt(size_t position) const;
  // The shared row of the current record; 3021 when there is none.
  uint32_t CurrentRow() const;
  // The value of a stored cell, read through this recordset's cache of the last record read.
  const Variant& CachedCell(uint32_t row, size_t column) const;
  void Assign(size_t column, Variant value);
  void FinishPendingEdit();
  void MoveTo(long position);
  size_t ColumnOf(std::string_view name) const;
  // The rows shown under `filter` (none: every row) ordered by `sort`; error 3001 or 3265
  // when the sort text cannot be read.
  std::vector<uint32_t> ComputeView(const RecordFilter* filter, std::string_view sort) const;
  RecordFilter ParseFilter(std::string_view text) const;

  std::shared_ptr<RowStore> store_;
  FieldCollection fields_;
  bool open_ = false;
  // Rows shown, as shared row numbers; nullopt shows every stored row in storage order.
  std::optional<std::vector<uint32_t>> view_;
  long position_ = 0;  // index into the rows shown; -1 is BOF, ViewSize() is EOF
  EditModeEnum edit_mode_ = adEditNone;
  uint32_t edit_row_ = 0;
  std::vector<Variant> edit_original_;  // the edited record's values before the edit
  long position_before_add_ = 0;
  Variant filter_{int32_t{0}};
  std::string sort_;
  // The values of one record made for Value(): valid while the store's generation is
  // cache_generation_; a column is made on its first read.
  mutable std::vector<Variant> cache_;
  mutable std::vector<uint8_t> cache_made_;
  mutable uint32_t cache_row_ = 0;
  mutable uint64_t cache_generation_ = 0;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace qts::host

#endif  // QTS_HOST_DATA_RECORDSET_H_
