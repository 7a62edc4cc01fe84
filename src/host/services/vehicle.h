// Vehicle: a vehicle of the book ("REFVehicle") and the fuel and gas it can burn — the rows of
// the receipts of its lots. Each vehicle has a fuel lot ("LotPropertyID") and, when it runs on
// gas too, a gas lot ("GasLotPropertyID"); receipts of its fuel carry these lots
// (THGoodSpec.LotPropertyID), so the vehicle's stock is the free quantity of those receipt
// rows (docs/stock-model.md).
//
// The lists are opened queries whose rows the caller may filter (AddResultFilter) and edit in
// memory; every list carries the good's "SubCategory" (100 fuel, 101 gas), so one list serves
// both kinds. Quantities are read as Currency, rounded to the book's four places.
#ifndef QTS_HOST_SERVICES_VEHICLE_H_
#define QTS_HOST_SERVICES_VEHICLE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/date.h"
#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

// What RestList lists.
inline constexpr int32_t kVehicleRestFuel = 1;        // the fuel lot only
inline constexpr int32_t kVehicleRestFuelAndGas = 2;  // the fuel and the gas lot

class Vehicle : public virtual Object {
 public:
  std::string_view ClassName() const override { return "Vehicle"; }

  // Binds the object to a book. Error 5 (source "Vehicle") for a null or closed book.
  void Init(AppContextPtr app);
  // Reads the vehicle of `code`. False, with every member cleared (Code empty, lots 0), when
  // the code is empty or the book holds no such vehicle. Error 5 before Init.
  bool Load(std::string_view code);

  const std::string& Code() const { return code_; }
  const std::string& Name() const { return name_; }
  // The lot property of the vehicle's fuel, and of its gas (0: none).
  int32_t LotPropertyID() const { return fuel_lot_; }
  int32_t GasLotPropertyID() const { return gas_lot_; }
  // The store the vehicle is fuelled from.
  const std::string& StoreCode() const { return store_code_; }

  // The vehicle's rests now: the receipt rows (posted incoming stock documents) of its lots
  // with something still free after every link of the fix log, oldest first (DocumentDate,
  // then SpecID). `what` is kVehicleRestFuel or kVehicleRestFuelAndGas; a non-empty
  // `good_code` / `store_code` keeps only that good / store; `lot_property` -1 takes the
  // vehicle's lots that `what` names, a value >= 0 that lot alone. A vehicle without a lot has
  // no rests. Columns:
  //   SpecID (2), DocID (3), DocumentDate (9), StoreCode, GoodCode (7), GoodName (16),
  //   UnitCode (7, the receipt row's unit), LotPropertyID (3), SubCategory (3),
  //   Rest (20, the free quantity in UnitCode), RestAccount (20, free accounting quantity),
  //   CalcRestAccount (20, a working copy of RestAccount for a caller that hands out the rest).
  // Error 5 for another `what`, or when no vehicle is loaded.
  [[nodiscard]] std::shared_ptr<Query> RestList(int32_t what, std::string_view good_code,
                                                std::string_view store_code, int32_t lot_property);
  // The receipt rows of the vehicle's fuel and gas lots dated on or after `since` (time of day
  // ignored), oldest first. RestAmount is the row's accounting quantity minus its links in the
  // fix log, leaving out the links of rows of documents whose ParentID is `parent_idc` (when it
  // is not 0): those belong to the write-off of that parent document, which is being redone.
  // Columns: SpecID (2), DocID (3), DocumentDate (9), StoreCode, GoodCode, UnitCode (7),
  // LotPropertyID (3), SubCategory (3), AmountAccount (20), RestAmount (20), Client (7, the
  // receipt's supplier, role "PAR"), CountryCode (7, the row's country of origin).
  [[nodiscard]] std::shared_ptr<Query> IncomeSince(Date since, int32_t parent_idc);
  // Every receipt row of the vehicle's fuel and gas lots, with the columns of IncomeSince and
  // every link counted in RestAmount.
  [[nodiscard]] std::shared_ptr<Query> IncomeList();

 private:
  void CheckLoaded() const;
  // The lot condition on `expression`; "1 = 0" when `lots` is empty.
  static std::string LotCondition(std::string_view expression, const std::vector<int32_t>& lots);
  std::vector<int32_t> Lots(bool with_gas) const;
  std::shared_ptr<Query> Income(const Date* since, int32_t parent_idc);

  AppContextPtr app_;
  std::string code_;
  std::string name_;
  std::string store_code_;
  int32_t fuel_lot_ = 0;
  int32_t gas_lot_ = 0;
};

using VehiclePtr = std::shared_ptr<Vehicle>;

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_VEHICLE_H_
