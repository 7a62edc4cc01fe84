// DocSpec: the grid over a document's specification rows, as the host's dialogs show it.
//
// Rows. The grid reads the document's rows as the host's printed specification list
// (DocSpecService::SpecList, with the additional fields of the document's type) and keeps them
// as a client-side recordset: that list is also what the print forms print (BaseList). Every
// change the person makes is written to the book at once, inside the dialog's transaction (see
// SystemDialog), and the list is read again:
//   - a cell edit moves the rows object to the row, sets the value (a quantity, unit or good
//     change makes the host recompute the accounting quantity), lets the calculator recompute
//     the row when the column is one of its trigger columns, raises AfterChangeColValue and
//     writes the row;
//   - the grid's empty last line ("new") becomes a row once it has a good and an amount (the
//     unit defaults to the good's accounting unit): the document's handler inserts it
//     (ITHDoc.InsertSpecRec, which may merge it into a row of the same good and unit); when the
//     handler inserts nothing, the grid writes the row itself at the next position;
//   - a delete raises OnDelete (a listener may keep the row) and deletes the row.
// While the document's lock field is set (a posted document) the rows cannot be changed.
//
// Columns. SetKind("SC") makes the material columns: position, good, its name, quantity,
// unit, accounting quantity, price, sum, cost, national price, algebraic sum, business
// operation, lot, the closing flags, then the additional row fields of the document's type
// (those the grid has no caption for are hidden).
// Each column is announced through OnAddColumn as it is added; a listener may change its
// caption, order and flags. The form's HideColumnList hides columns, its OrderColumnList
// orders them.
#ifndef QTS_HOST_UI_DOC_SPEC_H_
#define QTS_HOST_UI_DOC_SPEC_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/interfaces.h"
#include "host/ui/dialog_session.h"
#include "host/ui/form_model.h"

namespace qts::host {

class IDialogForm;
class SystemDialog;
class SpecCalculator;
class GoodEntry;

// One column of the grid.
class DocSpecColumn final : public Implements<IDispatch> {
 public:
  DocSpecColumn(std::string key, std::string caption, int32_t kind, bool editable,
                std::string list_field);
  std::string_view ClassName() const override { return "DocSpecColumn"; }

  const std::string& Key() const { return key_; }
  // The column's field in the grid's list ("GoodName" for the column "Name").
  const std::string& ListField() const { return list_field_; }
  // The host's kind code of the values (money 19, quantity 20, price 24, code 7, ...).
  int32_t Kind() const { return kind_; }
  bool Editable() const { return editable_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  int32_t Order() const { return order_; }
  void SetOrder(int32_t order) { order_ = order; }
  bool ColVisible() const { return visible_; }
  void SetColVisible(bool visible) { visible_ = visible; }
  bool ColPrintVisible() const { return print_visible_; }
  void SetColPrintVisible(bool visible) { print_visible_ = visible; }
  bool ColTotals() const { return totals_; }
  void SetColTotals(bool totals) { totals_ = totals; }

  // Late binding: Key, Caption, Order, ColVisible, ColPrintVisible, ColTotals.
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

 private:
  std::string key_;
  std::string caption_;
  int32_t kind_;
  bool editable_;
  std::string list_field_;
  int32_t order_ = 0;
  bool visible_ = true;
  bool print_visible_ = true;
  bool totals_ = false;
};

using DocSpecColumnPtr = std::shared_ptr<DocSpecColumn>;

// The grid's rows as a list object: "ListObject" (itself, as the print forms reach it through
// BaseList) and "Recordset" (the rows).
class DocSpecList final : public Implements<IDispatch> {
 public:
  std::string_view ClassName() const override { return "DocSpecList"; }
  const RecordsetPtr& Recordset() const { return rows_; }
  void SetRecordset(RecordsetPtr rows) { rows_ = std::move(rows); }

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

 private:
  RecordsetPtr rows_;
};

// The goods lookup a grid opens when a good is entered: StoreCode is the store whose rests it
// shows beside the goods.
class GoodLookUp final : public virtual Object {
 public:
  explicit GoodLookUp(AppContextPtr book);
  std::string_view ClassName() const override { return "GoodLookUp"; }

  const std::string& StoreCode() const { return store_code_; }
  void SetStoreCode(std::string code) { store_code_ = std::move(code); }

  // The goods (not groups) whose code or name contains `text` (ASCII case ignored), at most
  // `limit`, by code: "code  name  unit  [free rest in StoreCode]".
  [[nodiscard]] std::vector<std::string> Search(std::string_view text, size_t limit = 30);

 private:
  AppContextPtr book_;
  std::string store_code_;
};

class DocSpec final : public Implements<IDispatch> {
 public:
  DocSpec();
  ~DocSpec() override;
  std::string_view ClassName() const override { return "DocSpec"; }

  // The form whose column lists the grid follows, and the book.
  void Init(const std::shared_ptr<IDialogForm>& form, AppContextPtr app);
  // Binds the grid to its control, the document and the dialog; `delete_button` (may be null)
  // deletes the current row when pressed.
  void Attach(Control& grid, THDocumentPtr doc, const std::shared_ptr<IDialogForm>& form,
              const std::shared_ptr<SystemDialog>& dialog, Control* delete_button);
  // Makes the columns of `kind` (only "SC", the material columns, is known; error 5 for
  // another). Needs the document's type.
  void SetKind(std::string_view kind);
  const std::string& Kind() const { return kind_; }
  // The document's field that makes the rows read-only while it is set ("IsPosted").
  void SetLockField(std::string field) { lock_field_ = std::move(field); }
  // The calculator edits go through (SpecCalculator::Init sets it).
  void SetCalculator(const std::shared_ptr<SpecCalculator>& calculator) {
    calculator_ = calculator;
  }
  // The document handler rows are inserted through (may be null: the grid inserts itself).
  void SetHandler(const std::shared_ptr<ITHDoc>& handler) { handler_ = handler; }
  const Control* GridControl() const { return grid_; }

  // ---- Columns ----

  // Every column, in their Order.
  [[nodiscard]] std::vector<DocSpecColumnPtr> Columns() const;
  DocSpecColumn* Column(std::string_view key);

  // ---- Rows ----

  // Reads the document's rows again (the grid's Refresh); a new document has none.
  void Reload();
  // Whether the rows were read for the document as it is now (its "IDC").
  bool IsCurrent() const;
  [[nodiscard]] long RowCount() const;
  const RecordsetPtr& Rows() const;
  // The sum of column `key` over the rows (Null cells skipped).
  [[nodiscard]] Currency Total(std::string_view key) const;
  // The current row's position; nullopt when there is none.
  std::optional<int32_t> CurrentPos() const { return current_pos_; }
  void Select(std::string_view row);
  void EditCell(std::string_view row, std::string_view column, std::string_view text);
  // Deletes the current row (the delete button).
  void DeleteCurrentRow();
  // The row at `pos` as a fresh list of its columns (the rows object's fields); null when the
  // document has no such row.
  [[nodiscard]] NamedValueListPtr RowFields(int32_t pos);
  // Whether the rows cannot be changed now, and why.
  bool ReadOnly(std::string* reason = nullptr) const;
  [[nodiscard]] std::vector<std::string> FindGoods(std::string_view text);

  // The rows as the print forms take them ("BaseList.ListObject").
  [[nodiscard]] std::shared_ptr<DocSpecList> BaseList();
  // The grid as the person sees it.
  [[nodiscard]] DialogGrid View() const;

  // Late binding: BaseList, Kind, Refresh, RowCount.
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

  // ---- Events ----

  Event<DocSpecColumn&> OnAddColumn;
  // After a cell edit, before the row is written: the column and the row's values.
  Event<const std::string&, NamedValueList&> AfterChangeColValue;
  // Before a row is deleted: the row, an argument the host passes (the row's position) and
  // the flag that lets it go, True at first; a listener that clears it keeps the row.
  Event<const NamedValueListPtr&, Variant&, bool&> OnDelete;
  // Before the goods lookup is used: the lookup and the row's position (0 for the new line).
  Event<GoodLookUp&, Variant&> BeforeShowGoodLookUp;
  // After the rows were read.
  Event<> Reloaded;

 private:
  [[noreturn]] void Refuse(const std::string& description) const;
  void RequireAttached(std::string_view what) const;
  void RequireWritable(std::string_view what) const;
  void AddColumn(std::string key, std::string caption, int32_t kind, bool editable,
                 std::string list_field = {});
  DocSpecColumn& EditableColumn(std::string_view key);
  int32_t ParsePos(std::string_view row) const;
  int32_t IdcOfPos(int32_t pos) const;
  Variant ParseValue(const DocSpecColumn& column, std::string_view text) const;
  // Checks a good entered in row `pos` (0: the new line) through the goods lookup.
  void CheckGood(const std::string& code, int32_t pos);
  void CheckUnit(const std::string& good, const std::string& unit) const;
  void EditNewLine(DocSpecColumn& column, const Variant& value);
  void InsertNewLine();
  void WriteCell(int32_t pos, DocSpecColumn& column, const Variant& value);
  int32_t DocId() const;
  GoodEntry& Goods() const;

  std::weak_ptr<IDialogForm> form_;
  AppContextPtr book_;
  THDocumentPtr doc_;
  std::weak_ptr<SystemDialog> dialog_;
  std::weak_ptr<SpecCalculator> calculator_;
  std::weak_ptr<ITHDoc> handler_;
  Control* grid_ = nullptr;
  Connection delete_click_;
  std::string kind_;
  std::string lock_field_;
  std::vector<DocSpecColumnPtr> columns_;  // in the order added
  RecordsetPtr rows_;
  int32_t loaded_doc_id_ = -1;
  std::map<int32_t, int32_t> idc_by_pos_;
  std::optional<int32_t> current_pos_;
  std::vector<std::pair<std::string, Variant>> new_line_;  // the values of the "new" line
  THGoodSpecPtr spec_;
  mutable std::shared_ptr<GoodEntry> goods_;
  std::shared_ptr<GoodLookUp> lookup_;  // the grid's one goods lookup, kept between uses
  std::shared_ptr<DocSpecList> list_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_DOC_SPEC_H_
