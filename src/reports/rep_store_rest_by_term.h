// CRepStoreRestByTerm: goods received on or before a limit date (today minus a number of
// days) that still have unfixed receipt rows, with their present stock rest per store and the
// cost of that rest. Its parameter form frmRepStoreRestByTerm asks for the stores, the goods
// and the number of days.
#ifndef QTS_REPORTS_REP_STORE_REST_BY_TERM_H_
#define QTS_REPORTS_REP_STORE_REST_BY_TERM_H_

#include <memory>
#include <string>
#include <vector>

#include "core/date.h"
#include "reports/param_form.h"
#include "reports/report_frame.h"

namespace qts::reports {

class frmRepStoreRestByTerm final : public StoreGoodForm {
 public:
  frmRepStoreRestByTerm();

 protected:
  void BuildControls(host::Form& form) override;
  // "ToDate" = today minus edDayAmount days, "StoreCode", "GoodCode" / "GoodGroup".
  void WriteValues(host::NamedValueList& values) override;
};

class CRepStoreRestByTerm final : public FormReport {
 public:
  CRepStoreRestByTerm();
  std::string_view ClassName() const override { return "CRepStoreRestByTerm"; }

  // The rests query on `book` for the chosen values, opened, with rows of a positive rest
  // only.
  static host::QueryPtr StoreRestQuery(const host::AppContextPtr& book,
                                       const host::NamedValueList& values);

 protected:
  std::vector<InputValue> Inputs() const override;
  bool RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) override;
  host::QueryPtr BuildQuery(const host::AppContextPtr& book, host::NamedValueList& values) override;
  // A chosen goods group is printed in the goods field.
  void AdjustEcho(host::NamedValueList& values) override;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_STORE_REST_BY_TERM_H_
