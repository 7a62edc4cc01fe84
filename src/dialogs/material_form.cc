#include "dialogs/material_form.h"

#include "core/convert.h"
#include "core/operators.h"
#include "core/text.h"
#include "dialogs/iwctrl_system_dialog.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/ui/control_list.h"
#include "host/ui/doc_spec.h"
#include "host/ui/doc_spec_frame.h"
#include "host/ui/system_dialog.h"

namespace qts::dialogs {

MaterialForm::MaterialForm(std::string name, std::string caption)
    : form_(std::make_shared<host::Form>(std::move(name), std::move(caption))) {}

MaterialForm::~MaterialForm() = default;

host::Control& MaterialForm::Add(std::string name, host::ControlType type, std::string caption,
                                 std::string table) {
  host::Control& control = form_->Add(std::move(name), type, std::move(caption));
  if (!table.empty()) control.SetProperty("TableName", Variant(std::move(table)));
  return control;
}

void MaterialForm::SetLayout(int32_t code, std::initializer_list<const char*> controls) {
  for (const char* name : controls) layout_[name] = code;
}

void MaterialForm::AddStockHeader() {
  using host::ControlType;
  Add("lblNr", ControlType::kLabel, "Nr. :");
  Add("edNumb", ControlType::kTextBox, "Dokumento Nr.");
  Add("lblData", ControlType::kLabel, "Data :");
  Add("edDate", ControlType::kDatePicker, "Data");
  Add("lblDarbot", ControlType::kLabel, "Padalinys :");
  Add("cbDepartment", ControlType::kCombo, "Padalinys", "REFDepartment");
  Add("lblSandelis", ControlType::kLabel, "Sandėlis :");
  Add("cbStore", ControlType::kCombo, "Sandėlis", "STStore");
  Add("edName", ControlType::kTextBox, "Pavadinimas");
}

void MaterialForm::AddStockFooter() {
  using host::ControlType;
  Add("lblSuma", ControlType::kLabel, "Suma :");
  Add("edSum", ControlType::kNumberBox, "Suma");
  Add("chIsClosed", ControlType::kCheckBox, "Uždarytas");
  Add("chCarry", ControlType::kCheckBox, "Patvirtinti išsaugant");
  Add("btCreateCopy", ControlType::kButton, "Kopijuoti eilutes");
  Add("btUsePrint", ControlType::kButton, "Spausdinti");
  Add("btCopy", ControlType::kButton, "Kopija");
  Add("btOk", ControlType::kButton, "Gerai");
  Add("btCancel", ControlType::kButton, "Atšaukti");
  Add("btApply", ControlType::kButton, "Išsaugoti");
  SetLayout(9, {"btCreateCopy", "btUsePrint"});
  SetLayout(12, {"chIsClosed", "btOk", "btCancel", "btApply", "btCopy", "chCarry"});
}

void MaterialForm::Attach(const std::shared_ptr<host::SystemDialog>& base) {
  mBaseDlg = base;
  m_Doc = base->Doc();
  connections_.push_back(
      base->Resizer().GetLayout.Connect([this](host::Control& control, int32_t& code) {
        auto it = layout_.find(control.Name());
        if (it != layout_.end()) code = it->second;
      }));
}

bool MaterialForm::IsPosted() const {
  const Variant& posted = m_Doc->Fields().Item("IsPosted").Value();
  return !posted.IsNull() && !posted.IsEmpty() && IsTrue(Ne(posted, Variant(int32_t{0})));
}

void MaterialForm::StartDocument(std::string_view doc_type,
                                 std::span<const int32_t> control_codes) {
  auto self = std::dynamic_pointer_cast<host::IDialogForm>(shared_from_this());
  m_Spec = std::make_shared<host::DocSpec>();
  m_Spec->Init(self, m_Doc->Application());
  m_Controller = std::make_shared<CIWCtrl_SystemDialog>();
  for (int32_t code : control_codes) m_Controller->ControlList()->Add(code);
  m_Controller->Init(std::string(doc_type), self, mBaseDlg, m_Doc, "", "IsPosted", m_Spec, true, 1);
  m_Controller->FrmDSpec()->SetCopyButton(Item("btCreateCopy"));
  m_Doc->Fields().Item("DocTypeCode").SetValue(Variant(std::string(doc_type)));
  m_Doc->InitNew();

  host::SystemDialog& d = *mBaseDlg;
  d.BindField(Item("edNumb"), "Number", "IsPosted");
  d.BindField(Item("edName"), "Name", "");
  d.BindField(Item("edDate"), "DocumentDate", "IsPosted");
  d.BindField(Item("edSum"), "Summa", "");
  d.BindField(Item("chIsClosed"), "IsClosed", "");
  d.BindField(Item("cbDepartment"), "Department", "IsPosted");
  d.BindField(Item("cbStore"), "StoreCode", "IsPosted");
}

void MaterialForm::Release() {
  connections_.clear();
  mBaseDlg.reset();
  m_Spec.reset();
  if (m_Controller) {
    m_Controller->Terminate();
    m_Controller.reset();
  }
}

Variant MaterialForm::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  if (kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod) {
    if (EqualsIgnoreCase(name, "Get_oDoc")) {
      if (!m_Doc) return Variant::Nothing();
      if (args.empty()) return Variant(std::static_pointer_cast<Object>(m_Doc));
      return m_Doc->Fields().Item(CStr(args[0])).Value();
    }
    if (EqualsIgnoreCase(name, "Get_SpecList")) {
      return m_Spec ? Variant(std::static_pointer_cast<Object>(m_Spec)) : Variant::Nothing();
    }
    if (EqualsIgnoreCase(name, "BaseDialog")) {
      return mBaseDlg ? Variant(std::static_pointer_cast<Object>(mBaseDlg)) : Variant::Nothing();
    }
    if (EqualsIgnoreCase(name, "DocType")) return Variant(DocType());
  }
  return form_->Invoke(name, kind, args);
}

bool MaterialForm::HasMember(std::string_view name) const {
  for (std::string_view member : {"Get_oDoc", "Get_SpecList", "BaseDialog", "DocType"}) {
    if (EqualsIgnoreCase(name, member)) return true;
  }
  return form_->HasMember(name);
}

}  // namespace qts::dialogs
