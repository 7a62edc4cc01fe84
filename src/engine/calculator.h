// CMCalculator: recomputes the dependent columns of one specification row after the user has
// edited one of its columns. A handler creates one calculator, initialises it once with its
// calculation variant, answers the grid's "which columns trigger a recalculation" with
// SColCalc and forwards every edit of such a column to CalcSpecColumns.
//
// Results. CalcSpecColumns returns the calculator's own result list, the same object on every
// call: its values are emptied first, so an entry whose value is Empty after a call was not
// changed by that call. "Summa" is always an entry; variant enCalcDocIn adds "BOperCode",
// enCalcOper adds "Price"; other columns are appended on first report and then stay.
//
// Arithmetic follows the platform: products and quotients are formed on the row's values
// (Null spreads, Empty counts as 0), converted to Currency and rounded half away from zero by
// the host's RoundCy -- sums to 2 places, norm-time quantities to 3, unit prices to 4. A
// value that must become a number but has none raises error 94 naming the column(s); a
// column the row does not have raises the list's error 9 naming it.
#ifndef QTS_ENGINE_CALCULATOR_H_
#define QTS_ENGINE_CALCULATOR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/object.h"
#include "engine/document_support.h"
#include "frame/component_object.h"
#include "host/fwd.h"

namespace qts::engine {

// The class's default interface.
class ICMCalculator : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("55EFAAED-DABB-4619-82C4-C3C3A991801B");
  static constexpr std::string_view kName = "_CMCalculator";

  virtual void Init(int32_t theCalcVariant) = 0;
  virtual std::vector<std::string> SColCalc() const = 0;
  virtual host::NamedValueListPtr CalcSpecColumns(
      const host::NamedValueListPtr& oColumns, std::string_view ChangeFld = "GoodCode",
      const host::NamedValueListPtr& oParms = nullptr) = 0;
};

class CMCalculator final : public frame::ComponentObject,
                           public Implements<ICMCalculator, IDispatch> {
 public:
  CMCalculator();
  std::string_view ClassName() const override { return "CMCalculator"; }

  // Sets the variant and builds its trigger list; a value outside 1..4 leaves the list empty
  // (and CalcSpecColumns then reports nothing). Calling it again switches the variant; result
  // entries added for an earlier variant stay in the list.
  void Init(int32_t theCalcVariant) override;
  // A copy of the trigger columns, in the order the grid asks for them.
  std::vector<std::string> SColCalc() const override;
  // Recomputes after `ChangeFld` was edited in the row `oColumns` and returns the result list
  // (see above). `oParms` is accepted and not used. Error 424 for a null row.
  host::NamedValueListPtr CalcSpecColumns(const host::NamedValueListPtr& oColumns,
                                          std::string_view ChangeFld = "GoodCode",
                                          const host::NamedValueListPtr& oParms = nullptr) override;

  int32_t CalcVariant() const { return calc_variant_; }

  // Late binding: Init and CalcSpecColumns by name. SColCalc answers an array, which the
  // late-bound surface cannot carry; callers use the typed interface for it.
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  void SetChanged(std::string_view name, const Variant& value);
  const Variant& Changed(std::string_view name) const;
  void CalcDocIn(const host::NamedValueList& row, std::string_view change_fld);
  void CalcEquip(const host::NamedValueList& row);
  void CalcOper(const host::NamedValueList& row, std::string_view change_fld);
  void CalcSimple(const host::NamedValueList& row);

  int32_t calc_variant_ = 0;
  std::vector<std::string> m_SColCalc;
  host::NamedValueListPtr m_Changed;
  DispatchTable table_;
};

}  // namespace qts::engine

#endif  // QTS_ENGINE_CALCULATOR_H_
