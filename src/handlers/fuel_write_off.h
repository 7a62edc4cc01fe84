// CFuelWriteOff: writes off the fuel and the gas a vehicle used in a period. The host creates it
// ("QTS_Inventory.CFuelWriteOff") for the vehicle's period document (the parent, type "TKL":
// header "VehicleCode", additional fields "BegPeriod" and "EndPeriod"), hands it the quantities
// used, and the write-off
//   - finds the parent's item write-off ("MMO" in a fuel store, StoreKind "ABKR") or creates it
//     (dated with "EndPeriod", numbered by the host, in the user's default store);
//   - checks that the vehicle's rests (fuel: kind 100, gas: kind 101) cover the quantities,
//     showing message 8381 when they do not;
//   - distributes each quantity over the vehicle's rest rows (oldest first) as a host step
//     process (caption message 20215), one step per row of the caller's source lists: the rest
//     on the period's start (RestOnDateLst), then the period's receipts (InList). Each portion
//     becomes a row of the write-off through a CItemWriteOff (rows of one good and unit are
//     merged), and the accounting quantity the row gained is linked in the fix log
//     ("THGoodSpecFixLog", Type 5) to the receipt row it came from: the source row's "SpecID",
//     else the vehicle's receipts since "BegPeriod", else (source rows naming "PartyCode" and
//     "CountryCode") the receipts of that party.
//
// Source lists (InList, RestOnDateLst): opened queries with the columns "GoodCode",
// "SubCategory" and "AmountAccount" (the accounting quantity the row offers), optionally
// "SpecID" (the receipt row to link to), "PartyCode" and "CountryCode". Their result filters
// are replaced while the write-off works on them (each kind and each step needs its own
// restriction of the same rows); a filter the caller set is kept and ANDed in, and is all the
// lists show again when the write-off ends.
//
// Writing: one WriteOff is one transaction on the book. A write-off that fails leaves the book
// as it was; one refused for too small a rest leaves only a document it has just created
// (empty), and gives back the rows of an existing write-off it was about to replace. The
// document dialog (DocEditor) is shown after the transaction has been committed.
//
// Errors: a vehicle the book does not hold raises kErrComponent ("cannot read vehicle - " and the
// code); members that need the parent raise 424 before Init; a negative quantity or a missing
// or closed source list raises 5 before anything is written. Host errors propagate unchanged.
#ifndef QTS_HANDLERS_FUEL_WRITE_OFF_H_
#define QTS_HANDLERS_FUEL_WRITE_OFF_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/object.h"
#include "core/variant.h"
#include "frame/component_object.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::host {
class Vehicle;
class Recordset;
class THGoodSpecFixLog;
}  // namespace qts::host

namespace qts::handlers {

class CItemWriteOff;

// Messages of the fuel write-off.
inline constexpr int32_t kMsgFuelRestShort = 8381;
inline constexpr int32_t kMsgFuelReplaceRows = 20213;
inline constexpr int32_t kMsgFuelCaption = 20215;
inline constexpr int32_t kMsgFuelUnlinked = 20222;

class CFuelWriteOff final : public frame::ComponentObject,
                            public Implements<host::IProcessObject, IDispatch> {
 public:
  CFuelWriteOff();
  ~CFuelWriteOff() override;
  std::string_view ClassName() const override { return "CFuelWriteOff"; }

  // Binds the write-off to the stored parent document `ParentDoc` (its book becomes the
  // write-off's book) and makes the write-off's own document object and item write-off
  // handler. Error 424 for a null parent.
  void Init(const host::THDocumentPtr& ParentDoc);
  // Writes off `TotalUsedFuel` of fuel and `TotalUsedGas` of gas of vehicle `VehicleCode` (see
  // above). Both 0: nothing happens. With `IsSilence` the replacement of an existing
  // write-off's rows is not asked about; message 8381 is shown in any case. Finally the
  // write-off document is shown in the host's document dialog (also when the replacement was
  // declined) and reloaded -- except after message 8381, which ends the call at once.
  void WriteOff(const std::string& VehicleCode, Currency TotalUsedFuel, Currency TotalUsedGas,
                const std::shared_ptr<host::Query>& InList,
                const std::shared_ptr<host::Query>& RestOnDateLst, bool IsSilence = false);
  // Shows the write-off document in the host's document dialog; False when there is none.
  bool EditDoc();
  // The write-off document of the parent: the one held when it still belongs to the parent,
  // else the first document whose "ParentID" is the parent's (it is loaded); 0 when there is
  // none, and always 0 for an unsaved parent (whose "IDC" 0 every parentless document shares).
  int32_t DocID();
  // True when there is a write-off document and it is posted.
  bool IsDocPost();
  // Deletes the write-off document (unposting it first when posted) with its rows and links, in
  // one transaction; the host's answer, False when there is no document.
  bool DelDoc();
  // Kept for the host's interface: changes nothing and answers True.
  bool ChangeSpecRec(int32_t /*RecId*/, const std::string& /*GoodCode*/, Currency /*Amount*/) {
    return true;
  }

  // ---- IProcessObject: the distribution of one kind over one source list ----

  // One row of the source list: written off (WriteOffRow) while something remains; the list
  // then moves on. At the end of the list, or with nothing left, nothing happens.
  void Step() override;
  // Message 20215.
  std::string Caption() override;
  // The rows of the source list being walked (0 when none).
  int32_t CountStep() override;

  // ---- Late binding: the members above by name ----

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

  // The write-off document object (null before Init), for the host and tests.
  const host::THDocumentPtr& Doc() const { return m_Doc; }

 private:
  void RequireInit(std::string_view member) const;
  void ReadVehicle(const std::string& VehicleCode);
  [[nodiscard]] std::shared_ptr<host::Query> FindExistingDoc();
  // Finds or creates the document; False when the person declined replacing its rows.
  // `created` tells whether the document was inserted now.
  bool PrepareDoc(bool IsSilence, bool& created);
  void ReplaceRows(int32_t doc_id);
  void UnpostDoc();
  void CreateRowObjects();
  bool CheckRest(int32_t kind, Currency quantity);
  std::string KindFilter() const;
  void WriteOffKind(int32_t kind, Currency quantity, const std::shared_ptr<host::Query>& InList,
                    const std::shared_ptr<host::Query>& RestOnDateLst);
  void RunSteps();
  void WriteOffRow(host::Recordset& source);
  // Links `gain` of written row `spec_id` (good `good`) to receipt rows.
  void LinkGain(host::Recordset& source, int32_t spec_id, const std::string& good, Currency gain);
  // Links up to `quantity` to the rows of `list` with something left, oldest first, lowering
  // their "RestAmount"; with `party` only rows of the source row's party and country. Returns
  // what stays unlinked.
  Currency LinkToIncome(host::Query& list, const std::string& good, int32_t spec_id,
                        Currency quantity, host::Recordset* party);
  void AddLink(const std::string& good, int32_t outcome_id, int32_t income_id, Currency amount);
  void WarnUnlinked(const std::string& good, int32_t spec_id);
  int32_t ParentIdc() const;

  std::shared_ptr<CItemWriteOff> m_WriteOff;
  host::THDocumentPtr m_ParentDoc;
  host::THDocumentPtr m_Doc;
  host::AppContextPtr m_App;
  std::shared_ptr<host::Vehicle> m_Vehicle;
  std::shared_ptr<host::Query> m_RestList;
  std::shared_ptr<host::Query> m_IncomeSince;
  std::shared_ptr<host::Query> m_IncomeList;
  std::shared_ptr<host::Query> m_List;
  host::NamedValueListPtr m_Row;
  host::THGoodSpecPtr m_Spec;
  std::shared_ptr<host::THGoodSpecFixLog> m_FixLog;
  int32_t m_Kind = 0;
  Currency m_Remaining;
  // The good m_RestList is restricted to ("" when the restriction must be made afresh), and
  // the position, in that restriction, of its first row with something left.
  std::string rest_good_;
  long rest_first_open_ = 1;
  DispatchTable table_;
};

}  // namespace qts::handlers

#endif  // QTS_HANDLERS_FUEL_WRITE_OFF_H_
