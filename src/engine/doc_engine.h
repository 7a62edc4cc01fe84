// CMDocSupport: the engine behind one material document. A document handler (or a form)
// creates one engine per document; the engine owns the host document object, knows the
// document's type code and offers the document-level services around it:
//   - lazy access to the host objects near the document: its rows (DocSpec), the item
//     catalogue entry (Good), the order it was made from and that order's rows (ParentDoc,
//     ParentSpec), the specification service (THDocSpec) and the document's accounting
//     (OpenDoc / CloseDoc);
//   - finding a document of the engine's type already made for an order (CheckDocExist,
//     CheckDocExist2) and making a new one (CrDocByOrder);
//   - the order parameter list passed from an order document to the documents made from it
//     (CrParamList, ParmOrderId, ParmArticleId, UseParamList).
// The specification filling and the write-off pricing run on the same object and share its
// row sources (m_MList, m_DoList) and step state (m_StepKind, m_CalcVariant).
//
// Filling and pricing are step processes: the engine prepares its row source, then hands
// itself (as IProcessObject) to a new host StepRunner, which calls Step once per source row in
// one transaction on the book: a step that raises rolls the whole run back. Listeners of
// InsertSpecRec / UpdateSpecRec / SetPrice may change a row or cancel its write.
//
// The engine's book is the book of its document; without a document, the book given by
// SetBook; failing that, the host's current book. Host objects are created on first use and
// kept while the engine lives; Init may be called again to serve another document.
//
// Errors: host errors propagate unchanged. A missing document is answered with 0 or null, not
// an error. Needing a book when there is none raises 424 with source "CMDocSupport"; a field
// name that is not a plain identifier raises 5.
#ifndef QTS_ENGINE_DOC_ENGINE_H_
#define QTS_ENGINE_DOC_ENGINE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/currency.h"
#include "core/date.h"
#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "engine/document_support.h"
#include "frame/component_object.h"
#include "host/fwd.h"
#include "host/interfaces.h"

namespace qts::frame {
class CCreateCopyRS;
}
namespace qts::host {
class ITHDoc;
class GoodEntry;
class DocSpecService;
class DocumentService;
}  // namespace qts::host

namespace qts::engine {

// The internal calculation variant of the simplified labour filling of one order row.
inline constexpr int32_t kCalcOperSimple = 5;

// Which step process runs (m_StepKind).
inline constexpr int32_t kStepMaterials = 0;
inline constexpr int32_t kStepOperations = 1;
inline constexpr int32_t kStepStockOrderPrice = 2;
inline constexpr int32_t kStepWriteOffPrice = 3;

// Captions of the step processes (host message numbers).
inline constexpr int32_t kMsgFillMaterials = 618;
inline constexpr int32_t kMsgFillLabour = 619;
inline constexpr int32_t kMsgSetPrices = 620;
inline constexpr int32_t kMsgFillEquipment = 8365;

class CMDocSupport final : public frame::ComponentObject, public Implements<host::IProcessObject> {
 public:
  CMDocSupport();
  ~CMDocSupport() override;
  std::string_view ClassName() const override { return "CMDocSupport"; }

  // Events, in the class's slot order. The last argument is the cancel flag: a listener sets
  // it to True to keep the row from being written.
  // A row priced by the write-off pricing: the pricing query's row fields.
  Event<host::NamedValueList&, bool&> SetPrice;
  // A row about to be inserted by the material-list or equipment filling: row fields and the
  // row's additional fields.
  Event<host::NamedValueList&, host::NamedValueList&, bool&> InsertSpecRec;
  // A row written by the labour filling, about to be written back with its computed columns.
  Event<host::NamedValueList&, host::NamedValueList&, bool&> UpdateSpecRec;

  // Caches the engine's book (see above) in m_App. The argument is accepted and ignored.
  void SetBook(const ObjectPtr& ignored = nullptr);

  // Serves the document `Doc` of type `DocTypeCode`; with a null `Doc` the engine makes a new
  // blank document of that type in its book. `Handler` is the document handler (kept weakly:
  // the handler owns the engine).
  void Init(std::string_view DocTypeCode, const std::shared_ptr<host::ITHDoc>& Handler,
            const host::THDocumentPtr& Doc);

  const host::THDocumentPtr& Doc() const { return m_Doc; }
  const std::string& DocTypeCode() const { return m_DocTypeCode; }
  // The handler given to Init; null when none was given or it is gone.
  std::shared_ptr<host::ITHDoc> THDoc() const { return m_THDoc.lock(); }

  // The "IDC" of a document of the engine's type whose "ParentID" is `OrderId` and whose
  // additional header field `FieldName` equals `ArticleId`; 0 when there is none.
  [[nodiscard]] int32_t CheckDocExist(int32_t OrderId, int32_t ArticleId,
                                      std::string_view FieldName);
  // The same without the article, found through the engine's own document object: 0 for
  // `OrderId` 0 (the document object is not touched). A found document is loaded into m_Doc,
  // replacing what it held, and its "IDC" is returned; 0 leaves m_Doc as it was.
  [[nodiscard]] int32_t CheckDocExist2(int32_t OrderId);

  // Writes a new document of the engine's type for the order: its header fields (see
  // InitFldBeforeInsert) and additional fields in one transaction. True when written; a failure
  // raises and writes nothing.
  bool CrDocByOrder(int32_t OrderId, int32_t ArticleId, std::string_view FieldName, Date DocDate);
  // Fills the header of the document being inserted: "DocumentDate" (`DocDate`, today for the
  // zero date), "Number" (the next number of the type), "ParentID" (`OrderId`), "CurrencyCode"
  // (the book's setting "AccountCurrency"), and the additional field `FieldName` :=
  // `ArticleId` when the name is not empty and the article is not 0.
  void InitFldBeforeInsert(int32_t OrderId, int32_t ArticleId, std::string_view FieldName,
                           Date DocDate);

  // The order document the current document was made from ("ParentID"); null when the
  // document has none or it does not exist. The order is kept: asking again for the same
  // order does not read it again.
  [[nodiscard]] host::THDocumentPtr ParentDoc();
  // The rows object positioned on row `SpecId` (an order row); null for 0 or a missing row.
  [[nodiscard]] host::THGoodSpecPtr ParentSpec(int32_t SpecId);
  // The item-catalogue entry, bound to the engine's book.
  [[nodiscard]] const std::shared_ptr<host::GoodEntry>& Good();
  // The rows object of the engine's book.
  [[nodiscard]] const host::THGoodSpecPtr& DocSpec();

  // The parameter list of this (order) document: "OrderId" (its "IDC"), "ArticleId",
  // "DocCode" (its "Code") and "DocObj" (the document object). The same list is refilled on
  // every call.
  [[nodiscard]] host::NamedValueListPtr CrParamList(int32_t ArticleId);
  // The entry "OrderId" / "ArticleId" of `Params` as Long; 0 for a null list or one without
  // the entry.
  [[nodiscard]] static int32_t ParmOrderId(const host::NamedValueListPtr& Params);
  [[nodiscard]] static int32_t ParmArticleId(const host::NamedValueListPtr& Params);
  // Copies an order parameter list into the document: a non-zero "OrderId" to "ParentID";
  // "ArticleId" to the additional field `FieldName` when the name is not empty.
  void UseParamList(const host::NamedValueListPtr& Params, std::string_view FieldName);

  // The specification service of the engine's book, working for the handler.
  [[nodiscard]] const std::shared_ptr<host::DocSpecService>& THDocSpec();
  // Unposts / posts the document through its accounting object; the document object is
  // reloaded afterwards.
  void OpenDoc();
  void CloseDoc(const Variant& value);

  // ---- Specification filling (doc_engine_fill.cc) ----

  // Fills the specification of the document by `Variant`:
  //   enCalcDocIn / enCalcEquip: one row per component of the product `Good` needed for
  //     `Amount` in `Unit` (enCalcEquip: priced with the price kind "SC" of today, with the
  //     row sum and the components' direct and indirect costs); a product without components
  //     is written as itself. Nothing happens for an empty good or unit, a zero amount or a
  //     good the catalogue does not hold. Each row raises InsertSpecRec before it is written.
  //   enCalcOper: one row per labour norm of the operations of the order's products;
  //   enCalcSimple: one row per equipment of those operations (the equipment costs for the
  //     type "MAE", the first fixed-asset object by "UseTime" for other types).
  // The order is the document's "ParentID"; a document without one gets no operation rows.
  void FillSpec(std::string_view Good, std::string_view Unit, Currency Amount,
                int32_t calc_variant);
  // The simplified labour filling of order row `SpecId` (variant 5): one row per labour norm of
  // the row's product, counted in the work kind's accounting unit.
  void FillSpecOperSimple(int32_t SpecId);
  // The operation filling of the document of the engine's type already made for order
  // `OrderId` (loaded into the engine first), from the order rows from `SpecId` on. Labour for
  // the types "MNC" and "MAC", equipment for the others. Nothing for a zero argument or when
  // the order has no document of the type.
  void CrSpecByAddRec(int32_t OrderId, int32_t SpecId);

  // IProcessObject: the running step process (see m_StepKind).
  void Step() override;
  std::string Caption() override;
  int32_t CountStep() override;

  // ---- Pricing and amounts (doc_engine_price.cc) ----

  // The sum of column `Col` over the rows of the open query `Q` (moved to its end).
  [[nodiscard]] static Currency TotalSum(host::Query& Q, std::string_view Col);
  // Prices each row of the document that a stock-order row was made for ("srcSpecID") with
  // that order row's price, and recomputes the row sum (two places).
  void SetPriceByStOrder();
  // Prices each row of a write-off whose good has category 0 with its cost sum per unit
  // ("CostSumm" / "Amount", four places; 0 for a zero amount). Each priced row of the pricing
  // query (row columns and "AddFld." additional fields) is raised through SetPrice; unless the
  // listener cancels, the row, with the listener's changes, is written back.
  void SetPriceWriteOff();
  // Sets the quantity of row `PosNumb` of the document to `NewAmount` (its accounting quantity
  // is recomputed from the unit) and recomputes the row sum. False, writing nothing, when the
  // document has no such row.
  bool UpdateAmount(int32_t PosNumb, Currency NewAmount);

  // The state of the last step process, for the handlers and tests.
  int32_t StepKind() const { return m_StepKind; }
  int32_t CalcVariant() const { return m_CalcVariant; }
  const std::string& AmountCol() const { return m_AmountCol; }
  const host::RecordsetPtr& MList() const { return m_MList; }
  const std::shared_ptr<host::Query>& DoList() const { return m_DoList; }
  const std::shared_ptr<CMDocSupportApp>& DocSupApp() const { return m_DocSupApp; }
  // The mouse pointer saved while a step process runs; -1 when none is saved.
  int16_t SavedPointer() const { return m_SavedPointer; }

 private:
  // The engine's book, or null (see above).
  host::AppContextPtr GetAppContext() const;
  // The same, raising 424 when there is none.
  host::AppContextPtr RequireBook() const;
  host::THDocument& RequireDoc() const;
  // The document's accounting object, bound to the current document.
  host::DocumentService& DocAcc();

  // Step processes.
  void RunSteps();
  // Runs the step process `kind` over the rows of the opened query `rows`; nothing when it has
  // none.
  void RunStepsOver(std::shared_ptr<host::Query> rows, int32_t kind);
  // The current row of m_DoList for the step named `source`; null at the list's end. Raises
  // kErrComponent from `source` when there is no list.
  host::NamedValueList* StepRow(std::string_view source);
  // A new row of the document's rows with its document and next position number set.
  host::NamedValueList& NewSpecRow();
  void TogglePointer();
  void MaterialStep();
  void OperationStep();
  void OperationStepSimple();
  void StockOrderPriceStep();
  void WriteOffPriceStep();
  // The operation filling over the order rows (`SpecId` 0: all; `SingleRow`: that row only,
  // else the rows from it on).
  void FillSpecOper(int32_t SpecId, bool SingleRow);
  std::shared_ptr<host::Query> OrderRowQuery(int32_t SpecId, bool SingleRow);
  std::shared_ptr<host::Query> LabourQuery(int32_t SpecId, bool SingleRow);
  std::shared_ptr<host::Query> EquipmentCostQuery(int32_t SpecId);
  std::shared_ptr<host::Query> EquipmentObjectQuery(int32_t SpecId);
  std::shared_ptr<host::Query> FirstObjectQuery();
  // "Summa" := price x amount (as Currency), rounded to two places.
  static void RowSum(host::NamedValueList& fields);
  // "Summa" := price x accounting amount / the rate quantity ("AmountForDRate", else the
  // accounting amount); 0 when that is 0. Not rounded.
  static void RateSum(host::NamedValueList& fields, host::NamedValueList& add_fields);
  host::THGoodSpec& RequireDocSpec();

  host::AppContextPtr m_App;
  host::THDocumentPtr m_Doc;
  std::string m_DocTypeCode;
  std::weak_ptr<host::ITHDoc> m_THDoc;
  host::THGoodSpecPtr m_DocSpec;
  std::shared_ptr<host::GoodEntry> m_Good;
  host::THDocumentPtr m_ParentDoc;
  host::THGoodSpecPtr m_ParentSpec;
  std::shared_ptr<host::DocSpecService> m_THDocSpec;
  std::shared_ptr<host::DocumentService> m_DocAcc;
  host::NamedValueListPtr m_ParamList;
  // Shared with the specification filling and the write-off pricing.
  std::shared_ptr<frame::CCreateCopyRS> m_CopyRS;
  host::RecordsetPtr m_MList;
  std::shared_ptr<host::Query> m_DoList;
  std::shared_ptr<CMDocSupportApp> m_DocSupApp;
  std::string m_AmountCol;
  int32_t m_CalcVariant = 0;
  int32_t m_StepKind = 0;
  int16_t m_SavedPointer = -1;  // -1: no pointer saved
};

}  // namespace qts::engine

#endif  // QTS_ENGINE_DOC_ENGINE_H_
