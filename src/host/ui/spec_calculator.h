// SpecCalculator: the grid's calculation of a row's dependent columns. After the person edits
// one of the trigger columns, the row goes to the document handler's CalcSpecColumns (the
// handler's CalcSpecColList names the trigger columns) and every column the handler reports as
// changed is written into the row. Without a handler the host's own rule answers edits of
// "Price" and "Amount": the row sum "Summa" is price times amount, rounded to cents.
#ifndef QTS_HOST_UI_SPEC_CALCULATOR_H_
#define QTS_HOST_UI_SPEC_CALCULATOR_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::host {

class DocSpec;

class SpecCalculator final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "SpecCalculator"; }

  // Binds the calculator to `spec` (which then asks it on every edit, and inserts its rows
  // through `handler`). `recalc_on_edit` and `own_rule` are the host's flags: without the
  // first nothing is recomputed; the second chooses the host's own rule even when a handler is
  // given.
  void Init(const std::shared_ptr<DocSpec>& spec, const std::shared_ptr<ITHDoc>& handler,
            bool recalc_on_edit, bool own_rule);
  // The columns whose edit recomputes the row.
  const std::vector<std::string>& TriggerColumns() const { return triggers_; }
  bool IsTrigger(std::string_view column) const;
  // Recomputes `row` after `column` changed: the changed columns are written into it.
  void Calculate(const NamedValueListPtr& row, const std::string& column);

 private:
  std::weak_ptr<ITHDoc> handler_;
  std::vector<std::string> triggers_;
  bool own_rule_ = true;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_SPEC_CALCULATOR_H_
