// CRepNotSpentManufGoods: the stock lots of goods manufactured and posted ("MNFC") in a period
// that are still in stock, per good, store and customer order, with the author of the
// manufacturing order ("MO") the lot was made for. A lot names its order in the lot property
// OrderInfo ("customer:text#number"); the query splits that text to find the order. The
// parameter form is frmRepNotSpentGoods.
#ifndef QTS_REPORTS_REP_NOT_SPENT_MANUF_GOODS_H_
#define QTS_REPORTS_REP_NOT_SPENT_MANUF_GOODS_H_

#include <string>
#include <vector>

#include "reports/rep_not_spent_ord_goods.h"
#include "reports/report_frame.h"

namespace qts::reports {

class CRepNotSpentManufGoods final : public FormReport {
 public:
  CRepNotSpentManufGoods();
  std::string_view ClassName() const override { return "CRepNotSpentManufGoods"; }

 protected:
  std::vector<InputValue> Inputs() const override { return NotSpentGoodsInputs(); }
  bool RunForm(host::AppContextPtr& book, host::NamedValueListPtr& values) override;
  // The lot rests, summed per good, store, order and author, ordered by good and store.
  host::QueryPtr BuildQuery(const host::AppContextPtr& book, host::NamedValueList& values) override;
  void AdjustEcho(host::NamedValueList& values) override { EchoGoodGroup(values); }
};

}  // namespace qts::reports

#endif  // QTS_REPORTS_REP_NOT_SPENT_MANUF_GOODS_H_
