// CFinishGoodIn: the handler of the finished-goods receipt document (type "MFC"). The host's
// document machinery reaches the receipt through ITHDoc, the component's dialogs through
// IMDocSupport. It binds its support engine (CMDocSupport, type "MFC") to the open document and
// computes row columns with a CMCalculator in the receipt variant (enCalcDocIn: sum from price
// and amount, or price from sum). Unlike the write-off handler it inserts no rows, prices
// nothing and looks no business operation up: DefaultBoper is what the dialog wrote ("" before).
//
// Usage: hold it in a std::shared_ptr (std::make_shared); it hands itself to its engine and its
// lot handler. Then Init(Doc) -- IMDocSupport.Init and ITHDoc.Init do the same.
//
// Errors: host errors propagate unchanged; members that need the document raise 424 before
// Init.
#ifndef QTS_HANDLERS_FINISH_GOOD_IN_H_
#define QTS_HANDLERS_FINISH_GOOD_IN_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
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

namespace qts::handlers {

class CFinishGoodIn final : public frame::ComponentObject,
                            public Implements<engine::IMDocSupport, host::ITHDoc> {
 public:
  // Creates the engine and the calculator (enCalcDocIn).
  CFinishGoodIn();
  // Releases the engine first.
  ~CFinishGoodIn() override;
  std::string_view ClassName() const override { return "CFinishGoodIn"; }

  // ---- IMDocSupport (and ITHDoc.Init / ITHDoc.Doc, which do the same) ----

  // Serves `Doc` (a new blank receipt for null): the engine is (re)initialised with "MFC",
  // this handler and `Doc`.
  void Init(const host::THDocumentPtr& Doc) override;
  host::THDocumentPtr Doc() override;
  bool CheckOnSpecDelete(const ObjectPtr& /*SpecObj*/) override { return true; }
  // The other IMDocSupport members keep the interface's answers (nothing, False, 0 or null).

  // ---- ITHDoc ----

  bool RecalcSpecVal(Variant& /*first*/, Variant& /*second*/) override { return false; }
  // The calculator's result, unchanged (errors propagate).
  host::NamedValueListPtr CalcSpecColumns(const host::NamedValueListPtr& oColumns,
                                          const std::string& ChangeFld,
                                          const host::NamedValueListPtr& oParms) override;
  std::vector<std::string> CalcSpecColList() override;
  // Rows of a receipt come from elsewhere: nothing is written, 0 is returned.
  int32_t InsertSpecRec(const host::NamedValueListPtr& /*row*/) override { return 0; }
  bool UpdateAmount(int32_t /*PosNumb*/, Currency /*NewAmount*/) override { return false; }
  host::THGoodSpecPtr GoodSpec() override;
  // A CLotByMDoc made and initialised on first use, the same one afterwards.
  std::shared_ptr<host::ILotByTHDoc> LotByDoc() override;
  void SetDefaultBoper(const std::string& value) override { m_DefaultBoper = value; }
  std::string DefaultBoper() override { return m_DefaultBoper; }
  int32_t ArticleCode(Variant& /*first*/, Variant& /*second*/) override { return 0; }
  int32_t MenuForGoodProperty() override;

  const std::shared_ptr<engine::CMDocSupport>& MDocSupEngine() const { return m_MDocSup; }
  const std::shared_ptr<engine::CMCalculator>& Calc() const { return m_Calc; }

 private:
  std::shared_ptr<CFinishGoodIn> Self();

  std::shared_ptr<engine::CMDocSupport> m_MDocSup;
  std::shared_ptr<engine::CMCalculator> m_Calc;
  std::string m_DefaultBoper;
  std::shared_ptr<host::ILotByTHDoc> m_Lot;
};

}  // namespace qts::handlers

#endif  // QTS_HANDLERS_FINISH_GOOD_IN_H_
