#include "reports/rep_write_off.h"

#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/operators.h"
#include "frame/catalogue.h"
#include "frame/module_functions.h"
#include "host/data/named_value_list.h"
#include "host/services/date_tools.h"
#include "host/services/enterprise_info.h"
#include "host/services/person_info.h"
#include "reports/late_bound.h"
#include "reports/report_values.h"

namespace qts::reports {

using host::Kind;

namespace {

const frame::ClassRegistrar kWriteOff("CRepWriteOff", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepWriteOff>());
});
const frame::ClassRegistrar kWriteOffAR("CRepWriteOffAR", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepWriteOffAR>());
});
const frame::ClassRegistrar kWriteOffCalc("CRepWriteOffCalc", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CRepWriteOffCalc>());
});

// The committee combos and the digit of the values each one fills.
constexpr std::pair<const char*, int> kCommittee[] = {
    {"cbMember_Head", 1}, {"cbMember1", 2}, {"cbMember2", 3}, {"cbMember3", 4}};

// The header values both acts start with: number, date and month of the form's date.
void AddNumberAndDate(const Variant& form, host::NamedValueList& values) {
  values.Add("DocNr", Kind::kText,
             Variant(ValueText(late::ControlProperty(form, "edNumb", "Text"))));
  const Variant date = late::ControlProperty(form, "edDate", "Value");
  values.Add("DocDate", Kind::kDate, date);
  values.Add("Month", Kind::kText, Variant(host::DateTools().MonthName(CDate(date))));
}

// The form's grid rows as the list object the print form reads: Get_SpecList.BaseList.ListObject.
Variant SpecListObject(const Variant& form) {
  return late::Member(late::Member(late::Member(form, "Get_SpecList"), "BaseList"), "ListObject");
}

}  // namespace

// --- CRepWriteOff ---

CRepWriteOff::CRepWriteOff() : ReportBase(PropertyKeeping::kIgnored, ErrorNumbering::kAsRaised) {}

bool CRepWriteOff::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  if (!Params || !Params->ExistsField("FormObject")) return false;
  host::AppContextPtr book = frame::GetBook(Params, true);
  auto enterprise = std::make_shared<host::EnterpriseInfo>();
  auto person = std::make_shared<host::PersonInfo>();
  enterprise->Init(book);
  person->Init(book);
  const Variant form = Params->Item("FormObject").Value();
  host::NamedValueList& values = *Values;

  values.Add("cEnterprise", Kind::kText, Variant(enterprise->UnitName()));
  values.Add("PlantCode", Kind::kCode, Variant(enterprise->PlantCode()));
  AddNumberAndDate(form, values);
  values.Add("DocComment", Kind::kText, Variant(ValueText(late::DocField(form, "Name"))));
  values.Add("DeptCode", Kind::kCode,
             Variant(ValueText(late::ControlProperty(form, "cbDepartment", "Code"))));
  values.Add("DeptName", Kind::kText,
             Variant(ValueText(late::ControlProperty(form, "cbDepartment", "Text"))));
  values.Add("stCode", Kind::kCode,
             Variant(ValueText(late::ControlProperty(form, "cbStore", "Code"))));
  values.Add("stName", Kind::kText,
             Variant(ValueText(late::ControlProperty(form, "cbStore", "Text"))));

  // The accountable person: whatever Load found (nothing for an empty code) is printed.
  (void)person->Load(ValueText(late::ControlProperty(form, "cbAccPerson", "Code")));
  values.Add("cAccProf", Kind::kText, Variant(person->Position()));
  values.Add("cAccName", Kind::kText,
             Variant(frame::JoinNonEmpty("", person->FirstName(), person->LastName(), "", "")));

  for (int digit = 1; digit <= 4; ++digit) {
    values.Add("cProf" + std::to_string(digit), Kind::kText);
    values.Add("cName" + std::to_string(digit), Kind::kText);
  }
  values.Add("DataList", Kind::kObject);

  for (const auto& [combo, digit] : kCommittee) {
    const std::string code = ValueText(late::ControlProperty(form, combo, "Code"));
    if (code.empty()) continue;
    (void)person->Load(code);
    values.Item("cProf" + std::to_string(digit)).SetValue(Variant(person->Position()));
    values.Item("cName" + std::to_string(digit))
        .SetValue(
            Variant(frame::JoinNonEmpty("", person->FirstName(), person->LastName(), "", "")));
  }

  (void)person->Load(enterprise->DirectorCode());
  values.Add("DIRName", Kind::kText,
             Variant(frame::JoinNonEmpty(" ", person->FirstName(), person->LastName(), "", "")));
  values.Add("DIRPosition", Kind::kText, Variant(person->Position()));

  if (Params->ExistsField("ParamPrintBarCode") &&
      IsTrue(Eq(Params->Item("ParamPrintBarCode").Value(), Variant(int32_t{1})))) {
    const Variant handler = late::Member(Params->Item("oMWControl").Value(), "ThDoc");
    values.Add("BarCode", Kind::kText, Variant(ValueText(late::Call(handler, "GenBarCode"))));
  }

  values.Item("DataList").SetValue(SpecListObject(form));
  return true;
}

// --- CRepWriteOffAR ---

CRepWriteOffAR::CRepWriteOffAR()
    : ReportBase(PropertyKeeping::kIgnored, ErrorNumbering::kReportRun) {}

bool CRepWriteOffAR::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  auto act = std::make_shared<CRepWriteOff>();
  if (!act->Run(Params, Values)) return false;
  host::NamedValue& list = Values->Item("DataList");
  list.SetValue(late::Member(list.Value(), "Recordset"));
  return true;
}

// --- CRepWriteOffCalc ---

CRepWriteOffCalc::CRepWriteOffCalc()
    : ReportBase(PropertyKeeping::kIgnored, ErrorNumbering::kReportRun) {}

bool CRepWriteOffCalc::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  if (!Params || !Params->ExistsField("FormObject")) return false;
  const Variant form = Params->Item("FormObject").Value();
  host::NamedValueList& values = *Values;
  AddNumberAndDate(form, values);
  const Variant department = late::Member(form, "cbDepartment");
  values.Add("Department", Kind::kText,
             Variant(ValueText(late::Member(department, "Code")) + " : " +
                     ValueText(late::RowField(late::Member(department, "AtomObject"), "Name"))));
  values.Add("DataList", Kind::kObject);
  values.Item("DataList").SetValue(SpecListObject(form));
  return true;
}

}  // namespace qts::reports
