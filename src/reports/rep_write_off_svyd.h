// CRepWriteOffSvyd: the summary write-off act of a period — every row of the posted receipts
// ("PISF") of the period whose good is of goods category 3, with its quantity, unit, amount
// without VAT in the accounting currency and comment; the header carries the act number, the
// enterprise, its director and the write-off committee. Its parameter form frmRepWriteOffSvyd
// asks for the act number, the period and the committee.
#ifndef QTS_REPORTS_REP_WRITE_OFF_SVYD_H_
#define QTS_REPORTS_REP_WRITE_OFF_SVYD_H_

#include <string>
#include <vector>

#include "reports/param_form.h"
#include "reports/report_frame.h"

namespace qts::reports {

class frmRepWriteOffSvyd final : public ParamForm {
 public:
  frmRepWriteOffSvyd();

 protected:
  // edNumb, edBegDate, edEndDate and the committee frame with cbMember_Head and cbMember1 to
  // cbMember3 (persons).
  void BuildControls(host::Form& form) override;
  bool HasPeriod() const override { return true; }
  void BindControls(host::Form& form, const host::AppContextPtr& book) override;
  // "BegDate", "EndDate", "Number" and the committee's shown names "cName1" to "cName4".
  void WriteValues(host::NamedValueList& values) override;

 private:
  host::AppContextPtr book_;
};

class CRepWriteOffSvyd final : public FormReport {
 public:
  CRepWriteOffSvyd();
  std::string_view ClassName() const override { return "CRepWriteOffSvyd"; }

 protected:
  std::vector<InputValue> Inputs() const override;
  // Adds the enterprise's name, company code and director, then runs the form.
  bool RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) override;
  host::QueryPtr BuildQuery(const host::AppContextPtr& book, host::NamedValueList& values) override;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_WRITE_OFF_SVYD_H_
