// CRepPACK: the yearly packaging accounting report ("PAKUOČIŲ APSKAITOS ATASKAITA"): the
// enterprise with its codes and contacts, the director and the person who prepared the report,
// and the two tables of the saved packaging declarations (frmPACK::DataList4ReportA and B) --
// of the year chosen on its form frmRepPack, or of one declaration when the report is started
// from its open dialog ("FormObject").
#ifndef QTS_REPORTS_REP_PACK_H_
#define QTS_REPORTS_REP_PACK_H_

#include <cstdint>
#include <string>

#include "reports/param_form.h"
#include "reports/report_frame.h"

namespace qts::reports {

class frmRepPack final : public ParamForm {
 public:
  frmRepPack();
  // Shows the form; a `year` other than 0 puts 1 January of it into edRepDate. When
  // confirmed: True with the year of edRepDate and the code chosen in cbPerson ("" when
  // none). Cancelled: False, arguments unchanged.
  bool Run(host::AppContextPtr& book, int32_t& year, std::string& person);

 protected:
  // edRepDate (its year is the report's) and cbPerson (the preparer, over "REFPerson").
  void BuildControls(host::Form& form) override;
  void m_oForm_BeforeShow(bool& cancel) override;
  void WriteValues(host::NamedValueList& values) override;

 private:
  int32_t year_in_ = 0;
  int32_t year_out_ = 0;
  std::string person_;
};

class CRepPACK final : public ReportBase {
 public:
  CRepPACK();
  std::string_view ClassName() const override { return "CRepPACK"; }
  // The book of the last run.
  const host::AppContextPtr& Book() const { return m_Book; }

 protected:
  // Params: "FormObject" (an open packaging declaration's form), "Book". Values, after the
  // form: RepDate, RepYear, the enterprise (EntName, EntCode, EntPVMCode, EntAddress,
  // EntPhone, EntFax, EntMail), the director and the preparer (DirPos, DirFName, DirLName,
  // PerPos, PerFName, PerLName), TableA and TableB.
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;

 private:
  host::AppContextPtr m_Book;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_PACK_H_
