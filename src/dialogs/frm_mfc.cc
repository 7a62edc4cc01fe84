#include "dialogs/frm_mfc.h"

#include "core/convert.h"
#include "dialogs/iwctrl_system_dialog.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/report/print_forms.h"
#include "host/ui/busy_indicator.h"
#include "host/ui/control_list.h"
#include "host/ui/doc_spec.h"
#include "host/ui/doc_spec_frame.h"
#include "host/ui/system_dialog.h"

namespace qts::dialogs {

namespace {

using host::ControlType;

// The control codes of the receipt form, in the order it lists them.
constexpr int32_t kControlCodes[] = {29, 22, 24, 25, 7, 6, 14, 42, 41, 38, 36};

// The receipt's act among the host's print forms.
constexpr const char* kReceiptReport = "R_MFC";

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() || value.IsObject() ? std::string() : CStr(value);
}

}  // namespace

frmMFC::frmMFC() : MaterialForm("frmMFC", "Pagamintos produkcijos priėmimas") {
  AddStockHeader();
  Add("lblGaminis", ControlType::kLabel, "Gaminys :");
  Add("edSpDuty", ControlType::kTextBox, "Gaminys");
  Add("cbPerson", ControlType::kCombo, "Gavėjas", "REFPerson");
  Add("cbKontrolerius", ControlType::kCombo, "Kontrolierius", "REFPerson");
  Add("lDoc", ControlType::kLabel, "Užsakymas :");
  Add("edDoc", ControlType::kTextBox, "Užsakymas");
  Add("btClearDoc", ControlType::kButton, "Išvalyti užsakymą");
  Add("SpecGrid", ControlType::kGrid, "Specifikacija");
  Add("btSpecDelete", ControlType::kButton, "Šalinti eilutę");
  Add("btLotProperty", ControlType::kButton, "Partijos");
  Add("btCalcPrice", ControlType::kButton, "Skaičiuoti kainas");
  Add("btTransDoc", ControlType::kButton, "Perkelti");
  AddStockFooter();
  // The product line is shown for what it says; the receipt form writes nothing from it.
  Item("edSpDuty").SetProperty("Enabled", Variant(false));
  Item("edDoc").SetProperty("Enabled", Variant(false));

  SetLayout(15, {"SpecGrid"});
  SetLayout(0, {"lblData", "edDate", "lblNr", "edNumb", "lblGaminis", "edSpDuty", "lblDarbot",
                "lblSandelis", "edName", "cbKontrolerius", "cbDepartment"});
  SetLayout(5, {"cbPerson", "cbStore"});
  SetLayout(4, {"lblSuma", "edSum", "edDoc", "lDoc", "btClearDoc"});
}

frmMFC::~frmMFC() = default;

bool frmMFC::Init(const std::shared_ptr<host::SystemDialog>& base) {
  Attach(base);
  host::SystemDialog& d = *base;
  connections_.push_back(
      d.BeforeLoadHandling.Connect([this](host::NamedValueList&, Variant&, bool& cancel) {
        mBaseDlg_BeforeLoadHandling(cancel);
      }));
  connections_.push_back(d.OnDDXExchange.Connect(
      [this](Variant&, bool to_doc, bool& cancel) { mBaseDlg_OnDDXExchange(to_doc, cancel); }));
  connections_.push_back(
      Item("btUsePrint").Click.Connect([this](host::Control&) { btUsePrint_Click(); }));
  return true;
}

void frmMFC::mBaseDlg_BeforeLoadHandling(bool cancel) {
  if (cancel) return;
  try {
    host::BusyIndicator busy;
    StartDocument("MFC", kControlCodes);
    auto self = std::dynamic_pointer_cast<host::IDialogForm>(shared_from_this());
    host::SystemDialog& d = *mBaseDlg;
    d.BindPersonField(Item("cbPerson"), "Gavejas", host::kPersonBindingKind, "IsPosted");
    d.BindPersonField(Item("cbKontrolerius"), "Kontrolerius", host::kPersonBindingKind, "IsPosted");
    m_Roles = {m_Controller->BaseClass()->RegisterPersonRole(Item("cbPerson"), "Gavejas", "DB"),
               m_Controller->BaseClass()->RegisterPersonRole(Item("cbKontrolerius"), "Kontrolerius",
                                                             "CH")};
    m_Spec->Attach(Item("SpecGrid"), m_Doc, self, mBaseDlg, &Item("btSpecDelete"));
    m_Spec->SetKind("SC");
    for (const char* hidden : {"lDoc", "edDoc", "btClearDoc", "btCalcPrice", "btTransDoc"}) {
      Hide(hidden);
    }
    SetFormInterface();
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmMFC::mBaseDlg_OnDDXExchange(bool to_doc, bool cancel) {
  if (cancel || !m_Controller) return;
  try {
    if (to_doc) {
      m_Controller->ReadFromFormToDoc();
      return;
    }
    const Variant& idc = m_Doc->Fields().Item("IDC").Value();
    if ((idc.IsNull() || CLng(idc) == 0) && !m_Controller->CopyDoc()) {
      m_Controller->ModeInsertNewDoc(Variant(int32_t{0}), Variant(int32_t{0}));
    } else if (!m_Controller->DDXShowChangeState()) {
      m_Controller->ReadFromDocToForm(Variant(int32_t{0}));
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

bool frmMFC::Check(std::string& message) {
  if (Item("edDate").Value().IsNull()) {
    message = frame::MessageText(kMsgNoDate);
  } else if (Text(Item("edNumb").Value()).empty()) {
    message = frame::MessageText(kMsgNoNumber);
  } else if (Text(Item("cbStore").Value()).empty()) {
    message = frame::MessageText(kMsgNoStore);
  } else if (Text(Item("cbDepartment").Value()).empty()) {
    message = frame::MessageText(kMsgNoDepartment);
  } else {
    return true;
  }
  return false;
}

void frmMFC::SetFormInterface() {
  if (!m_Spec) return;
  if (host::DocSpecColumn* column = m_Spec->Column("GoodCode")) {
    column->SetCaption(frame::MessageText(kMsgProduct));
  }
}

void frmMFC::ClearFormFields() {
  if (m_Doc) m_Doc->Fields().Item("Code").SetValue(Variant::Null());
  Item("edDoc").SetValue(Variant(""));
}

std::vector<std::string> frmMFC::HideColumnList() {
  return {"AlgebraicSum", "PriceNational", "IsGoodClosed",
          "IsTranClosed", "IsPayClosed",   "CostSumm"};
}

std::vector<std::string> frmMFC::OrderColumnList() {
  return {"PosNumb",       "GoodCode", "Name",  "Amount",   "UnitCode",
          "AmountAccount", "Price",    "Summa", "BOperCode"};
}

void frmMFC::btUsePrint_Click() {
  try {
    if (!m_Controller || !m_Controller->BaseClass()->SaveBeforeAction(false)) return;
    host::BusyIndicator busy;
    auto runner = std::make_shared<host::ReportRunner>();
    runner->Load(kReceiptReport);
    runner->AddParam("oDoc", Variant(std::static_pointer_cast<Object>(m_Doc)));
    runner->Run(m_Doc->Application());
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmMFC::Form_Unload() {
  m_Roles.clear();
  Release();
}

}  // namespace qts::dialogs
