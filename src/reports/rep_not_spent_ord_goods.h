// CRepNotSpentOrdGoods: for the requirement documents ("PRS") of a period, the quantities that
// were ordered against them ("PIS", "POD") and not yet spent ("PRSF"), valued at the cost of
// the fixed rest, followed per good by its present stock rests per store. Its parameter form
// frmRepNotSpentGoods (period, stores, goods) serves CRepNotSpentManufGoods too.
#ifndef QTS_REPORTS_REP_NOT_SPENT_ORD_GOODS_H_
#define QTS_REPORTS_REP_NOT_SPENT_ORD_GOODS_H_

#include <memory>
#include <string>
#include <vector>

#include "reports/param_form.h"
#include "reports/report_frame.h"

namespace qts::reports {

class frmRepNotSpentGoods final : public StoreGoodForm {
 public:
  frmRepNotSpentGoods();

 protected:
  // selStore, selGood, edBegDate and edEndDate (both today until the operator moves them).
  void BuildControls(host::Form& form) override;
  bool HasPeriod() const override { return true; }
  // "BegDate", "EndDate", "StoreCode", "GoodCode" / "GoodGroup".
  void WriteValues(host::NamedValueList& values) override;
};

// The inputs both not-spent reports declare, in order.
std::vector<InputValue> NotSpentGoodsInputs();

// A chosen goods group is printed in the goods field.
void EchoGoodGroup(host::NamedValueList& values);

class CRepNotSpentOrdGoods final : public FormReport {
 public:
  CRepNotSpentOrdGoods();
  std::string_view ClassName() const override { return "CRepNotSpentOrdGoods"; }

 protected:
  std::vector<InputValue> Inputs() const override { return NotSpentGoodsInputs(); }
  bool RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) override;
  // The order rows and the rest rows in one list, opened and sorted by good, store and
  // requirement document.
  host::QueryPtr BuildQuery(const host::AppContextPtr& book, host::NamedValueList& values) override;
  void AdjustEcho(host::NamedValueList& values) override { EchoGoodGroup(values); }

 private:
  // Per requirement document, author and good: the ordered quantity not yet spent, with the
  // good's name and unit, its value at the fixed rest's cost and the author's name.
  host::QueryPtr OrderRowsQuery();
  // Per good that has order rows: its positive stock rests today in the chosen stores.
  host::QueryPtr RestRowsQuery();
  // Per requirement document, author and good: ordered minus spent quantity ("Amount").
  host::QueryPtr OrderedQuery();
  // Per requirement row: the quantity spent by "PRSF" documents.
  host::QueryPtr SpentQuery();
  // The requirement rows of the period: Author, Code, SpecID, GoodCode.
  host::QueryPtr RequirementRowsQuery();
  // The fixed rests of today, read through "FixRest.GoodCode", "FixRest.AmountAccount" and
  // "FixRest.CostSumm"; it adds no output columns.
  host::QueryPtr FixRestQuery();

  // Held while the query routines run.
  host::AppContextPtr book_;
  host::NamedValueList* values_ = nullptr;
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_NOT_SPENT_ORD_GOODS_H_
