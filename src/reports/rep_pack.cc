#include "reports/rep_pack.h"

#include "core/convert.h"
#include "core/date.h"
#include "dialogs/frm_pack.h"
#include "frame/catalogue.h"
#include "host/data/app_context.h"
#include "host/data/recordset.h"
#include "host/documents/th_document.h"
#include "host/services/enterprise_info.h"
#include "host/services/person_info.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kRegistrar("CRepPACK", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepPACK>());
});

}  // namespace

// --- frmRepPack ---

frmRepPack::frmRepPack() : ParamForm("frmRepPack", "#30800") {}

void frmRepPack::BuildControls(host::Form& form) {
  form.Add("edRepDate", host::ControlType::kDatePicker, "Metai : ", "#30816")
      .SetValue(Variant(Date::Today()));
  form.Add("cbPerson", host::ControlType::kCombo, "Ataskaitos rengėjas : ", "#30817")
      .SetProperty("TableName", Variant("REFPerson"));
}

void frmRepPack::m_oForm_BeforeShow(bool& /*cancel*/) {
  if (year_in_ != 0) {
    CurrentForm().Item("edRepDate").SetValue(Variant(Date::FromYmd(year_in_, 1, 1)));
  }
}

void frmRepPack::WriteValues(host::NamedValueList& /*values*/) {
  year_out_ = PickedDate(CurrentForm(), "edRepDate").Year();
  person_ = ValueText(CurrentForm().Item("cbPerson").Value());
}

bool frmRepPack::Run(host::AppContextPtr& book, int32_t& year, std::string& person) {
  year_in_ = year;
  auto scratch = std::make_shared<host::NamedValueList>();
  if (!ParamForm::Run(book, scratch)) return false;
  year = year_out_;
  person = person_;
  return true;
}

// --- CRepPACK ---

CRepPACK::CRepPACK() : ReportBase(PropertyKeeping::kIgnored, ErrorNumbering::kAsRaised) {}

bool CRepPACK::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  int32_t year = 0;
  int32_t doc_id = 0;
  m_Book.reset();
  if (Params && Params->ExistsField("FormObject")) {
    auto form =
        std::dynamic_pointer_cast<dialogs::frmPACK>(Params->Item("FormObject").Value().AsObject());
    if (!form || !form->Get_oDoc()) {
      throw Error(kErrComponent, "CRepPACK", "FormObject is no open packaging declaration");
    }
    const host::THDocumentPtr& doc = form->Get_oDoc();
    m_Book = doc->Application();
    const Variant& begin = doc->Fields().Item("CommingInForceDate").Value();
    year = begin.IsNull() || begin.IsEmpty() ? 0 : CDate(begin).Year();
    doc_id = CLng(doc->Fields().Item("IDC").Value());
  }
  if (!m_Book) m_Book = ResolveBook(Params);

  std::string person;
  frmRepPack form;
  if (!form.Run(m_Book, year, person)) return false;

  host::EnterpriseInfo enterprise;
  enterprise.Init(m_Book);
  host::PersonInfo people;
  people.Init(m_Book);
  host::NamedValueList& v = *Values;
  v.Add("RepDate", Kind::kDate, Variant(Date::Today()));
  v.Add("RepYear", Kind::kRowId, Variant(year));
  v.Add("EntName", Kind::kText, Variant(enterprise.UnitName()));
  v.Add("EntCode", Kind::kText, Variant(enterprise.PlantCode()));
  v.Add("EntPVMCode", Kind::kText, Variant(enterprise.VatCode()));
  v.Add("EntAddress", Kind::kText, Variant(enterprise.Contacts()->AddressText()));
  v.Add("EntPhone", Kind::kText, Variant(enterprise.Contacts()->Phone()));
  v.Add("EntFax", Kind::kText, Variant(enterprise.Contacts()->Fax()));
  v.Add("EntMail", Kind::kText, Variant(enterprise.Contacts()->Email()));
  people.Load(enterprise.DirectorCode());
  v.Add("DirPos", Kind::kText, Variant(people.Position()));
  v.Add("DirFName", Kind::kText, Variant(people.FirstName()));
  v.Add("DirLName", Kind::kText, Variant(people.LastName()));
  // A preparer the catalogue lacks (or none chosen) leaves the person's texts empty.
  people.Load(person);
  v.Add("PerPos", Kind::kText, Variant(people.Position()));
  v.Add("PerFName", Kind::kText, Variant(people.FirstName()));
  v.Add("PerLName", Kind::kText, Variant(people.LastName()));

  auto tables = std::make_shared<dialogs::frmPACK>();
  tables->InitBook(m_Book);
  v.Add("TableA", Kind::kObject,
        Variant(std::static_pointer_cast<Object>(tables->DataList4ReportA(year, doc_id))));
  v.Add("TableB", Kind::kObject,
        Variant(std::static_pointer_cast<Object>(tables->DataList4ReportB(year, doc_id))));
  return true;
}

}  // namespace qts::reports
