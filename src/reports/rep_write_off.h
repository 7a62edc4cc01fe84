// The acts of a write-off document open in its dialog (frmMMO): CRepWriteOff (the write-off
// act with the committee, the accountable person and the director), CRepWriteOffAR (the same
// act with its data list handed over as a plain recordset) and CRepWriteOffCalc (the
// calculation sheet). They have no parameter form and build no query: every value is read
// from the open form's controls (late-bound, by name), from its document and from the book's
// enterprise and person catalogue; the data list is the form's grid.
//
// Run parameters: "FormObject" (the form; without it Run returns False at once),
// "ParamPrintBarCode" (1 asks CRepWriteOff for the document's bar code) and "oMWControl" (the
// dialog's controller, whose "ThDoc" is the write-off handler that makes the bar code).
#ifndef QTS_REPORTS_REP_WRITE_OFF_H_
#define QTS_REPORTS_REP_WRITE_OFF_H_

#include <string_view>

#include "reports/report_frame.h"

namespace qts::reports {

class CRepWriteOff final : public ReportBase {
 public:
  CRepWriteOff();
  std::string_view ClassName() const override { return "CRepWriteOff"; }

 protected:
  // Values in this order: "cEnterprise", "PlantCode", "DocNr", "DocDate", "Month",
  // "DocComment", "DeptCode", "DeptName", "stCode", "stName", "cAccProf", "cAccName",
  // "cProf1" .. "cProf4" and "cName1" .. "cName4" (empty for a committee combo left empty),
  // "DataList", "DIRName" (first name, two spaces, last name), "DIRPosition", and "BarCode"
  // only when asked for.
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;
};

class CRepWriteOffAR final : public ReportBase {
 public:
  CRepWriteOffAR();
  std::string_view ClassName() const override { return "CRepWriteOffAR"; }

 protected:
  // CRepWriteOff's values, with "DataList" replaced by the recordset of the list object it
  // held. When the inner act prints nothing, Values are left as it left them and the result
  // is False.
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;
};

class CRepWriteOffCalc final : public ReportBase {
 public:
  CRepWriteOffCalc();
  std::string_view ClassName() const override { return "CRepWriteOffCalc"; }

 protected:
  // "DocNr", "DocDate", "Month", "Department" (code, " : ", the department's name from the
  // combo's chosen row) and "DataList".
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_WRITE_OFF_H_
