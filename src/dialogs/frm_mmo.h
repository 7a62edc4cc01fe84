// frmMMO: the dialog of the item write-off act (document type "MMO"). The act names a
// committee -- a head and three members -- and an accountable person. The form binds its
// fields (number, date, department, store and the persons are locked while the document is
// posted), makes its dialog controller and grid, fits its title and store choice to the
// parent document (a waybill's fuel or materials, another document), remembers the committee
// per user, writes the persons by role and keeps the price buttons enabled only for a posted
// document or one to be posted on saving.
//
// The load, exchange, write and menu handlers catch every error: it is shown to the person
// (ShowCurrentError) and the handler returns.
#ifndef QTS_DIALOGS_FRM_MMO_H_
#define QTS_DIALOGS_FRM_MMO_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/material_form.h"

namespace qts::engine {
class CMDocSupport;
}
namespace qts::host {
class UtilMenu;
class Vehicle;
}  // namespace qts::host

namespace qts::dialogs {

class CMaterialDlgBase;

class frmMMO final : public MaterialForm {
 public:
  frmMMO();
  ~frmMMO() override;
  std::string_view ClassName() const override { return "frmMMO"; }

  // Takes the base dialog and its document and listens to the dialog.
  bool Init(const std::shared_ptr<host::SystemDialog>& base) override;
  // False with the text of message 396 when no date is given, 301 when no number, 504 when no
  // department.
  bool Check(std::string& message) override;
  // "Summa", "PriceNational" and the closing flags; also "AddFld.WriteOffPrice" when the
  // book's setting "IsMakeFixDoc" is on.
  std::vector<std::string> HideColumnList() override;
  std::string DocType() override { return "MMO"; }
  void Form_Unload() override;

  // The column arranger (national-price mode only) and the utility menu.
  const std::shared_ptr<CMaterialDlgBase>& ColumnArranger() const { return m_ColumnArranger; }
  const std::shared_ptr<host::UtilMenu>& UtilityMenu() const { return m_clUtilMenu; }

 private:
  void mBaseDlg_BeforeLoadHandling(bool cancel);
  void mBaseDlg_BeforeDDXExchange(bool to_doc);
  void mBaseDlg_OnDDXExchange(bool to_doc, bool cancel);
  void mBaseDlg_OnWriteRecord(bool cancel);
  void m_clUtilMenu_SetBOper(const std::string& code);
  // Fits the title and the store choice to the parent document.
  void ShowParent();
  void UpdatePriceButtons();
  std::string PersonKey(const std::string& field) const;

  std::shared_ptr<CMaterialDlgBase> m_ColumnArranger;
  std::shared_ptr<host::UtilMenu> m_clUtilMenu;
  host::THDocumentPtr m_ParentDoc;
  std::shared_ptr<host::Vehicle> m_Vehicle;
  std::shared_ptr<engine::CMDocSupport> m_BOperSupport;
  // The committee's fields and their combos (the person collection).
  std::vector<std::pair<std::string, std::string>> m_Persons;
  bool m_PersonsChanged = false;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_FRM_MMO_H_
