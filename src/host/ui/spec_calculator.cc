#include "host/ui/spec_calculator.h"

#include "core/dispatch.h"
#include "core/operators.h"
#include "core/text.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"
#include "host/ui/doc_spec.h"

namespace qts::host {

void SpecCalculator::Init(const std::shared_ptr<DocSpec>& spec,
                          const std::shared_ptr<ITHDoc>& handler, bool recalc_on_edit,
                          bool own_rule) {
  handler_ = handler;
  own_rule_ = own_rule || !handler;
  triggers_.clear();
  if (recalc_on_edit) {
    if (own_rule_) {
      triggers_ = {"Price", "Amount"};
    } else {
      triggers_ = handler->CalcSpecColList();
    }
  }
  if (spec) {
    spec->SetCalculator(std::dynamic_pointer_cast<SpecCalculator>(shared_from_this()));
    spec->SetHandler(handler);
  }
}

bool SpecCalculator::IsTrigger(std::string_view column) const {
  for (const std::string& trigger : triggers_) {
    if (EqualsIgnoreCase(trigger, column)) return true;
  }
  return false;
}

void SpecCalculator::Calculate(const NamedValueListPtr& row, const std::string& column) {
  if (!row || !IsTrigger(column)) return;
  if (own_rule_) {
    const Variant product = Mul(row->Item("Price").Value(), row->Item("Amount").Value());
    if (!product.IsNull()) {
      row->Item("Summa").SetValue(Variant(CommonTools::Instance()->RoundCy(product, 2)));
    }
    return;
  }
  std::shared_ptr<ITHDoc> handler = handler_.lock();
  if (!handler) return;
  NamedValueListPtr changed = handler->CalcSpecColumns(row, column, nullptr);
  if (!changed) return;  // the handler showed its error and computed nothing
  for (const NamedValuePtr& entry : changed->Entries()) {
    if (entry->Value().IsEmpty()) continue;  // not changed by this calculation
    if (NamedValue* target = row->Find(entry->Name())) target->SetValue(entry->Value());
  }
}

}  // namespace qts::host
