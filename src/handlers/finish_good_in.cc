#include "handlers/finish_good_in.h"

#include <utility>

#include "core/error.h"
#include "engine/calculator.h"
#include "engine/doc_engine.h"
#include "handlers/item_write_off.h"
#include "handlers/lot_by_mdoc.h"

namespace qts::handlers {

namespace {
constexpr std::string_view kDocType = "MFC";
}  // namespace

CFinishGoodIn::CFinishGoodIn()
    : m_MDocSup(std::make_shared<engine::CMDocSupport>()),
      m_Calc(std::make_shared<engine::CMCalculator>()) {
  m_Calc->Init(engine::enCalcDocIn);
}

CFinishGoodIn::~CFinishGoodIn() { m_MDocSup.reset(); }

std::shared_ptr<CFinishGoodIn> CFinishGoodIn::Self() {
  auto self = std::dynamic_pointer_cast<CFinishGoodIn>(weak_from_this().lock());
  if (!self) {
    throw Error(kErrObjectRequired, "CFinishGoodIn",
                "the handler is not held by a shared reference (make it with make_shared)");
  }
  return self;
}

void CFinishGoodIn::Init(const host::THDocumentPtr& Doc) { m_MDocSup->Init(kDocType, Self(), Doc); }

host::THDocumentPtr CFinishGoodIn::Doc() { return m_MDocSup->Doc(); }

host::NamedValueListPtr CFinishGoodIn::CalcSpecColumns(const host::NamedValueListPtr& oColumns,
                                                       const std::string& ChangeFld,
                                                       const host::NamedValueListPtr& oParms) {
  return m_Calc->CalcSpecColumns(oColumns, ChangeFld, oParms);
}

std::vector<std::string> CFinishGoodIn::CalcSpecColList() { return m_Calc->SColCalc(); }

host::THGoodSpecPtr CFinishGoodIn::GoodSpec() { return m_MDocSup->DocSpec(); }

std::shared_ptr<host::ILotByTHDoc> CFinishGoodIn::LotByDoc() {
  if (!m_Lot) {
    auto lot = std::make_shared<CLotByMDoc>();
    lot->Init(Self());
    m_Lot = std::move(lot);
  }
  return m_Lot;
}

int32_t CFinishGoodIn::MenuForGoodProperty() { return kMaterialGoodPropertyMenu; }

}  // namespace qts::handlers
