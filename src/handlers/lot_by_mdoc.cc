#include "handlers/lot_by_mdoc.h"

#include <string>

#include "core/error.h"
#include "host/services/host_lot_handler.h"

namespace qts::handlers {

// The host handler goes first, then the document handler, as the host releases them.
CLotByMDoc::~CLotByMDoc() {
  m_Inner.reset();
  m_THDoc.reset();
}

void CLotByMDoc::Init(const std::shared_ptr<host::ITHDoc>& THDoc) {
  auto inner = std::make_shared<host::HostLotHandler>();
  inner->Init(THDoc);
  m_Inner = std::move(inner);
  m_THDoc = THDoc;
}

host::ILotByTHDoc& CLotByMDoc::RequireInner(std::string_view member) const {
  if (!m_Inner) {
    throw Error(kErrObjectRequired, "CLotByMDoc::" + std::string(member),
                "m_Inner == Nothing: Init was not called");
  }
  return *m_Inner;
}

void CLotByMDoc::FormDocumentSpec(const ObjectPtr& obj) {
  RequireInner("FormDocumentSpec").FormDocumentSpec(obj);
}

void CLotByMDoc::SetCurrentPosNumb(int32_t value) {
  RequireInner("CurrentPosNumb").SetCurrentPosNumb(value);
}

void CLotByMDoc::WriteAllLotProperty(Variant& a) {
  RequireInner("WriteAllLotProperty").WriteAllLotProperty(a);
}

void CLotByMDoc::WriteLotProperty(Variant& a, Variant& b) {
  RequireInner("WriteLotProperty").WriteLotProperty(a, b);
}

Variant CLotByMDoc::ReadLotProperty(Variant& id) {
  return RequireInner("ReadLotProperty").ReadLotProperty(id);
}

}  // namespace qts::handlers
