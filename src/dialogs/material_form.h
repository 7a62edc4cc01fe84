// What the material document forms (frmMMO, frmMFC) share: their controls, the base dialog
// they run in, the document, the grid and the dialog controller, the resizer's layout codes,
// and the late-bound surface the print forms read: every control by its name ("edNumb",
// "cbStore"), Get_oDoc (the document; with a field name, that field's value), Get_SpecList
// (the grid: "BaseList.ListObject" is its rows), BaseDialog and DocType.
#ifndef QTS_DIALOGS_MATERIAL_FORM_H_
#define QTS_DIALOGS_MATERIAL_FORM_H_

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "frame/component_object.h"
#include "host/fwd.h"
#include "host/ui/dialog_form.h"
#include "host/ui/form_model.h"

namespace qts::host {
class DocSpec;
class SystemDialog;
}  // namespace qts::host

namespace qts::dialogs {

class CIWCtrl_SystemDialog;

// Messages the forms show.
inline constexpr int32_t kMsgNoNumber = 301;
inline constexpr int32_t kMsgNoStore = 336;
inline constexpr int32_t kMsgNoDate = 396;
inline constexpr int32_t kMsgNoDepartment = 504;
inline constexpr int32_t kMsgProduct = 550;
inline constexpr int32_t kMsgReceiptTitle = 1080;
inline constexpr int32_t kMsgWriteOffTitle = 1081;
inline constexpr int32_t kMsgFuelByWaybill = 8382;
inline constexpr int32_t kMsgMaterialsByWaybill = 8383;
inline constexpr int32_t kMsgByParent = 8388;

class MaterialForm : public frame::ComponentObject,
                     public Implements<host::IDialogForm, IDispatch> {
 public:
  ~MaterialForm() override;

  host::Form& Controls() override { return *form_; }
  // The form's dialog (null after the form unloaded).
  const std::shared_ptr<host::SystemDialog>& BaseDialog() const { return mBaseDlg; }
  const std::shared_ptr<host::DocSpec>& Get_SpecList() const { return m_Spec; }
  const host::THDocumentPtr& Get_oDoc() const { return m_Doc; }
  const std::shared_ptr<CIWCtrl_SystemDialog>& Controller() const { return m_Controller; }

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

 protected:
  MaterialForm(std::string name, std::string caption);

  // Adds a control; a combo gets the reference table it offers.
  host::Control& Add(std::string name, host::ControlType type, std::string caption = {},
                     std::string table = {});
  host::Control& Item(std::string_view name) { return form_->Item(name); }
  void Hide(std::string_view name) { Item(name).SetProperty("Visible", Variant(false)); }
  // The code the resizer gets for each of `controls`.
  void SetLayout(int32_t code, std::initializer_list<const char*> controls);
  // The controls a stock document's form opens with, in this order: number, date, department,
  // store and name, each after its label.
  void AddStockHeader();
  // The controls it closes with, in this order: the sum with its label, closed, post on saving,
  // copy rows, print, copy, OK, Cancel and Save; the buttons and boxes get their layout codes
  // (the sum's are the form's own).
  void AddStockFooter();
  // Keeps the dialog and its document, and answers the resizer.
  void Attach(const std::shared_ptr<host::SystemDialog>& base);
  // Whether the document's "IsPosted" is set.
  bool IsPosted() const;
  // Drops what Attach and the load made; the controller is terminated.
  void Release();
  // What both forms do first on load: the grid and the controller over the document (with
  // the controls its list knows by `control_codes`), a new document of `doc_type`, and the
  // header fields every material document binds (number, name, date, sum, closed,
  // department, store; those that are part of posting are locked while it is posted).
  void StartDocument(std::string_view doc_type, std::span<const int32_t> control_codes);

  std::shared_ptr<host::Form> form_;
  std::shared_ptr<host::SystemDialog> mBaseDlg;
  host::THDocumentPtr m_Doc;
  std::shared_ptr<host::DocSpec> m_Spec;
  std::shared_ptr<CIWCtrl_SystemDialog> m_Controller;
  std::vector<Connection> connections_;

 private:
  std::map<std::string, int32_t> layout_;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_MATERIAL_FORM_H_
