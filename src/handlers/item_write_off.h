// CItemWriteOff: the handler of the item write-off document (type "MMO"). The host's document
// machinery reaches the write-off through ITHDoc, the component's dialogs through IMDocSupport
// and IMMatDocSupport. The handler
//   - binds its support engine (CMDocSupport, type "MMO") to the open document;
//   - inserts rows, merging a row into the document's row of the same item and unit;
//   - recalculates row columns with a CMCalculator (enCalcSimple) and keeps the lot-property
//     column in step with lot-tracked items (fuel, gas, marked goods: kinds 100..102);
//   - answers the engine's SetPrice while a write-off is priced: the row's columns are
//     recalculated and the price is copied into the additional field "WriteOffPrice";
//   - supplies the document's default business operation (set by the dialog, or looked up once
//     and then kept);
//   - builds the document's bar-code text.
//
// Usage: the handler must be held by a std::shared_ptr (it hands itself to its engine and its
// lot handler); make it with std::make_shared. Then Init(Doc) -- IMDocSupport.Init and
// ITHDoc.Init do the same -- and optionally SetDefaultBoper and SetLotPropID. The fuel
// write-off uses it the same way: Init, SetLotPropID, InsertSpecRec.
//
// UpdateAmount is a member of two interfaces with two meanings: through IMMatDocSupport it sets
// a row's quantity (the engine's UpdateAmount), through ITHDoc it does nothing and answers
// False. Call it through the interface you mean.
//
// Errors: host errors propagate unchanged, except in CalcSpecColumns, which shows the error to
// the user and answers null. Members that need the document raise 424 before Init.
#ifndef QTS_HANDLERS_ITEM_WRITE_OFF_H_
#define QTS_HANDLERS_ITEM_WRITE_OFF_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "engine/document_support.h"
#include "frame/component_object.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::engine {
class CMDocSupport;
class CMCalculator;
}  // namespace qts::engine
namespace qts::host {
class BusinessOperations;
class THDocument;
}  // namespace qts::host

namespace qts::handlers {

// What ITHDoc.MenuForGoodProperty answers for material documents.
inline constexpr int32_t kMaterialGoodPropertyMenu = 6;

// ITHDoc with its UpdateAmount under a name of its own, so that a class can also implement
// IMMatDocSupport, whose UpdateAmount has the same signature and another meaning.
class ITHDocSlots : public host::ITHDoc {
 public:
  bool UpdateAmount(int32_t PosNumb, Currency NewAmount) final {
    return ITHDoc_UpdateAmount(PosNumb, NewAmount);
  }

 protected:
  virtual bool ITHDoc_UpdateAmount(int32_t PosNumb, Currency NewAmount) = 0;
};

// IMMatDocSupport with its UpdateAmount renamed in the same way.
class IMMatDocSupportSlots : public engine::IMMatDocSupport {
 public:
  bool UpdateAmount(int32_t PosNumb, Currency NewAmount) final {
    return IMMatDocSupport_UpdateAmount(PosNumb, NewAmount);
  }

 protected:
  virtual bool IMMatDocSupport_UpdateAmount(int32_t PosNumb, Currency NewAmount) = 0;
};

class CItemWriteOff final
    : public frame::ComponentObject,
      public Implements<engine::IMDocSupport, IMMatDocSupportSlots, ITHDocSlots, IDispatch> {
 public:
  // Creates the engine and the calculator (enCalcSimple) and listens to the engine's SetPrice.
  CItemWriteOff();
  ~CItemWriteOff() override;
  std::string_view ClassName() const override { return "CItemWriteOff"; }

  // ---- Own members ----

  // The lot property written into new rows and reported for lot-tracked items by
  // CalcSpecColumns; 0 (the start value) writes 0 and reports nothing.
  void SetLotPropID(int32_t value) { m_LotPropID = value; }
  int32_t LotPropID() const { return m_LotPropID; }
  // The document's bar code: "402", the body (the type code padded with blanks to four
  // characters, the document date as yymmdd, the number) and the body's check characters from
  // the host's BarCodeTools. "" for no document, an unsaved one ("IDC" 0), a type code longer
  // than four characters or a number that does not have 5 to 8 characters. The check
  // characters are the host's: a body it refuses raises its error.
  [[nodiscard]] std::string GenBarCode();

  // ---- IMDocSupport (and ITHDoc.Init / ITHDoc.Doc, which do the same) ----

  // Serves `Doc` (a new blank write-off for null): the engine is (re)initialised with "MMO",
  // this handler and `Doc`.
  void Init(const host::THDocumentPtr& Doc) override;
  // The engine's document; null before Init.
  host::THDocumentPtr Doc() override;
  // Any row may be deleted.
  bool CheckOnSpecDelete(const ObjectPtr& /*SpecObj*/) override { return true; }
  // CrDocByOrder, IfExist, IsSingleDoc, FillSpec, FillSpec2, QuestionToCustom, CrParamList,
  // UseParamList and ParentDoc keep the interface's answers: nothing is done, False, 0 or null.

  // ---- IMMatDocSupport ----

  // The engine's pricing (see CMDocSupport); SetPriceWriteOff raises SetPrice per row, which
  // this handler answers (see m_MDocSup_SetPrice).
  void SetPriceByStOrder() override;
  void SetPriceWriteOff() override;
  // This handler as IMDocSupport.
  std::shared_ptr<engine::IMDocSupport> MDocSup() override;

  // ---- ITHDoc ----

  bool RecalcSpecVal(Variant& /*first*/, Variant& /*second*/) override { return false; }
  // The calculator's result for the row `oColumns` after `ChangeFld` changed. When a lot
  // property is set (LotPropID > 0): for a lot-tracked item of the row's "GoodCode" the result
  // reports "LotPropertyID" = LotPropID; for any other item it reports no "LotPropertyID".
  // The result is the calculator's own list (see CMCalculator). Any error is shown to the user
  // (ShowCurrentError) and null is returned.
  host::NamedValueListPtr CalcSpecColumns(const host::NamedValueListPtr& oColumns,
                                          const std::string& ChangeFld,
                                          const host::NamedValueListPtr& oParms) override;
  std::vector<std::string> CalcSpecColList() override;
  // Writes `row` ("GoodCode", "UnitCode", "Amount"; optional "AmountAccount") into the
  // document and returns the written row's "IDC":
  //   - when the document has a row of the same item and unit, its "Amount" becomes the sum
  //     rounded to 3 places and its accounting quantity is recomputed by the host;
  //   - otherwise a new row at the next position, with LotPropID and DefaultBoper.
  // When `row` has "AmountAccount" it receives the accounting quantity this insertion added
  // (0 when the written row cannot be read back). A missing entry of `row` raises error 9
  // before anything is written.
  int32_t InsertSpecRec(const host::NamedValueListPtr& row) override;
  // The engine's rows object.
  host::THGoodSpecPtr GoodSpec() override;
  // The lot handler of this document: a CLotByMDoc made and initialised on first use, the same
  // one afterwards.
  std::shared_ptr<host::ILotByTHDoc> LotByDoc() override;
  // The default business operation. A value written here is returned unchanged; while none is
  // written (or "" was written) the first read looks the document type's default up in the
  // book (for the document's currency, any operation of the type when none is marked default)
  // and keeps it: it is never cleared.
  void SetDefaultBoper(const std::string& value) override { m_DefaultBoper = value; }
  std::string DefaultBoper() override;
  int32_t ArticleCode(Variant& /*first*/, Variant& /*second*/) override { return 0; }
  int32_t MenuForGoodProperty() override { return kMaterialGoodPropertyMenu; }

  // ---- Late binding: GenBarCode, LotPropID (write), DefaultBoper, Doc ----

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

  // The support engine and the calculator, for the dialogs and tests.
  const std::shared_ptr<engine::CMDocSupport>& MDocSupEngine() const { return m_MDocSup; }
  const std::shared_ptr<engine::CMCalculator>& Calc() const { return m_Calc; }

 protected:
  // IMMatDocSupport.UpdateAmount: the engine's UpdateAmount of the same row and quantity.
  bool IMMatDocSupport_UpdateAmount(int32_t PosNumb, Currency NewAmount) override;
  // ITHDoc.UpdateAmount: not served here; False.
  bool ITHDoc_UpdateAmount(int32_t /*PosNumb*/, Currency /*NewAmount*/) override { return false; }

 private:
  // The engine's SetPrice: the row's columns are recalculated as after an edit of "Price" and
  // copied into the row, then "AddFld.WriteOffPrice" := "Price". Cancel is left as it is.
  void m_MDocSup_SetPrice(host::NamedValueList& Row, bool& Cancel);
  // Whether `good` is a lot-tracked item of the catalogue (host::IsLotTracked). False for a
  // code the catalogue does not hold.
  bool IsLotItem(std::string_view good);
  std::shared_ptr<CItemWriteOff> Self();
  host::THDocument& RequireDoc(std::string_view member);

  std::shared_ptr<engine::CMDocSupport> m_MDocSup;
  std::shared_ptr<engine::CMCalculator> m_Calc;
  std::shared_ptr<host::ILotByTHDoc> m_Lot;
  std::shared_ptr<host::BusinessOperations> m_BusinessOperations;
  std::string m_DefaultBoper;
  int32_t m_LotPropID = 0;
  Connection set_price_;  // m_MDocSup's SetPrice -> m_MDocSup_SetPrice
  DispatchTable table_;
};

}  // namespace qts::handlers

#endif  // QTS_HANDLERS_ITEM_WRITE_OFF_H_
