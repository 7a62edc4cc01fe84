// SystemDialog: the host's document dialog. It runs a plug-in's form (IDialogForm) over one
// document of a book: it loads the document, exchanges values between the form's bound
// controls and the document's fields, writes the document, and lets the person work with the
// form through the operator (it is the DialogSession the operator runs).
//
// Events, in the order they are raised (the handlers test a cancel flag first and may set it):
//   Load:  BeforeLoadHandling(fields, mode, cancel)   cancel: nothing is loaded, Load is False
//          -- the document named by the host object is loaded here --
//          AfterLoadHandling(fields, mode, extra)
//          then DocToForm (below).
//   RunForm: BeforeShow(a, b, cancel)                 cancel: the form is not shown
//          -- the person works with the form (Operator::RunDialog) --
//          AfterShow(a)
//   DocToForm / FormToDoc (an exchange; direction True when the form is read into the
//   document):
//          BeforeDDXExchange(fields, direction, arg)
//          OnDDXExchange(arg, direction, cancel)      cancel: no values are copied; FormToDoc
//                                                     is False
//          then, when nobody handles OnDDXExchange, the dialog copies the bound controls
//          itself; a form that handles it copies them when it decides to (DocDialogBase's
//          ReadFromFormToDoc / ReadFromDocToForm, through CopyFormToDoc / CopyDocToForm).
//   Save:  the form's Check (False: its message is shown, nothing is written), FormToDoc,
//          the header written (inserted or updated),
//          OnWriteRecord(idc, inserted, cancel)       cancel: the write is rolled back
//          the dialog's changes committed,
//          AfterWriteRecord(idc, inserted), then DocToForm.
//
// Bindings. BindField ties a control to a document field ("AddFld.<name>" names an additional
// header field of the document's type) and, optionally, a lock field: while
// the lock field is set (e.g. "IsPosted" = 1) the control is read-only, the person cannot set
// it and FormToDoc leaves its field alone. BindPersonField does the same for a person combo
// (over "REFPerson").
//
// Writing safely. Everything the dialog writes -- rows edited in its grid, prices the buttons
// compute, the header -- goes into one transaction of the book that the dialog opens at its
// first change and commits when the document is saved. A refused or failed save rolls its own
// write back and keeps the earlier changes for another try; closing the dialog without saving
// rolls everything back, so the book is as it was. While the dialog holds unsaved changes it
// holds the book's write lock (other writers wait for it).
#ifndef QTS_HOST_UI_SYSTEM_DIALOG_H_
#define QTS_HOST_UI_SYSTEM_DIALOG_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/ui/dialog_form.h"
#include "host/ui/dialog_session.h"
#include "host/ui/form_model.h"

namespace qts::db {
class Transaction;
}

namespace qts::host {

class DocSpec;

// The kind BindPersonField takes for person selectors.
inline constexpr int32_t kPersonBindingKind = 8;

// The resizer: asks the form for the layout code of each control.
class FormResizer final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "Resizer"; }
  // The code the form's listener answers for `control`; 0 (kFixed) when nobody answers.
  int32_t LayoutOf(Control& control);
  Event<Control&, int32_t&> GetLayout;
};

class SystemDialog final : public virtual Object, public DialogSession {
 public:
  SystemDialog();
  ~SystemDialog() override;
  std::string_view ClassName() const override { return "SystemDialog"; }

  // ---- Set-up ----

  // Takes `form` (an IDialogForm), the host object (a DialogHost naming the book and the
  // document) and the type parameter, makes the document object and calls the form's Init
  // with this dialog. Raises kErrSystemDialog for an empty form ("no dialog for type ...") or
  // a host object that is not a DialogHost.
  void Init(const ObjectPtr& form, const ObjectPtr& host_object, const Variant& type);
  // Loads the form and the document (see the events above). False when BeforeLoadHandling
  // was cancelled. Raises kErrSystemDialog when the book has no such document or it is of
  // another type than the form's.
  bool Load(Variant& mode);
  const THDocumentPtr& Doc() const { return doc_; }
  const AppContextPtr& Book() const { return book_; }
  const std::shared_ptr<IDialogForm>& FormObject() const { return form_; }
  Form& Controls();
  FormResizer& Resizer() { return *resizer_; }
  // The document type the dialog was opened with.
  const std::string& TypeParameter() const { return type_; }

  // ---- Bindings ----

  void BindField(Control& control, std::string_view field, std::string_view lock_field);
  void BindPersonField(Control& control, std::string_view field, int32_t kind,
                       std::string_view lock_field);
  // Whether the control is bound with a lock field that is set now.
  bool IsLocked(const Control& control) const;
  // The field `control` is bound to; "" when it is not bound.
  std::string BoundField(const Control& control) const;

  // ---- Exchange ----

  // The form into the document (see above); False when the exchange was cancelled.
  bool FormToDoc();
  // The document into the form (see above). `arg` is passed to the events.
  void DocToForm(const Variant& arg);
  // Repaints: the grid's rows are read again and the combos show their texts.
  void Refresh();
  // The copies themselves; each marks the running exchange as done.
  void CopyFormToDoc();
  void CopyDocToForm();
  // Shows `code` in combo `combo` with the text of its row (no checks; "" clears it).
  void ShowCode(Control& combo, const Variant& code);
  // Whether the person changed controls since the last exchange.
  bool FormChanged() const { return form_changed_; }
  // Changes of the document's rows since the last DocToForm (grid edits, pricing).
  int32_t ChangeCount() const { return change_count_; }
  void CountChange() { ++change_count_; }

  // ---- IHaldenDialog members, forwarded by the plug-in's dialog object ----

  // Shows the form to the person: BeforeShow, the operator's session, AfterShow. True when it
  // was shown. The by-reference 0 (`mode`) is the host's and kept as given.
  bool RunForm(Variant& a, Variant& mode, Variant& b, Variant& c);
  void Move(Variant& left, Variant& top, Variant& width, Variant& height);
  // Closes the form: unsaved changes are rolled back, the form unloads. A second call does
  // nothing.
  void UnloadForm();
  // Whether the dialog holds unsaved changes (controls or rows); with `ask` the person is
  // asked whether to save them first, and the answer is acted on.
  bool QueryDataChanged(bool ask);
  bool InsertMode() const;
  bool Visible() const { return visible_; }
  bool DataChanged() const { return form_changed_; }
  const NamedValueListPtr& UserParams() const { return user_params_; }
  void SetUserParams(NamedValueListPtr params);
  // A control's Enabled state by its name.
  bool EnableControl(const Variant& key);
  void SetEnableControl(const Variant& key, bool enabled);
  bool UnloadFormOnClose() const { return unload_on_close_; }
  void SetUnloadFormOnClose(bool value) { unload_on_close_ = value; }
  bool UpdateListAfterClose() const { return update_list_; }
  void SetUpdateListAfterClose(bool value) { update_list_ = value; }
  int32_t CopyObjectID() const { return copy_object_id_; }
  void SetCopyObjectID(int32_t value) { copy_object_id_ = value; }
  // The window's place as the host last moved it.
  const std::vector<Variant>& Placement() const { return placement_; }

  // ---- Writing ----

  // Opens the dialog's transaction unless it is open (see above).
  void BeginEdits();
  bool EditsOpen() const;
  // A new document's header written (inside the dialog's transaction) so that rows can be
  // attached to it; nothing for a stored document.
  void StoreForRows();

  // ---- The grid ----

  void AttachSpec(const std::shared_ptr<DocSpec>& spec);
  std::shared_ptr<DocSpec> Spec() const { return spec_.lock(); }

  // ---- DialogSession ----

  DialogView View() override;
  void SetControl(std::string_view control, std::string_view text) override;
  void EditCell(std::string_view row, std::string_view column, std::string_view text) override;
  void SelectRow(std::string_view row) override;
  void Press(std::string_view button, std::string_view item) override;
  bool Save() override;
  void Print(std::string_view report_class, const std::filesystem::path& file,
             bool bar_code) override;
  std::vector<std::string> FindGoods(std::string_view text) override;
  bool HasUnsavedChanges() override;
  void Close() override { UnloadForm(); }
  bool IsClosed() const override { return closed_; }

  // ---- Events ----

  Event<NamedValueList&, Variant&, bool&> BeforeLoadHandling;
  Event<NamedValueList&, Variant&, Variant&> AfterLoadHandling;
  Event<Variant&, Variant&, bool&> BeforeShow;
  Event<Variant&> AfterShow;
  Event<NamedValueList&, bool, Variant&> BeforeDDXExchange;
  Event<Variant&, bool, bool&> OnDDXExchange;
  Event<Variant&, Variant&, bool&> OnWriteRecord;
  Event<Variant&, Variant&> AfterWriteRecord;

 private:
  struct Binding {
    Control* control;
    std::string field;
    std::string lock_field;
    bool person;
  };
  struct DocState;

  const Binding* BindingOf(const Control& control) const;
  // The document's field a binding names (error 9 when the document has none).
  NamedValue& BoundValue(const Binding& binding) const;
  void ApplyLocks();
  void RequireLoaded(std::string_view what) const;
  [[noreturn]] void Refuse(const std::string& description) const;
  Control& EditableControl(std::string_view name);
  // Looks `code` up in the combo's table (and filter); the row's fields, or null when the
  // table has no such row (or the filter leaves it out).
  NamedValueListPtr ComboRow(const Control& combo, const std::string& code, bool filtered);
  DocState SaveState() const;
  void RestoreState(const DocState& state);
  void EndEdits(bool commit);
  DialogField FieldView(Control& control);

  std::shared_ptr<IDialogForm> form_;
  std::shared_ptr<FormResizer> resizer_;
  AppContextPtr book_;
  THDocumentPtr doc_;
  std::string type_;
  int32_t document_id_ = 0;
  NamedValueListPtr user_params_;
  std::vector<Binding> bindings_;
  std::weak_ptr<DocSpec> spec_;
  std::unique_ptr<db::Transaction> edits_;
  bool loaded_ = false;
  bool visible_ = false;
  bool closed_ = false;
  bool form_changed_ = false;
  bool exchanged_ = false;  // the running exchange's values were copied
  int32_t change_count_ = 0;
  bool unload_on_close_ = false;
  bool update_list_ = false;
  int32_t copy_object_id_ = 0;
  std::vector<Variant> placement_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_SYSTEM_DIALOG_H_
