// frmMFC: the dialog of the finished-goods receipt (document type "MFC"). Built like the
// write-off form -- a dialog controller, bound fields (number, date, department, store and
// both persons locked while the document is posted), a grid -- it names two persons through
// the dialog base: the receiver ("DB", "cbPerson") and the controller ("CH",
// "cbKontrolerius"), and prints its own act ("R_MFC") from its print button.
//
// The load and exchange handlers and the print button catch every error: it is shown to the
// person (ShowCurrentError) and the handler returns.
#ifndef QTS_DIALOGS_FRM_MFC_H_
#define QTS_DIALOGS_FRM_MFC_H_

#include <memory>
#include <string>
#include <vector>

#include "dialogs/material_form.h"
#include "host/ui/doc_dialog_base.h"

namespace qts::dialogs {

class frmMFC final : public MaterialForm {
 public:
  frmMFC();
  ~frmMFC() override;
  std::string_view ClassName() const override { return "frmMFC"; }

  bool Init(const std::shared_ptr<host::SystemDialog>& base) override;
  // False with the text of message 396 when no date is given, 301 when no number, 336 when
  // no store, 504 when no department.
  bool Check(std::string& message) override;
  // The grid's "GoodCode" column is captioned with message 550 (the product).
  void SetFormInterface();
  // Empties the document's "Code" (the order the receipt was made for) and the control that
  // shows it.
  void ClearFormFields();
  std::vector<std::string> HideColumnList() override;
  std::vector<std::string> OrderColumnList() override;
  std::string DocType() override { return "MFC"; }
  void Form_Unload() override;

  // The two person bindings the dialog base keeps.
  const std::vector<host::PersonRoleBinding>& PersonRoles() const { return m_Roles; }

 private:
  void mBaseDlg_BeforeLoadHandling(bool cancel);
  void mBaseDlg_OnDDXExchange(bool to_doc, bool cancel);
  void btUsePrint_Click();

  std::vector<host::PersonRoleBinding> m_Roles;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_FRM_MFC_H_
