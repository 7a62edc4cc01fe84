// What the host's document dialog needs from the parties around it:
//   - IDialogForm: the plug-in's form (frmMMO, frmMFC) that the dialog runs;
//   - IDialogEventSink: the caller's receiver of the dialog's load, show and write events;
//   - DialogHost: the host object a dialog is opened for (the book, the document, the caller's
//     parameters), handed to IHaldenDialog.Init and on to SystemDialog.Init.
#ifndef QTS_HOST_UI_DIALOG_FORM_H_
#define QTS_HOST_UI_DIALOG_FORM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/ui/form_model.h"

namespace qts::host {

class SystemDialog;

class IDialogForm : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("0E1C5B6A-3F43-4E4B-9A8A-6D2C1F7B5E31");
  static constexpr std::string_view kName = "IDialogForm";

  // The dialog hands itself to the form, which keeps it as its base dialog; True when the
  // form takes it.
  virtual bool Init(const std::shared_ptr<SystemDialog>& base) = 0;
  // The form's controls.
  virtual Form& Controls() = 0;
  // The form's checks before a write: False, with the text of the first failing check in
  // `message`, stops the write.
  virtual bool Check(std::string& message) = 0;
  // Grid columns the form hides, and the order of the columns it orders (empty: the grid's
  // own order).
  virtual std::vector<std::string> HideColumnList() = 0;
  virtual std::vector<std::string> OrderColumnList() { return {}; }
  // The document type the form serves.
  virtual std::string DocType() = 0;
  // The form unloads: it drops what it holds.
  virtual void Form_Unload() = 0;
};

// The caller's receiver of a dialog's events; each is relayed with the dialog's arguments, by
// reference, as it happens.
class IDialogEventSink : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("5D0A9C1E-77B2-4F0D-8E36-2B9F4A1C6D58");
  static constexpr std::string_view kName = "IDialogEventSink";

  virtual void BeforeLoadHandling(NamedValueList& fields, Variant& mode, bool& cancel) = 0;
  virtual void AfterLoadHandling(NamedValueList& fields, Variant& mode, Variant& extra) = 0;
  virtual void BeforeShow(Variant& a, Variant& b, bool& cancel) = 0;
  virtual void AfterShow(Variant& a) = 0;
  virtual void AfterWriteRecord(Variant& idc, Variant& inserted) = 0;
};

// The host object a document dialog is opened for: its "ObjectName" is "THDocument", it names
// the book and the document (0: a new one) and carries the caller's parameters ("Parent", a
// parent document object, ...).
class DialogHost final : public Implements<IDispatch> {
 public:
  DialogHost(AppContextPtr book, int32_t document_id);
  std::string_view ClassName() const override { return "DialogHost"; }

  const std::string& ObjectName() const { return object_name_; }
  const AppContextPtr& Book() const { return book_; }
  int32_t DocumentId() const { return document_id_; }
  const NamedValueListPtr& UserParams() const { return user_params_; }

  // Late binding: "ObjectName", "DocumentId", "Book".
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

 private:
  std::string object_name_ = "THDocument";
  AppContextPtr book_;
  int32_t document_id_;
  NamedValueListPtr user_params_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_DIALOG_FORM_H_
