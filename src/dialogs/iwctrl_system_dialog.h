// CIWCtrl_SystemDialog: the controller a material document form (frmMMO, frmMFC) makes for
// itself. It connects the form to the host's dialog framework -- the dialog base (BaseClass)
// and the grid frame (FrmDSpec) --, wires the form's optional buttons by its control codes,
// binds the document handler of the type (CItemWriteOff for "MMO" and "MKO", CFinishGoodIn
// for "MFC") and handles the price buttons, the lot menu, the print button, the exchange, the
// write and the grid's delete and goods lookup.
//
// Control codes the controller tests (the form fills ControlList before Init):
//   43 the sum block also gets "chPaid"      11 "btSetPrice" is connected
//   38 "cbStore" is the store combo           14 "btLotProperty" is connected
//   12 "btSetPriceOff" is connected           2 when absent, "MMO"/"MKO" connect "btUsePrint"
//    8 a write enables "btSpecInsert"        36 the lot button opens the item-property menu
//
// The handlers of the exchange, the write, the grid and the buttons catch every error: it is
// shown to the person (ShowCurrentError) and the handler returns. Init, GoodPropMenu and the
// forwarding members let host errors through.
#ifndef QTS_DIALOGS_IWCTRL_SYSTEM_DIALOG_H_
#define QTS_DIALOGS_IWCTRL_SYSTEM_DIALOG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "engine/document_support.h"
#include "frame/component_object.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::host {
class Control;
class ControlList;
class DocDialogBase;
class DocSpec;
class DocSpecFrame;
class GoodLookUp;
class GoodPropertyMenu;
class IDialogForm;
class SpecCalculator;
class SystemDialog;
}  // namespace qts::host

namespace qts::dialogs {

// The control codes the controller tests.
namespace control_code {
inline constexpr int32_t kNoUsePrint = 2;
inline constexpr int32_t kSpecInsert = 8;
inline constexpr int32_t kSetPrice = 11;
inline constexpr int32_t kSetPriceOff = 12;
inline constexpr int32_t kLotProperty = 14;
inline constexpr int32_t kGoodPropertyMenu = 36;
inline constexpr int32_t kStoreCombo = 38;
inline constexpr int32_t kPaidControl = 43;
}  // namespace control_code

// The message shown after a price button priced the rows.
inline constexpr int32_t kMsgPricesSet = 622;

class CIWCtrl_SystemDialog final : public frame::ComponentObject, public Implements<IDispatch> {
 public:
  CIWCtrl_SystemDialog();
  ~CIWCtrl_SystemDialog() override;
  std::string_view ClassName() const override { return "CIWCtrl_SystemDialog"; }

  // Connects the form (see the header comment). `text` and `mode` are the host's and passed
  // to BaseClass as given; the write-off form passes "", "IsPosted", its grid, True and 1.
  void Init(std::string_view DocTypeCode, const std::shared_ptr<host::IDialogForm>& form,
            const std::shared_ptr<host::SystemDialog>& base_dialog, const host::THDocumentPtr& doc,
            std::string_view text, std::string_view lock_field,
            const std::shared_ptr<host::DocSpec>& spec, bool sum_flag, int32_t mode);
  // Releases everything (also on destruction); a second call does nothing.
  void Terminate();

  const std::shared_ptr<host::SpecCalculator>& SpecCalculator() const { return m_SpecCalculator; }
  // The item-property menu, made on first use and bound to the form, the handler and the grid.
  // Raises when the type has no document handler.
  std::shared_ptr<host::GoodPropertyMenu> GoodPropMenu();
  bool CheckAll() const { return m_CheckAll; }
  const std::shared_ptr<host::ControlList>& ControlList() const { return m_ControlList; }
  const std::shared_ptr<host::DocDialogBase>& BaseClass() const { return m_BaseClass; }
  const std::shared_ptr<host::DocSpecFrame>& FrmDSpec() const { return m_FrmDSpec; }
  void ReadFromFormToDoc();
  bool CopyDoc();
  void ModeInsertNewDoc(const Variant& a, const Variant& b);
  bool DDXShowChangeState();
  void ReadFromDocToForm(const Variant& a);
  bool NotMoved();
  // The handler of the document type; null for a type without one.
  const std::shared_ptr<host::ITHDoc>& ThDoc() const { return m_ThDoc; }
  const std::shared_ptr<engine::IMDocSupport>& MDocSupport() const { return m_MDocSupport; }
  const std::shared_ptr<engine::IMMatDocSupport>& MatDocSupport() const { return m_MatSupport; }
  const std::string& DocTypeCode() const { return m_DocType; }

  // Late binding: ThDoc, BaseClass, CheckAll, DocTypeCode (the print forms reach the handler
  // through "oMWControl").
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override;

 private:
  bool Has(int32_t code) const;
  host::Control& FormControl(std::string_view name) const;
  // Makes the handler of the type and binds it to the document (only while none is bound).
  void BindSupport();

  void m_BaseDlg_BeforeDDXExchange();
  void m_BaseDlg_OnDDXExchange(bool to_doc, bool cancel);
  void m_BaseDlg_OnWriteRecord();
  void m_oDocSpec_OnDelete(const host::NamedValueListPtr& row, bool& allowed);
  void m_oDocSpec_BeforeShowGoodLookUp(host::GoodLookUp& lookup);
  void m_btSetPrice_Click();
  void m_btSetPriceOff_Click();
  void m_btLotProperty_Click();
  void m_btUsePrint_Click();

  std::string m_DocType;
  std::shared_ptr<host::DocDialogBase> m_BaseClass;
  std::shared_ptr<host::DocSpecFrame> m_FrmDSpec;
  std::shared_ptr<host::IDialogForm> m_Form;
  host::THDocumentPtr m_Doc;
  std::shared_ptr<host::SystemDialog> m_BaseDlg;
  std::shared_ptr<host::DocSpec> m_oDocSpec;
  host::Control* m_StoreCombo = nullptr;
  std::shared_ptr<engine::IMDocSupport> m_MDocSupport;
  std::shared_ptr<engine::IMMatDocSupport> m_MatSupport;
  std::shared_ptr<host::ITHDoc> m_ThDoc;
  std::shared_ptr<host::SpecCalculator> m_SpecCalculator;
  std::shared_ptr<host::GoodPropertyMenu> m_Menu;
  std::shared_ptr<host::ControlList> m_ControlList;
  bool m_CheckAll = false;
  int32_t m_LookUpState = 0;
  int32_t m_ChangeCount = 0;
  bool m_ShowChangeState = false;
  std::vector<Connection> connections_;
  DispatchTable table_;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_IWCTRL_SYSTEM_DIALOG_H_
