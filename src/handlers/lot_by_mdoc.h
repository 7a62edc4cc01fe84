// CLotByMDoc: the lot handler of material documents. It wraps the host's standard lot handler:
// a material document always keeps its lots on stock, the lot-property and specification
// operations are the host handler's, and serial-number and accessory editing is switched off.
//
// The document handlers (CItemWriteOff, CFinishGoodIn) create one from ITHDoc.LotByDoc and call
// Init right away. The members that forward to the host handler need Init to have run: before
// it they raise 424 with source "CLotByMDoc". IsUseLotOnStock, SerNumbEdit and ItemAccesoryEdit
// work without Init.
#ifndef QTS_HANDLERS_LOT_BY_MDOC_H_
#define QTS_HANDLERS_LOT_BY_MDOC_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/object.h"
#include "core/variant.h"
#include "frame/component_object.h"
#include "host/interfaces.h"

namespace qts::handlers {

class CLotByMDoc final : public frame::ComponentObject, public Implements<host::ILotByTHDoc> {
 public:
  CLotByMDoc() = default;
  ~CLotByMDoc() override;
  std::string_view ClassName() const override { return "CLotByMDoc"; }

  // Makes a fresh host lot handler, initialises it with `THDoc` and keeps `THDoc` (weakly: the
  // document handler owns this object). A second call replaces the host handler.
  void Init(const std::shared_ptr<host::ITHDoc>& THDoc) override;
  // Always True, also before Init.
  bool IsUseLotOnStock() override { return true; }
  void FormDocumentSpec(const ObjectPtr& obj) override;
  void SetCurrentPosNumb(int32_t value) override;
  void WriteAllLotProperty(Variant& a) override;
  void WriteLotProperty(Variant& a, Variant& b) override;
  Variant ReadLotProperty(Variant& id) override;
  // Material documents keep no serial numbers or accessories: nothing happens.
  void SerNumbEdit(Variant& /*a*/) override {}
  void ItemAccesoryEdit(Variant& /*a*/, Variant& /*b*/, Variant& /*c*/, Variant& /*d*/) override {}

  // The host handler the calls go to (null before Init) and the document handler given to
  // Init (null before Init or when it is gone).
  const std::shared_ptr<host::ILotByTHDoc>& Inner() const { return m_Inner; }
  std::shared_ptr<host::ITHDoc> THDoc() const { return m_THDoc.lock(); }

 private:
  host::ILotByTHDoc& RequireInner(std::string_view member) const;

  std::shared_ptr<host::ILotByTHDoc> m_Inner;
  std::weak_ptr<host::ITHDoc> m_THDoc;
};

}  // namespace qts::handlers

#endif  // QTS_HANDLERS_LOT_BY_MDOC_H_
