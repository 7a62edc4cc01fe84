// CRepMFC: the act of a finished-goods receipt (document type "MFC") open in its dialog. It has
// no parameter form and builds no query: the values come from the document ("oDoc" of the run
// parameters, a THDocument), the book's enterprise structure and the persons named on the
// document; the data list is the document's specification from the host's DocSpecService.
#ifndef QTS_REPORTS_REP_MFC_H_
#define QTS_REPORTS_REP_MFC_H_

#include <string_view>

#include "reports/report_frame.h"

namespace qts::reports {

class CRepMFC final : public ReportBase {
 public:
  CRepMFC();
  std::string_view ClassName() const override { return "CRepMFC"; }

 protected:
  // Without "oDoc" returns False. Makes the document's book the report engine's current book
  // when it has none, then adds in this order: "psImone" (the enterprise), "ReportTitle"
  // (message 1080), "psChechas" (department code " : " name), "psDocNr", "pdDocDate",
  // "psMonth", "psTKSvirsininkas" (the controller, role "CH": position, first and last name),
  // "psStore" (store code ": " name), "psPrieme" (empty), "Name", "psPridave" (the receiver,
  // role "DB", as "psTKSvirsininkas") and "mnfc_ttx" (the rows).
  bool Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) override;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_MFC_H_
