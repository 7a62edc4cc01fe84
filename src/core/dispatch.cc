#include "core/dispatch.h"

#include "core/error.h"
#include "core/text.h"

namespace qts {

DispatchTable& DispatchTable::Add(std::string_view name, InvokeKind kind, Handler handler) {
  members_[{AsciiLower(name), kind}] = std::move(handler);
  return *this;
}

Variant DispatchTable::Invoke(std::string_view owner, std::string_view name, InvokeKind kind,
                              std::vector<Variant>& args) const {
  std::string lower = AsciiLower(name);
  auto it = members_.find({lower, kind});
  // A method without arguments may be read like a property, as late-bound callers do.
  if (it == members_.end() && kind == InvokeKind::kPropertyGet) {
    it = members_.find({lower, InvokeKind::kMethod});
  }
  if (it == members_.end() && kind == InvokeKind::kMethod) {
    it = members_.find({lower, InvokeKind::kPropertyGet});
  }
  if (it == members_.end()) {
    throw Error(kErrNoSuchMember, std::string(owner),
                std::string(StandardErrorText(kErrNoSuchMember)) + ": " + std::string(name));
  }
  return it->second(args);
}

bool DispatchTable::HasMember(std::string_view name) const {
  std::string lower = AsciiLower(name);
  for (InvokeKind kind : {InvokeKind::kMethod, InvokeKind::kPropertyGet, InvokeKind::kPropertyPut,
                          InvokeKind::kPropertyPutRef}) {
    if (members_.count({lower, kind})) return true;
  }
  return false;
}

Variant CallByName(const ObjectPtr& object, std::string_view name, InvokeKind kind,
                   std::vector<Variant> args) {
  if (!object) throw Error(kErrObjectRequired);
  auto dispatch = TryQueryInterface<IDispatch>(object);
  if (!dispatch) {
    throw Error(kErrNoSuchMember, std::string(object->ClassName()),
                std::string(StandardErrorText(kErrNoSuchMember)) + ": " + std::string(name));
  }
  return dispatch->Invoke(name, kind, args);
}

Variant ArgOr(const std::vector<Variant>& args, size_t index, const Variant& fallback) {
  if (index < args.size() && !args[index].IsEmpty()) return args[index];
  return fallback;
}

}  // namespace qts
