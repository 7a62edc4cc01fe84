#include "reports/rep_mfc.h"

#include <memory>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "frame/catalogue.h"
#include "frame/define_module.h"
#include "frame/module_functions.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"
#include "host/documents/th_document.h"
#include "host/report/report_engine.h"
#include "host/services/date_tools.h"
#include "host/services/doc_spec_service.h"
#include "host/services/document_service.h"
#include "host/services/enterprise_info.h"
#include "host/services/person_info.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kRegistrar("CRepMFC", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepMFC>());
});

constexpr int32_t kMsgReceiptActTitle = 1080;

// The person holding `role` on the document, as the act prints a person: position, first and
// last name, joined by single spaces with empty parts left out ("" when nobody holds it).
std::string PersonLine(host::DocumentService& service, host::PersonInfo& person,
                       std::string_view role) {
  if (!person.Load(service.PersonOfRole(role, host::kPartyPerson))) return "";
  return frame::JoinNonEmpty("", person.Position(), person.FirstName(), "", person.LastName());
}

// A unit (department or store) of the enterprise as "<code><separator><name>".
std::string UnitLine(host::EnterpriseInfo& enterprise, const Variant& code,
                     std::string_view separator) {
  (void)enterprise.LoadUnit(ValueText(code));
  return enterprise.UnitCode() + std::string(separator) + enterprise.UnitName();
}

}  // namespace

CRepMFC::CRepMFC() : ReportBase(PropertyKeeping::kIgnored, ErrorNumbering::kAsRaised) {}

bool CRepMFC::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  if (!Params || !Params->ExistsField("oDoc")) return false;
  const Variant held = Params->Item("oDoc").Value();
  auto doc =
      held.IsObject() ? std::dynamic_pointer_cast<host::THDocument>(held.AsObject()) : nullptr;
  if (!doc) throw Error(kErrTypeMismatch, "CRepMFC", "\"oDoc\" does not hold a document");
  host::AppContextPtr book = doc->Application();
  if (std::shared_ptr<host::ReportApp> app = frame::SharedReportEngine()->App()) {
    if (!app->CurrentBook()) app->SetCurrentBook(book);
  }

  auto enterprise = std::make_shared<host::EnterpriseInfo>();
  auto person = std::make_shared<host::PersonInfo>();
  auto service = std::make_shared<host::DocumentService>();
  enterprise->Init(book);
  person->Init(book);
  service->Init(book, doc);
  const host::NamedValueList& fields = doc->Fields();
  host::NamedValueList& values = *Values;

  values.Add("psImone", Kind::kText, Variant(enterprise->UnitName()));
  values.Add("ReportTitle", Kind::kText, Variant(frame::MessageText(kMsgReceiptActTitle)));
  values.Add("psChechas", Kind::kText,
             Variant(UnitLine(*enterprise, fields.Item("Department").Value(), " : ")));
  values.Add("psDocNr", Kind::kText, Variant(ValueText(fields.Item("Number").Value())));
  const Variant date = fields.Item("DocumentDate").Value();
  values.Add("pdDocDate", Kind::kDate, date);
  values.Add("psMonth", Kind::kText, Variant(host::DateTools().MonthName(CDate(date))));
  values.Add("psTKSvirsininkas", Kind::kText, Variant(PersonLine(*service, *person, "CH")));
  values.Add("psStore", Kind::kText,
             Variant(UnitLine(*enterprise, fields.Item("StoreCode").Value(), ": ")));
  values.Add("psPrieme", Kind::kText, Variant(""));
  values.Add("Name", Kind::kText, Variant(ValueText(fields.Item("Name").Value())));
  values.Add("psPridave", Kind::kPersonText, Variant(PersonLine(*service, *person, "DB")));

  auto spec = std::make_shared<host::DocSpecService>();
  spec->Init(book);
  host::RecordsetPtr rows = spec->SpecList(
      CLng(fields.Item("IDC").Value()), CStr(fields.Item("DocTypeCode").Value()), "", true, false);
  values.Add("mnfc_ttx", Kind::kObject, Variant(std::static_pointer_cast<Object>(rows)));
  return true;
}

}  // namespace qts::reports
