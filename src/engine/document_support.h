// The interfaces through which a document dialog talks to whatever object supports a material
// document type, without knowing the concrete handler, and the calculation variants.
//
// Each interface is also a class of its own whose members do nothing and answer null, 0 or
// False: that is what a bare object of the class does, and what a handler inherits for the
// members it does not serve. Optional arguments carry the defaults the host relies on.
#ifndef QTS_ENGINE_DOCUMENT_SUPPORT_H_
#define QTS_ENGINE_DOCUMENT_SUPPORT_H_

#include <cstdint>
#include <memory>
#include <string>

#include "core/currency.h"
#include "core/date.h"
#include "core/dispatch.h"
#include "core/object.h"
#include "frame/component_object.h"
#include "host/fwd.h"

namespace qts::engine {

// Calculation variant of the engine's specification filling and of the column calculator.
enum CalcVariantEnum : int32_t {
  enCalcDocIn = 1,
  enCalcEquip = 2,
  enCalcOper = 3,
  enCalcSimple = 4,
};

// The shared library's button group; only the default is fixed here.
using ButtonGroup = int32_t;
inline constexpr ButtonGroup kDefaultButtonGroup = 11;

class IMDocSupport : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("A828FA2E-2A56-47AC-9420-CCD16E707B58");
  static constexpr std::string_view kName = "IMDocSupport";

  virtual void Init(const host::THDocumentPtr& /*Doc*/ = nullptr) {}
  // The zero date means "today" to the engine.
  virtual bool CrDocByOrder(int32_t /*OrderId*/, int32_t /*ArticleId*/,
                            const host::NamedValueListPtr& /*SpFields*/ = nullptr,
                            bool /*IsSilence*/ = false, Date /*DocDate*/ = Date()) {
    return false;
  }
  virtual host::THDocumentPtr Doc() { return nullptr; }
  // Identifier of the document already made for the order row, 0 when none.
  virtual int32_t IfExist(int32_t /*OrderId*/, int32_t /*ArticleId*/) { return 0; }
  virtual bool IsSingleDoc() { return false; }
  virtual void FillSpec(const std::string& /*Good*/, const std::string& /*Unit*/,
                        Currency /*Amount*/) {}
  virtual void FillSpec2() {}
  virtual ButtonGroup QuestionToCustom(int32_t /*id*/, bool /*IsSilence*/ = false,
                                       ButtonGroup /*btGroup*/ = kDefaultButtonGroup) {
    return 0;
  }
  virtual host::NamedValueListPtr CrParamList(
      int32_t /*ArticleId*/ = 0, const host::NamedValueListPtr& /*SpFields*/ = nullptr) {
    return nullptr;
  }
  virtual void UseParamList(const host::NamedValueListPtr& /*Params*/) {}
  // True allows the row to be deleted from the document.
  virtual bool CheckOnSpecDelete(const ObjectPtr& /*SpecObj*/) { return false; }
  // The order document the current document was created from.
  virtual host::THDocumentPtr ParentDoc() { return nullptr; }
};

class IMMatDocSupport : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("921DBAB2-613F-4430-8692-38BFC9F5584C");
  static constexpr std::string_view kName = "IMMatDocSupport";

  virtual void SetPriceByStOrder() {}
  virtual void SetPriceWriteOff() {}
  virtual bool UpdateAmount(int32_t /*PosNumb*/, Currency /*NewAmount*/) { return false; }
  virtual std::shared_ptr<IMDocSupport> MDocSup() { return nullptr; }
};

class IMOpDocSupport : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("A8C521A9-91C1-4047-99DB-B28EF118D743");
  static constexpr std::string_view kName = "IMOpDocSupport";

  virtual void UpdateDocSpec(const host::THDocumentPtr& /*ParentDoc*/, int32_t /*AddIdc*/) {}
  virtual std::shared_ptr<IMDocSupport> MDocSup() { return nullptr; }
};

// Bare objects of the three interface classes, reachable by name as well. Only the last one
// is creatable by programmatic identifier; the other two come from handlers.
class IMDocSupportClass final : public frame::ComponentObject,
                                public Implements<IMDocSupport, IDispatch> {
 public:
  IMDocSupportClass();
  std::string_view ClassName() const override { return "IMDocSupport"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  DispatchTable table_;
};

class IMMatDocSupportClass final : public frame::ComponentObject,
                                   public Implements<IMMatDocSupport, IDispatch> {
 public:
  IMMatDocSupportClass();
  std::string_view ClassName() const override { return "IMMatDocSupport"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  DispatchTable table_;
};

class IMOpDocSupportClass final : public frame::ComponentObject,
                                  public Implements<IMOpDocSupport, IDispatch> {
 public:
  IMOpDocSupportClass();
  std::string_view ClassName() const override { return "IMOpDocSupport"; }
  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  DispatchTable table_;
};

// The engine's companion: keeps a reference to its owner (weakly, so the two do not keep each
// other alive) and accepts the chart list of the equipment variant without keeping it.
class CMDocSupportApp final : public frame::ComponentObject, public virtual Object {
 public:
  std::string_view ClassName() const override { return "CMDocSupportApp"; }
  void Init(const ObjectPtr& owner) { owner_ = owner; }
  void AddFillMList(const ObjectPtr& /*List*/) {}
  ObjectPtr Owner() const { return owner_.lock(); }

 private:
  std::weak_ptr<Object> owner_;
};

// Base of material documents: the document, its owner and the document's book.
class CMaterialDocBase final : public frame::ComponentObject, public virtual Object {
 public:
  std::string_view ClassName() const override { return "CMaterialDocBase"; }
  void Init(const host::THDocumentPtr& Doc, const ObjectPtr& owner);
  const host::THDocumentPtr& Doc() const { return doc_; }
  const ObjectPtr& Owner() const { return owner_; }
  const host::AppContextPtr& App() const { return app_; }

 private:
  host::THDocumentPtr doc_;
  ObjectPtr owner_;
  host::AppContextPtr app_;
};

}  // namespace qts::engine

#endif  // QTS_ENGINE_DOCUMENT_SUPPORT_H_
