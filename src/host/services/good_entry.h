// One entry of the book's item catalogue ("REFGood"): a good, a work kind or a goods group,
// with its units and, for a product, its material list ("REFGoodMaterial").
//
// Init binds the entry to a book; Load reads one code. Until a Load succeeds the entry is
// empty: Code() is "", the attributes are 0/False, and the lists raise kErrGoodEntry.
#ifndef QTS_HOST_SERVICES_GOOD_ENTRY_H_
#define QTS_HOST_SERVICES_GOOD_ENTRY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/currency.h"
#include "core/date.h"
#include "core/error.h"
#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

// The kinds of goods kept by lot: the catalogue's "TrackingKind" and the rest lists'
// "SubCategory" use the same codes.
inline constexpr int32_t kGoodKindFuel = 100;
inline constexpr int32_t kGoodKindGas = 101;
inline constexpr int32_t kGoodKindMarked = 102;

// True for a good whose lots are tracked: tracking not switched off and a kind above.
constexpr bool IsLotTracked(bool tracking_off, int64_t tracking_kind) {
  return !tracking_off && tracking_kind >= kGoodKindFuel && tracking_kind <= kGoodKindMarked;
}

class GoodEntry : public virtual Object {
 public:
  GoodEntry() = default;
  std::string_view ClassName() const override { return "GoodEntry"; }

  // Binds the entry to `book` and empties it.
  void Init(AppContextPtr book);

  // Reads the good `code` (case as stored; the book compares codes exactly). True when the
  // catalogue holds it; False leaves the entry empty. Raises kErrGoodEntry without Init.
  bool Load(std::string_view code);
  bool IsLoaded() const { return !code_.empty(); }

  const std::string& Code() const { return code_; }
  const std::string& Name() const { return name_; }
  const std::string& ParentCode() const { return parent_code_; }
  bool IsGroup() const { return is_group_; }
  int32_t Category() const { return category_; }
  int32_t SubCategory() const { return sub_category_; }
  // True when lot tracking is switched off for the good.
  bool TrackingOff() const { return tracking_off_; }
  // kGoodKindFuel, kGoodKindGas, kGoodKindMarked; 0 when the good is not tracked.
  int32_t TrackingKind() const { return tracking_kind_; }
  // The unit with "IsAccount" = 1 ("" when the good lists none).
  const std::string& AccountUnit() const { return account_unit_; }
  // Accounting units in one `unit` of the loaded good ("REFGoodUnit.Rate"); nullopt when the
  // good does not list the unit.
  std::optional<Currency> UnitRate(std::string_view unit) const;

  // The components needed for `amount` of the loaded product counted in `unit`, one row per
  // "REFGoodMaterial" row of the product, in the order of the catalogue (IDC). The material
  // rows give quantities per one product unit ("ProductUnitCode", the accounting unit when
  // empty); `amount` is converted through the units' rates. Fields:
  //   "Good" (text)         the component's code
  //   "UnitCode" (text)     the component's accounting unit
  //   "AccountAmount" (cur) the component's quantity in that unit (four places)
  //   "Name" (text)         the component's name
  // A product without components gives an open recordset without rows (the caller may add
  // one). Raises kErrGoodEntry when nothing is loaded or the product does not list `unit`.
  [[nodiscard]] RecordsetPtr MaterialList(std::string_view unit, Currency amount);

  // The material list priced with the price kind `price_kind` ("SC") valid on `date`: the
  // latest "REFGoodPrice" of the component in the row's unit dated up to `date` (a price
  // without date counts as valid always); failing that, the accounting unit's price times the
  // unit's rate; 0 when there is none. Fields:
  //   "Good", "UnitCode" (the material row's unit, the accounting unit when it has none),
  //   "Amount" (quantity in "UnitCode"), "AccountAmount" (in the accounting unit),
  //   "Price" (per "UnitCode", four places), "DirectCost", "InDirectCost" (the material
  //   row's costs for the whole quantity), "Name".
  // Raises as MaterialList.
  [[nodiscard]] RecordsetPtr PricedMaterialList(std::string_view unit, Currency amount,
                                                std::string_view price_kind, Date date);

 private:
  AppContext& Book() const;
  void Clear();
  // `amount` of the loaded good in `unit`, in its accounting unit.
  Currency ToAccount(std::string_view unit, Currency amount) const;

  AppContextPtr book_;
  std::string code_;
  std::string name_;
  std::string parent_code_;
  bool is_group_ = false;
  int32_t category_ = 0;
  int32_t sub_category_ = 0;
  bool tracking_off_ = false;
  int32_t tracking_kind_ = 0;
  std::string account_unit_;
};

using GoodEntryPtr = std::shared_ptr<GoodEntry>;

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_GOOD_ENTRY_H_
