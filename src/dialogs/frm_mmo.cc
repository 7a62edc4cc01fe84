#include "dialogs/frm_mmo.h"

#include "core/convert.h"
#include "core/operators.h"
#include "dialogs/iwctrl_system_dialog.h"
#include "dialogs/material_dlg_base.h"
#include "engine/doc_engine.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "handlers/item_write_off.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/services/national_price_setting.h"
#include "host/services/person_info.h"
#include "host/services/vehicle.h"
#include "host/ui/busy_indicator.h"
#include "host/ui/control_list.h"
#include "host/ui/dialog_menus.h"
#include "host/ui/doc_dialog_base.h"
#include "host/ui/doc_spec.h"
#include "host/ui/doc_spec_frame.h"
#include "host/ui/system_dialog.h"
#include "host/ui/user_settings.h"

namespace qts::dialogs {

namespace {

using host::ControlType;

// The control codes of the write-off form, in the order it lists them.
constexpr int32_t kControlCodes[] = {29, 22, 24, 25, 11, 12, 7, 6, 14, 38, 42, 41, 36};

// The person combos with their document fields and roles.
struct PersonCombo {
  const char* combo;
  const char* field;
  const char* role;
};
constexpr PersonCombo kPersonCombos[] = {{"cbMember_Head", "PersonHead", "KP"},
                                         {"cbMember1", "Person1", "KN1"},
                                         {"cbMember2", "Person2", "KN2"},
                                         {"cbMember3", "Person3", "KN3"},
                                         {"cbAccPerson", "PersonAA", "AA"}};

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() || value.IsObject() ? std::string() : CStr(value);
}

int32_t Long(const Variant& value) {
  return value.IsNull() || value.IsEmpty() || value.IsObject() ? 0 : CLng(value);
}

bool IsSet(const Variant& value) {
  return !value.IsNull() && !value.IsEmpty() && !value.IsObject() &&
         IsTrue(Ne(value, Variant(int32_t{0})));
}

}  // namespace

frmMMO::frmMMO() : MaterialForm("frmMMO", "Prekių nurašymas") {
  Add("STab", ControlType::kTabs, "Kortelės")
      .SetProperty("Tabs", Variant("Specifikacija|Komisija|Gamyba"));
  AddStockHeader();
  Add("lInternalOrderNr", ControlType::kLabel, "Vidinio užsakymo Nr. :");
  Add("edInternalOrderNr", ControlType::kTextBox, "Vidinio užsakymo Nr.");
  Add("edDoc", ControlType::kTextBox, "Pagrindinis dokumentas");
  Add("edProduct", ControlType::kTextBox, "Gaminys");
  Add("edTKLCode", ControlType::kTextBox, "Kelionės lapas");
  Add("cbPerson", ControlType::kCombo, "Asmuo", "REFPerson");
  Add("cbMember_Head", ControlType::kCombo, "Komisijos pirmininkas", "REFPerson");
  Add("cbMember1", ControlType::kCombo, "Komisijos narys", "REFPerson");
  Add("cbMember2", ControlType::kCombo, "Komisijos narys", "REFPerson");
  Add("cbMember3", ControlType::kCombo, "Komisijos narys", "REFPerson");
  Add("cbAccPerson", ControlType::kCombo, "Materialiai atsakingas asmuo", "REFPerson");
  Add("lblPupilGroupCode", ControlType::kLabel, "Grupė :");
  Add("edPupilGroupCode", ControlType::kTextBox, "Grupė");
  Add("SpecGrid", ControlType::kGrid, "Specifikacija");
  Add("btSpecInsert", ControlType::kButton, "Įterpti eilutę");
  Add("btSpecDelete", ControlType::kButton, "Šalinti eilutę");
  Add("btSetPrice", ControlType::kButton, "Kainos iš užsakymų");
  Add("btSetPriceOff", ControlType::kButton, "Kainos iš savikainos");
  Add("btLotProperty", ControlType::kButton, "Partijos");
  Add("btUtil", ControlType::kButton, "Ūkinė operacija");
  Add("btCrFixSpec", ControlType::kButton, "Nurašymo specifikacija");
  AddStockFooter();
  // Shown for what they say about the document; the write-off form writes none of them.
  for (const char* shown : {"edInternalOrderNr", "edDoc", "edProduct", "edTKLCode", "cbPerson"}) {
    Item(shown).SetProperty("Enabled", Variant(false));
  }

  SetLayout(5, {"STab", "cbPerson", "edName", "cbMember1", "cbMember2", "cbMember3",
                "edInternalOrderNr"});
  SetLayout(15, {"SpecGrid"});
  SetLayout(4, {"lblSuma", "edSum", "btCrFixSpec", "edTKLCode"});
  SetLayout(0,
            {"lInternalOrderNr", "lblData", "edDate", "lblNr", "edNumb", "cbStore", "cbDepartment",
             "cbAccPerson", "lblDarbot", "lblSandelis", "edDoc", "edProduct", "cbMember_Head"});
}

frmMMO::~frmMMO() = default;

bool frmMMO::Init(const std::shared_ptr<host::SystemDialog>& base) {
  Attach(base);
  host::SystemDialog& d = *base;
  connections_.push_back(
      d.BeforeLoadHandling.Connect([this](host::NamedValueList&, Variant&, bool& cancel) {
        mBaseDlg_BeforeLoadHandling(cancel);
      }));
  connections_.push_back(
      d.BeforeDDXExchange.Connect([this](host::NamedValueList&, bool to_doc, Variant&) {
        mBaseDlg_BeforeDDXExchange(to_doc);
      }));
  connections_.push_back(d.OnDDXExchange.Connect(
      [this](Variant&, bool to_doc, bool& cancel) { mBaseDlg_OnDDXExchange(to_doc, cancel); }));
  connections_.push_back(d.OnWriteRecord.Connect(
      [this](Variant&, Variant&, bool& cancel) { mBaseDlg_OnWriteRecord(cancel); }));
  return true;
}

void frmMMO::mBaseDlg_BeforeLoadHandling(bool cancel) {
  if (cancel) return;
  try {
    host::BusyIndicator busy;
    StartDocument("MMO", kControlCodes);
    auto self = std::dynamic_pointer_cast<host::IDialogForm>(shared_from_this());
    host::SystemDialog& d = *mBaseDlg;
    for (const PersonCombo& person : kPersonCombos) {
      d.BindPersonField(Item(person.combo), person.field, host::kPersonBindingKind, "IsPosted");
    }
    Hide("lblPupilGroupCode");
    Hide("edPupilGroupCode");

    if (host::NationalPriceSetting().IsOn("MMO", m_Doc->Application())) {
      m_ColumnArranger = std::make_shared<CMaterialDlgBase>();
      m_ColumnArranger->Init(m_Spec, false);
      Hide("btSetPrice");
      Hide("btSetPriceOff");
    }
    Hide("btCrFixSpec");
    Item("STab").SetTabVisible(2, false);

    m_clUtilMenu = std::make_shared<host::UtilMenu>(mBaseDlg);
    auto params = std::make_shared<host::NamedValueList>();
    params->Add("DocTypeCode", host::Kind::kText, Variant("MMO"));
    m_clUtilMenu->Init("btUtil", params, {});
    connections_.push_back(m_clUtilMenu->SetBOper.Connect(
        [this](const std::string& code) { m_clUtilMenu_SetBOper(code); }));

    m_Spec->Attach(Item("SpecGrid"), m_Doc, self, mBaseDlg, &Item("btSpecDelete"));
    m_Spec->SetKind("SC");

    m_ParentDoc = std::dynamic_pointer_cast<host::THDocument>(
        m_Doc->Application()->CreateObject("THDocument"));
    form_->SetCaption(frame::MessageText(kMsgWriteOffTitle));

    m_Persons.clear();
    for (const PersonCombo& person : kPersonCombos) {
      if (std::string(person.role) != "AA") m_Persons.emplace_back(person.field, person.combo);
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

std::string frmMMO::PersonKey(const std::string& field) const { return "MMO_" + field; }

void frmMMO::mBaseDlg_BeforeDDXExchange(bool to_doc) {
  try {
    if (to_doc) {
      m_PersonsChanged = false;
      for (const auto& [field, combo] : m_Persons) {
        host::NamedValue& entry = m_Doc->Fields().Item(field);
        const std::string code = Text(Item(combo).Value());
        if (code != Text(entry.Value())) m_PersonsChanged = true;
        entry.SetValue(code.empty() ? Variant::Null() : Variant(code));
      }
      return;
    }
    std::shared_ptr<host::ITHDoc> handler = m_Controller ? m_Controller->ThDoc() : nullptr;
    auto write_off = std::dynamic_pointer_cast<handlers::CItemWriteOff>(handler);
    if (write_off) write_off->SetLotPropID(0);
    const int32_t idc = Long(m_Doc->Fields().Item("IDC").Value());
    const int32_t parent_id = Long(m_Doc->Fields().Item("ParentID").Value());
    bool parent_loaded = parent_id != 0 && m_ParentDoc && m_ParentDoc->Load(parent_id);
    if (parent_loaded && write_off &&
        Text(m_ParentDoc->Fields().Item("DocTypeCode").Value()) == "TKL" && idc > 0) {
      if (!m_Vehicle) {
        m_Vehicle = std::make_shared<host::Vehicle>();
        m_Vehicle->Init(m_Doc->Application());
      }
      const host::NamedValue* vehicle = m_ParentDoc->AddFields().Find("VehicleCode");
      if (vehicle && m_Vehicle->Load(Text(vehicle->Value()))) {
        write_off->SetLotPropID(m_Vehicle->LotPropertyID());
      }
    }
    form_->SetCaption(frame::MessageText(kMsgWriteOffTitle));
    Item("cbStore").SetProperty("Filter", Variant(""));
    ShowParent();
    if (idc == 0 && !(m_Controller && m_Controller->CopyDoc())) {
      // A new write-off starts with the committee this user chose last time.
      host::UserSettings settings;
      host::PersonInfo person;
      person.Init(m_Doc->Application());
      for (const auto& [field, combo] : m_Persons) {
        const std::string code = Text(settings.GetFormValue(PersonKey(field), form_->Name()));
        if (!code.empty() && person.Load(code)) {
          m_Doc->Fields().Item(field).SetValue(Variant(code));
        }
      }
    }
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmMMO::ShowParent() {
  const int32_t idc = Long(m_Doc->Fields().Item("IDC").Value());
  host::THDocumentPtr parent;
  const host::NamedValueListPtr& params = mBaseDlg->UserParams();
  if (idc == 0 && params && params->ExistsField("Parent")) {
    const Variant& value = params->Item("Parent").Value();
    if (value.IsObject()) parent = std::dynamic_pointer_cast<host::THDocument>(value.AsObject());
  } else if (m_ParentDoc && Long(m_Doc->Fields().Item("ParentID").Value()) != 0 &&
             Long(m_ParentDoc->Fields().Item("IDC").Value()) ==
                 Long(m_Doc->Fields().Item("ParentID").Value())) {
    parent = m_ParentDoc;
  }
  Item("edDoc").SetValue(Variant(""));
  Item("edTKLCode").SetValue(Variant(""));
  if (!parent) return;
  const std::string type = Text(parent->Fields().Item("DocTypeCode").Value());
  const std::string code = Text(parent->Fields().Item("Code").Value());
  const std::string title = frame::MessageText(kMsgWriteOffTitle);
  Item("edDoc").SetValue(Variant(type + " " + Text(parent->Fields().Item("Number").Value())));
  const host::SqlTools& sql = *host::SqlTools::Instance();
  if (type == "TKL") {
    Item("edTKLCode").SetValue(Variant(code));
    host::QueryPtr store = m_Doc->Application()->CreateQuery("STStore");
    store->AddWhere(sql.Condition(store->Fields().Item("Code"), host::kOpEqual,
                                  m_Doc->Fields().Item("StoreCode").Value()));
    store->Fields().KeepOnly({"StoreKind"});
    store->Open();
    const std::string kind = store->Eof() ? "" : Text(store->Fields().Item("StoreKind").Value());
    const bool excluded = params && params->ExistsField("ExclFuelStoreType");
    if (kind == "ABKR" || (idc == 0 && !excluded)) {
      form_->SetCaption(title + ". " + frame::MessageText(kMsgFuelByWaybill) + " " + code);
      Item("cbStore").SetProperty(
          "Filter", Variant(sql.ColumnCondition("StoreKind", host::Kind::kText, host::kOpEqual,
                                                Variant("ABKR"))));
    } else {
      form_->SetCaption(title + ". " + frame::MessageText(kMsgMaterialsByWaybill) + " " + code);
      Item("cbStore").SetProperty(
          "Filter", Variant(sql.ColumnCondition("COALESCE(StoreKind,'')", host::Kind::kText,
                                                host::kOpNotEqual, Variant("ABKR"))));
    }
  } else if (type == "ITR") {
    form_->SetCaption(title + ". " +
                      frame::FormatMsg(frame::MessageText(kMsgByParent), {Variant(code)}));
  }
}

void frmMMO::mBaseDlg_OnDDXExchange(bool to_doc, bool cancel) {
  if (cancel || !m_Controller) return;
  try {
    host::BusyIndicator busy;
    if (to_doc) {
      m_Controller->ReadFromFormToDoc();
      if (m_PersonsChanged) {
        host::UserSettings settings;
        for (const auto& [field, combo] : m_Persons) {
          settings.SaveFormValue(PersonKey(field), form_->Name(), Item(combo).Value());
        }
      }
      return;
    }
    const int32_t idc = Long(m_Doc->Fields().Item("IDC").Value());
    if (idc == 0 && !m_Controller->CopyDoc()) {
      m_Controller->ModeInsertNewDoc(Variant(int32_t{0}), Variant(int32_t{0}));
      const host::NamedValueListPtr& params = mBaseDlg->UserParams();
      if (params && params->ExistsField("Parent") && params->Item("Parent").Value().IsObject()) {
        auto parent =
            std::dynamic_pointer_cast<host::THDocument>(params->Item("Parent").Value().AsObject());
        if (parent) {
          m_Doc->Fields().Item("ParentID").SetValue(parent->Fields().Item("IDC").Value());
          mBaseDlg->ShowCode(Item("cbDepartment"), parent->Fields().Item("Department").Value());
          mBaseDlg->Refresh();
        }
      }
    } else if (!m_Controller->DDXShowChangeState()) {
      m_Controller->ReadFromDocToForm(Variant(int32_t{0}));
      for (const PersonCombo& person : kPersonCombos) {
        m_Controller->BaseClass()->ReadPerson(Item(person.combo), person.field, person.role);
      }
    }
    UpdatePriceButtons();
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmMMO::UpdatePriceButtons() {
  const bool enabled =
      Long(m_Doc->Fields().Item("IsPosted").Value()) == 1 || IsSet(Item("chCarry").Value());
  Item("btSetPrice").SetProperty("Enabled", Variant(enabled));
  Item("btSetPriceOff").SetProperty("Enabled", Variant(enabled));
}

bool frmMMO::Check(std::string& message) {
  if (Item("edDate").Value().IsNull()) {
    message = frame::MessageText(kMsgNoDate);
    return false;
  }
  if (Text(Item("edNumb").Value()).empty()) {
    message = frame::MessageText(kMsgNoNumber);
    return false;
  }
  if (Text(Item("cbDepartment").Value()).empty()) {
    message = frame::MessageText(kMsgNoDepartment);
    return false;
  }
  return true;
}

void frmMMO::mBaseDlg_OnWriteRecord(bool cancel) {
  if (cancel || IsPosted() || !m_Controller) return;
  try {
    host::BusyIndicator busy;
    for (const PersonCombo& person : kPersonCombos) {
      m_Controller->BaseClass()->WritePerson(Item(person.combo).Value(), person.role);
    }
    UpdatePriceButtons();
  } catch (...) {
    frame::ShowCurrentError();
  }
}

std::vector<std::string> frmMMO::HideColumnList() {
  std::vector<std::string> hidden = {"Summa",        "PriceNational", "IsGoodClosed",
                                     "IsTranClosed", "IsPayClosed",   "IsFixed"};
  const host::NamedValue* fix =
      m_Doc ? m_Doc->Application()->Settings().Find("IsMakeFixDoc") : nullptr;
  if (fix && IsSet(fix->Value())) hidden.push_back("AddFld.WriteOffPrice");
  return hidden;
}

void frmMMO::m_clUtilMenu_SetBOper(const std::string& code) {
  try {
    if (!m_BOperSupport) {
      m_BOperSupport = std::make_shared<engine::CMDocSupport>();
      m_BOperSupport->Init("MMO", m_Controller->ThDoc(), m_Doc);
    }
    if (!m_Spec->CurrentPos()) {
      throw Error(host::kErrDialogInput, "btUtil",
                  "no row is chosen for the business operation: choose one first (row POS)");
    }
    host::THGoodSpec& rows = *m_BOperSupport->DocSpec();
    if (!rows.MoveToKey(Long(m_Doc->Fields().Item("IDC").Value()), *m_Spec->CurrentPos())) {
      throw Error(host::kErrDialogInput, "btUtil", "the chosen row is gone");
    }
    rows.Fields().Item("BOperCode").SetValue(Variant(code));
    rows.UpdateByID(Long(rows.Fields().Item("IDC").Value()));
    mBaseDlg->CountChange();
    m_Spec->Reload();
  } catch (...) {
    frame::ShowCurrentError();
  }
}

void frmMMO::Form_Unload() {
  if (m_clUtilMenu) {
    m_clUtilMenu->Terminate();
    m_clUtilMenu.reset();
  }
  if (m_ColumnArranger) {
    m_ColumnArranger->Terminate();
    m_ColumnArranger.reset();
  }
  m_BOperSupport.reset();
  m_ParentDoc.reset();
  Release();
}

}  // namespace qts::dialogs
