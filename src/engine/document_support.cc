#include "engine/document_support.h"

#include "core/convert.h"
#include "core/error.h"
#include "frame/catalogue.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"

namespace qts::engine {

namespace {

// Late-bound arguments: an omitted or Empty argument takes the default; an object argument
// must be of the expected class (error 13 otherwise).
template <class T>
std::shared_ptr<T> ObjectArg(const std::vector<Variant>& args, size_t index) {
  Variant v = ArgOr(args, index, Variant::Nothing());
  if (v.IsNothing()) return nullptr;
  if (!v.IsObject()) throw Error(kErrTypeMismatch);
  auto typed = std::dynamic_pointer_cast<T>(v.AsObject());
  if (!typed) throw Error(kErrTypeMismatch);
  return typed;
}

Variant ObjectResult(const ObjectPtr& object) { return Variant(object); }

void RequireArgs(const std::vector<Variant>& args, size_t count, std::string_view member) {
  if (args.size() < count) {
    throw Error(kErrInvalidCall, std::string(member),
                "argument not optional: " + std::string(member) + " takes " +
                    std::to_string(count) + " argument(s)");
  }
}

}  // namespace

IMDocSupportClass::IMDocSupportClass() {
  using K = InvokeKind;
  table_
      .Add("Init", K::kMethod,
           [this](std::vector<Variant>& a) {
             Init(ObjectArg<host::THDocument>(a, 0));
             return Variant();
           })
      .Add("CrDocByOrder", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 2, "CrDocByOrder");
             return Variant(CrDocByOrder(
                 CLng(a[0]), CLng(a[1]), ObjectArg<host::NamedValueList>(a, 2),
                 CBool(ArgOr(a, 3, Variant(false))), CDate(ArgOr(a, 4, Variant(Date())))));
           })
      .Add("Doc", K::kPropertyGet, [this](std::vector<Variant>&) { return ObjectResult(Doc()); })
      .Add("IfExist", K::kPropertyGet,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 2, "IfExist");
             return Variant(IfExist(CLng(a[0]), CLng(a[1])));
           })
      .Add("IsSingleDoc", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(IsSingleDoc()); })
      .Add("FillSpec", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 3, "FillSpec");
             FillSpec(CStr(a[0]), CStr(a[1]), CCur(a[2]));
             return Variant();
           })
      .Add("FillSpec2", K::kMethod,
           [this](std::vector<Variant>&) {
             FillSpec2();
             return Variant();
           })
      .Add("QuestionToCustom", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 1, "QuestionToCustom");
             return Variant(QuestionToCustom(CLng(a[0]), CBool(ArgOr(a, 1, Variant(false))),
                                             CLng(ArgOr(a, 2, Variant(kDefaultButtonGroup)))));
           })
      .Add("CrParamList", K::kMethod,
           [this](std::vector<Variant>& a) {
             return ObjectResult(CrParamList(CLng(ArgOr(a, 0, Variant(int32_t{0}))),
                                             ObjectArg<host::NamedValueList>(a, 1)));
           })
      .Add("UseParamList", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 1, "UseParamList");
             UseParamList(ObjectArg<host::NamedValueList>(a, 0));
             return Variant();
           })
      .Add("CheckOnSpecDelete", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 1, "CheckOnSpecDelete");
             return Variant(CheckOnSpecDelete(ObjectArg<Object>(a, 0)));
           })
      .Add("ParentDoc", K::kPropertyGet,
           [this](std::vector<Variant>&) { return ObjectResult(ParentDoc()); });
}

Variant IMDocSupportClass::Invoke(std::string_view name, InvokeKind kind,
                                  std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

IMMatDocSupportClass::IMMatDocSupportClass() {
  using K = InvokeKind;
  table_
      .Add("SetPriceByStOrder", K::kMethod,
           [this](std::vector<Variant>&) {
             SetPriceByStOrder();
             return Variant();
           })
      .Add("SetPriceWriteOff", K::kMethod,
           [this](std::vector<Variant>&) {
             SetPriceWriteOff();
             return Variant();
           })
      .Add("UpdateAmount", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 2, "UpdateAmount");
             return Variant(UpdateAmount(CLng(a[0]), CCur(a[1])));
           })
      .Add("MDocSup", K::kPropertyGet,
           [this](std::vector<Variant>&) { return ObjectResult(MDocSup()); });
}

Variant IMMatDocSupportClass::Invoke(std::string_view name, InvokeKind kind,
                                     std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

IMOpDocSupportClass::IMOpDocSupportClass() {
  using K = InvokeKind;
  table_
      .Add("UpdateDocSpec", K::kMethod,
           [this](std::vector<Variant>& a) {
             RequireArgs(a, 2, "UpdateDocSpec");
             UpdateDocSpec(ObjectArg<host::THDocument>(a, 0), CLng(a[1]));
             return Variant();
           })
      .Add("MDocSup", K::kPropertyGet,
           [this](std::vector<Variant>&) { return ObjectResult(MDocSup()); });
}

Variant IMOpDocSupportClass::Invoke(std::string_view name, InvokeKind kind,
                                    std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

void CMaterialDocBase::Init(const host::THDocumentPtr& Doc, const ObjectPtr& owner) {
  doc_ = Doc;
  owner_ = owner;
  app_ = Doc ? Doc->Application() : nullptr;
}

namespace {
const frame::ClassRegistrar kIMOpDocSupport("IMOpDocSupport", [] {
  return std::static_pointer_cast<Object>(std::make_shared<IMOpDocSupportClass>());
});
}  // namespace

}  // namespace qts::engine
