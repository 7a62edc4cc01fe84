// The rows of a book's documents ("THGoodSpec"), one current row at a time,
// with the additional row fields of the row's document type ("<type>THGoodSpec").
//
// Lists. Fields() holds every column of "THGoodSpec" followed by the additional fields as
// "AddFld.<name>"; AddFields() holds the same additional fields under their own names. The
// two are kept in step: a write takes an additional field from Fields() when its
// "AddFld." entry was changed since the row was read, from AddFields() otherwise, and both
// lists then hold what was written. The additional fields follow the type of the document
// named by "DocID"; they are rebuilt (values kept by name) when the row moves to a document of
// another type.
//
// Writing. Calling order: Find, MoveToID or AddNew; set values; Update (a new row) or
// UpdateByID (an existing row); MoveToID to read back what the write recomputed. A write
// stores the row and its additional fields together or not at all: in a transaction of its
// own, or inside the caller's transaction (UpdateByID through a savepoint; Update by deleting
// the row it inserted when the additional row fails, see WriteScope). It recomputes:
//   - "AmountAccount", when it is 0 or has no value: "Amount" x "Rate" of the unit
//     ("REFGoodUnit" of "GoodCode" and "UnitCode"; a unit the good does not list, or a row
//     without good or unit, counts 1), as a Currency product (four places, half to even);
//   - "Summa", when it is 0 or has no value and "Price" and "Amount" are not: RoundCy("Price"
//     x "Amount", 2) -- the row sum; a sum the caller set (also a deliberate one that differs
//     from price x amount) is kept;
//   - "PosNumb" of a new row, when it is 0 or has no value: NextPosNumb().
// The recomputed values are also set in Fields() right away.
//
// A row or document that does not exist answers False / 0 and changes nothing. Statements are
// prepared once per book through the connection's cache and bound per row.
#ifndef QTS_HOST_DOCUMENTS_TH_GOOD_SPEC_H_
#define QTS_HOST_DOCUMENTS_TH_GOOD_SPEC_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "host/data/named_value_list.h"
#include "host/documents/table_layout.h"
#include "host/fwd.h"

namespace qts::host {

class THGoodSpec : public virtual Object {
 public:
  // Touches no database until the first data operation.
  explicit THGoodSpec(AppContextPtr application);
  ~THGoodSpec() override;
  std::string_view ClassName() const override { return "THGoodSpec"; }

  const AppContextPtr& Application() const { return application_; }

  // The current row (see above). After construction and AddNew: a blank row, every column at
  // its default, "IDC" 0.
  NamedValueList& Fields();
  NamedValueList& AddFields();

  // Starts editing the current row. False when there is no current stored row.
  bool BeginEdit();
  // Makes the current row a blank new row; its additional fields keep the current type.
  void AddNew();
  // Writes the new row started by AddNew and makes it the current row; sets "IDC" and the
  // recomputed columns in Fields(). False, writing nothing, when "DocID" names no document.
  // Raises kErrDocument without AddNew or without "DocID", error 13 for a value a column
  // cannot take, the book's constraint error for a position the document already has.
  bool Update();
  // Writes the current row back to row `idc`. False, writing nothing, when there is no such
  // row in the document of "DocID". Raises like Update.
  bool UpdateByID(int32_t idc);

  // Position on a row; False, changing nothing, when it does not exist.
  bool MoveToID(int32_t idc);
  bool MoveToKey(int32_t doc_id, int32_t pos_numb);
  // The first row (by "DocID", "PosNumb") matching a T-SQL condition over the columns of
  // "THGoodSpec" (also qualified as "oTable."); it goes through the translator.
  bool Find(std::string_view condition);

  // Max "PosNumb" + 1 of the document in "DocID" (1 for a document without rows); 0 when
  // "DocID" names no document. Positions freed by deleting the last rows are used again.
  int32_t NextPosNumb();

  // Deletes row `idc` with its additional fields and fix-log links. False when there is none.
  // When it is the current row, the current row becomes a blank new row.
  bool Delete(int32_t idc);

 private:
  struct AddTable;
  struct Statements;
  void EnsureLayout();
  const AddTable* AddTableOf(const std::string& type);
  void Retype(const std::string& type);
  // The type of document `doc_id` ("" when there is none), cached for the last document.
  bool ResolveDocType(int32_t doc_id, std::string& type);
  void SyncType();
  int32_t CurrentDocId() const;
  static int32_t DocIdOf(const Variant& doc_id);  // 0 when it is not a document's number
  // `with_type`: the statement carries the document's type after the row's columns; without
  // it the type is looked up (cached). `with_add`: the statement carries the additional
  // fields of the current type next, and a last column telling whether the additional row
  // exists.
  bool ReadRow(db::Statement& statement, bool with_add = false, bool with_type = true);
  void ReadAddFields(int32_t doc_id, int32_t pos_numb);
  void Recompute();
  void BindRow(db::Statement& statement);
  // `same_row`: the row written is the one the snapshots hold, so unchanged additional values
  // need no write.
  void WriteAddFields(int32_t doc_id, int32_t pos_numb, bool insert, bool same_row = false);
  void SnapshotRow();
  // The additional values a write would store, and whether they are what the book holds.
  std::vector<Variant> AddValues() const;
  bool AddRowUnchanged(bool same_row) const;
  void SnapshotAddFields();
  void BlankAddFields();

  AppContextPtr application_;
  std::unique_ptr<TableLayout> layout_;
  std::unique_ptr<Statements> sql_;
  std::map<std::string, std::unique_ptr<AddTable>> add_tables_;  // by upper-case type
  NamedValueListPtr fields_;
  NamedValueListPtr add_fields_;
  std::vector<NamedValue*> row_entries_;    // Fields() entries of the row's columns
  std::vector<NamedValue*> alias_entries_;  // Fields() "AddFld." entries
  std::vector<Variant> add_snapshot_;       // additional values as read or written
  bool add_row_stored_ = false;             // add_snapshot_ is a stored additional row
  std::vector<Variant> row_snapshot_;       // the row's values as read or written (current_idc_)
  std::vector<Variant> read_buffer_;        // the values of the row being read
  // The money columns of the last shape of row read (ReadRow), and that shape.
  std::vector<bool> read_money_;
  const TableLayout* read_money_layout_ = nullptr;
  bool read_money_with_type_ = false;
  uint64_t snapshot_rollbacks_ = 0;  // the connection's rollbacks when it was taken
  std::string type_;                 // type of the additional fields
  const AddTable* add_table_ = nullptr;
  int32_t resolved_doc_id_ = 0;  // document whose type was last looked up
  std::string resolved_type_;
  int32_t current_idc_ = 0;  // stored current row, 0 for none
  bool adding_ = false;
  bool editing_ = false;
  int idx_doc_id_ = 0, idx_pos_ = 0, idx_good_ = 0, idx_unit_ = 0, idx_amount_ = 0,
      idx_amount_account_ = 0, idx_price_ = 0, idx_summa_ = 0, idx_fix_category_ = 0,
      idx_cost_summ_ = 0;
};

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_TH_GOOD_SPEC_H_
