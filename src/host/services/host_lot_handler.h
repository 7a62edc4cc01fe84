// The host's standard lot handler (ILotByTHDoc): the lots ("STLotProperty") of the rows of
// one document, reached through the document's handler (ITHDoc: its Doc and GoodSpec).
//
// Rows are named by "PosNumb" within the handler's document. A lot property is an
// "STLotProperty" row; one with a "GoodCode" belongs to that good only. The stock of a lot in
// a store is its "STLot" row (see docs/stock-model.md).
#ifndef QTS_HOST_SERVICES_HOST_LOT_HANDLER_H_
#define QTS_HOST_SERVICES_HOST_LOT_HANDLER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/currency.h"
#include "core/error.h"
#include "core/variant.h"
#include "host/interfaces.h"

namespace qts::host {

class HostLotHandler : public Implements<ILotByTHDoc> {
 public:
  static constexpr Guid kClsid = MakeGuid("5B0F3C77-2D61-4C2B-9E0A-8E4B1D6C7A21");

  HostLotHandler() = default;
  std::string_view ClassName() const override { return "HostLotHandler"; }

  // Keeps the document handler (weakly: the handler owns its lot handler).
  void Init(const std::shared_ptr<ITHDoc>& doc) override;
  // True: documents of this host keep their lots on stock.
  bool IsUseLotOnStock() override { return true; }
  // Gives every row of the document whose good is lot-tracked (TrackingOff 0, TrackingKind
  // 100..102) and that has no lot a lot property of its own: a new "STLotProperty" for the
  // row's good named "<type> <number>/<PosNumb>". `spec` is not used (the rows are the
  // handler's document's). Raises kErrLotHandler when the document is not stored.
  void FormDocumentSpec(const ObjectPtr& spec) override;
  // The row the single-row members below work on when they are given no position.
  void SetCurrentPosNumb(int32_t value) override { current_pos_ = value; }
  int32_t CurrentPosNumb() const { return current_pos_; }
  // Writes lot property `argument` (a Long, 0 clears) into every row of the document whose
  // good the lot belongs to (every row for a lot without a good).
  void WriteAllLotProperty(Variant& argument) override;
  // Writes lot property `second` (0 clears) into row `first` (a position; Empty or Null: the
  // current position). Raises kErrLotHandler for a missing row or lot, or a lot of another
  // good.
  void WriteLotProperty(Variant& first, Variant& second) override;
  // The lot property `argument` (its identifier) as a NamedValueList object with "IDC",
  // "GoodCode", "Name", "OrderInfo" and "RestAccount" (its rest over all stores, from
  // "STLot"); Null when there is no such lot.
  Variant ReadLotProperty(Variant& argument) override;
  // Serial numbers and accessories are not kept by this host: nothing happens.
  void SerNumbEdit(Variant&) override {}
  void ItemAccesoryEdit(Variant&, Variant&, Variant&, Variant&) override {}

  // The rest of lot `lot_id` of `good` in store `store_code` from "STLot" (0 when none).
  [[nodiscard]] Currency LotRest(std::string_view store_code, std::string_view good,
                                 int32_t lot_id);

 private:
  THDocumentPtr Document() const;
  AppContext& Book() const;
  int32_t DocId() const;
  // The good a lot belongs to ("" for any); raises kErrLotHandler when there is no such lot.
  std::string LotGood(int32_t lot_id);
  void WriteRowLot(int32_t pos_numb, int32_t lot_id);

  std::weak_ptr<ITHDoc> doc_;
  int32_t current_pos_ = 0;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_HOST_LOT_HANDLER_H_
