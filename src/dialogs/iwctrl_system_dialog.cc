#include "dialogs/iwctrl_system_dialog.h"

#include "core/convert.h"
#include "core/operators.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "handlers/finish_good_in.h"
#include "handlers/item_write_off.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/report/print_forms.h"
#include "host/services/message_table.h"
#include "host/ui/busy_indicator.h"
#include "host/ui/control_list.h"
#include "host/ui/dialog_form.h"
#include "host/ui/dialog_menus.h"
#include "host/ui/doc_dialog_base.h"
#include "host/ui/doc_spec.h"
#include "host/ui/doc_spec_frame.h"
#include "host/ui/message_box.h"
#include "host/ui/spec_calculator.h"
#include "host/ui/system_dialog.h"

namespace qts::dialogs {

namespace {

bool IsWriteOff(std::string_view type) { return type == "MMO" || type == "MKO"; }

bool IsSet(const Variant& value) {
  return !value.IsNull() && !value.IsEmpty() && !value.IsObject() &&
         IsTrue(Ne(value, Variant(int32_t{0})));
}

}  // namespace

CIWCtrl_SystemDialog::CIWCtrl_SystemDialog()
    : m_ControlList(std::make_shared<host::ControlList>()) {
  using K = InvokeKind;
  table_
      .Add("ThDoc", K::kPropertyGet,
           [this](std::vector<Variant>&) {
             return m_ThDoc ? Variant(std::static_pointer_cast<Object>(m_ThDoc))
                            : Variant::Nothing();
           })
      .Add("BaseClass", K::kPropertyGet,
           [this](std::vector<Variant>&) {
             return m_BaseClass ? Variant(std::static_pointer_cast<Object>(m_BaseClass))
                                : Variant::Nothing();
           })
      .Add("CheckAll", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(m_CheckAll); })
      .Add("DocTypeCode", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(m_DocType); });
}

CIWCtrl_SystemDialog::~CIWCtrl_SystemDialog() { Terminate(); }

Variant CIWCtrl_SystemDialog::Invoke(std::string_view name, InvokeKind kind,
                                     std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

bool CIWCtrl_SystemDialog::HasMember(std::string_view name) const { return table_.HasMember(name); }

bool CIWCtrl_SystemDialog::Has(int32_t code) const { return m_ControlList->Exists(code); }

host::Control& CIWCtrl_SystemDialog::FormControl(std::string_view name) const {
  return m_Form->Controls().Item(name);
}

void CIWCtrl_SystemDialog::Init(std::string_view DocTypeCode,
                                const std::shared_ptr<host::IDialogForm>& form,
                                const std::shared_ptr<host::SystemDialog>& base_dialog,
                                const host::THDocumentPtr& doc, std::string_view text,
                                std::string_view lock_field,
                                const std::shared_ptr<host::DocSpec>& spec, bool sum_flag,
                                int32_t mode) {
  m_DocType = std::string(DocTypeCode);
  if (!m_ControlList->IsLoaded()) m_ControlList->LoadForDocType(m_DocType);

  m_BaseClass = std::make_shared<host::DocDialogBase>();
  m_BaseClass->Init(m_DocType, form, base_dialog, doc, text, lock_field, spec, sum_flag, mode,
                    m_ControlList);
  if (spec) {
    m_FrmDSpec = std::make_shared<host::DocSpecFrame>();
    m_FrmDSpec->Init(m_BaseClass, spec, form->Controls().Item("SpecGrid"), true);
    if (sum_flag) {
      m_FrmDSpec->SetSumControls(
          &form->Controls().Item("edSum"),
          Has(control_code::kPaidControl) ? &form->Controls().Item("chPaid") : nullptr);
    }
  }

  m_Form = form;
  m_BaseDlg = base_dialog;
  m_oDocSpec = spec;
  m_Doc = doc;
  connections_.push_back(m_BaseDlg->BeforeDDXExchange.Connect(
      [this](host::NamedValueList&, bool, Variant&) { m_BaseDlg_BeforeDDXExchange(); }));
  connections_.push_back(m_BaseDlg->OnDDXExchange.Connect(
      [this](Variant&, bool to_doc, bool& cancel) { m_BaseDlg_OnDDXExchange(to_doc, cancel); }));
  connections_.push_back(m_BaseDlg->OnWriteRecord.Connect(
      [this](Variant&, Variant&, bool&) { m_BaseDlg_OnWriteRecord(); }));
  if (m_oDocSpec) {
    connections_.push_back(
        m_oDocSpec->OnDelete.Connect([this](const host::NamedValueListPtr& row, Variant&,
                                            bool& allowed) { m_oDocSpec_OnDelete(row, allowed); }));
    connections_.push_back(m_oDocSpec->BeforeShowGoodLookUp.Connect(
        [this](host::GoodLookUp& lookup, Variant&) { m_oDocSpec_BeforeShowGoodLookUp(lookup); }));
  }

  auto connect = [this](std::string_view button, void (CIWCtrl_SystemDialog::*handler)()) {
    connections_.push_back(
        FormControl(button).Click.Connect([this, handler](host::Control&) { (this->*handler)(); }));
  };
  if (Has(control_code::kSetPrice))
    connect("btSetPrice", &CIWCtrl_SystemDialog::m_btSetPrice_Click);
  m_CheckAll = true;
  m_LookUpState = 1;
  if (Has(control_code::kStoreCombo)) m_StoreCombo = &FormControl("cbStore");
  if (Has(control_code::kLotProperty)) {
    connect("btLotProperty", &CIWCtrl_SystemDialog::m_btLotProperty_Click);
  }
  if (Has(control_code::kSetPriceOff)) {
    connect("btSetPriceOff", &CIWCtrl_SystemDialog::m_btSetPriceOff_Click);
  }
  if (!Has(control_code::kNoUsePrint) && IsWriteOff(m_DocType)) {
    connect("btUsePrint", &CIWCtrl_SystemDialog::m_btUsePrint_Click);
  }

  m_SpecCalculator = std::make_shared<host::SpecCalculator>();
  BindSupport();
  if (!m_ThDoc) {
    m_SpecCalculator->Init(m_oDocSpec, nullptr, true, true);
  } else {
    (void)m_ThDoc->CalcSpecColList();
    m_SpecCalculator->Init(m_oDocSpec, m_ThDoc, true, false);
  }
}

void CIWCtrl_SystemDialog::BindSupport() {
  if (m_MDocSupport) return;
  if (m_DocType == "MFC") {
    auto handler = std::make_shared<handlers::CFinishGoodIn>();
    m_MDocSupport = handler;
    m_ThDoc = handler;
  } else if (IsWriteOff(m_DocType)) {
    auto handler = std::make_shared<handlers::CItemWriteOff>();
    m_MDocSupport = handler;
    m_ThDoc = handler;
    m_MatSupport = handler;
  } else {
    return;
  }
  m_MDocSupport->Init(m_Doc);
  if (m_ThDoc) {
    m_ThDoc->Init(m_Doc);
    m_ThDoc->SetDefaultBoper(m_BaseClass->BOperCode());
  }
}

std::shared_ptr<host::GoodPropertyMenu> CIWCtrl_SystemDialog::GoodPropMenu() {
  if (!m_Menu) {
    BindSupport();
    if (!m_ThDoc) {
      throw Error(kErrObjectRequired, "CIWCtrl_SystemDialog::GoodPropMenu",
                  "there is no document handler for the type \"" + m_DocType + "\"");
    }
    m_Menu = std::make_shared<host::GoodPropertyMenu>();
  }
  m_Menu->Init(m_BaseDlg, m_ThDoc, m_oDocSpec);
  return m_Menu;
}

void CIWCtrl_SystemDialog::ReadFromFormToDoc() { m_BaseClass->ReadFromFormToDoc(); }

bool CIWCtrl_SystemDialog::CopyDoc() { return m_BaseClass->CopyDoc(); }

void CIWCtrl_SystemDialog::ModeInsertNewDoc(const Variant& a, const Variant& b) {
  m_BaseClass->ModeInsertNewDoc(a, b);
}

bool CIWCtrl_SystemDialog::DDXShowChangeState() { return m_BaseClass->DDXShowChangeState(); }

void CIWCtrl_SystemDialog::ReadFromDocToForm(const Variant& a) {
  m_BaseClass->ReadFromDocToForm(a);
}

bool CIWCtrl_SystemDialog::NotMoved() { return m_FrmDSpec && m_FrmDSpec->NotMoved(); }

// ---- Handlers ----

void CIWCtrl_SystemDialog::m_BaseDlg_BeforeDDXExchange() {
  m_ChangeCount = m_BaseClass->ChangeCount();
  m_ShowChangeState = m_BaseClass->DDXShowChangeState();
}

void CIWCtrl_SystemDialog::m_BaseDlg_OnDDXExchange(bool to_doc, bool cancel) {
  if (cancel) return;
  try {
    host::BusyIndicator busy;
    if (!to_doc && m_ChangeCount > 0) m_BaseDlg->Refresh();
    m_ChangeCount = 0;
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_BaseDlg_OnWriteRecord() {
  try {
    if (Has(control_code::kSpecInsert)) {
      FormControl("btSpecInsert").SetProperty("Enabled", Variant(true));
    }
    if (!IsSet(m_Doc->Fields().Item("IsPosted").Value()) && IsSet(FormControl("chCarry").Value())) {
      m_BaseClass->PostDoc(true);
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_oDocSpec_OnDelete(const host::NamedValueListPtr& row, bool& allowed) {
  try {
    BindSupport();
    if (m_MDocSupport) allowed = allowed && m_MDocSupport->CheckOnSpecDelete(row);
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_oDocSpec_BeforeShowGoodLookUp(host::GoodLookUp& lookup) {
  try {
    if (!m_StoreCombo) return;
    const std::string code = CStr(m_StoreCombo->Value());
    if (m_LookUpState == 1 || (m_LookUpState == 2 && code != lookup.StoreCode())) {
      lookup.SetStoreCode(code);
      m_LookUpState = 2;
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_btSetPrice_Click() {
  try {
    {
      host::BusyIndicator busy;
      (void)m_BaseDlg->FormToDoc();
      BindSupport();
      if (m_MatSupport) {
        m_MatSupport->SetPriceByStOrder();
        m_BaseDlg->CountChange();
      }
      if (m_oDocSpec) m_oDocSpec->Reload();
      m_BaseDlg->DocToForm(Variant(int32_t{0}));
    }
    host::MessageBox::Show(kMsgPricesSet, frame::MessageText(kMsgPricesSet));
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_btSetPriceOff_Click() {
  try {
    {
      host::BusyIndicator busy;
      if (!m_BaseDlg->FormToDoc()) return;
      if (m_MatSupport) {
        m_MatSupport->SetPriceWriteOff();
        m_BaseDlg->CountChange();
        if (m_oDocSpec) m_oDocSpec->Reload();
        m_BaseDlg->DocToForm(Variant(int32_t{0}));
      }
    }
    host::MessageBox::Show(kMsgPricesSet, frame::MessageText(kMsgPricesSet));
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_btLotProperty_Click() {
  try {
    if (Has(control_code::kGoodPropertyMenu) && m_BaseDlg->FormToDoc()) {
      GoodPropMenu()->PopupAt(FormControl("btLotProperty"));
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::m_btUsePrint_Click() {
  try {
    if (!m_BaseClass->SaveBeforeAction(false)) return;
    host::BusyIndicator busy;
    std::shared_ptr<host::ReportRunner> report = m_BaseClass->PrintForms(m_DocType, false);
    if (!report) return;
    report->AddParam("FormObject", Variant(std::static_pointer_cast<Object>(m_Form)));
    report->AddParam("oMWControl", Variant(shared_from_this()));
    report->Run(m_Doc->Application());
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void CIWCtrl_SystemDialog::Terminate() {
  if (m_FrmDSpec) {
    m_FrmDSpec->Terminate();
    m_FrmDSpec.reset();
  }
  if (m_BaseClass) {
    m_BaseClass->Terminate();
    m_BaseClass.reset();
  }
  connections_.clear();
  m_Menu.reset();
  m_SpecCalculator.reset();
  m_Form.reset();
  m_Doc.reset();
  m_BaseDlg.reset();
  m_oDocSpec.reset();
  m_MDocSupport.reset();
  m_MatSupport.reset();
  m_ThDoc.reset();
  m_StoreCombo = nullptr;
}

}  // namespace qts::dialogs
