// Late binding: calling a member of an object by its name, the way script code and the
// host's dialog framework reach controls and some host objects. Only objects that need it
// implement IDispatch; everything else is called through its typed interfaces.
#ifndef QTS_CORE_DISPATCH_H_
#define QTS_CORE_DISPATCH_H_

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/variant.h"

namespace qts {

enum class InvokeKind { kMethod = 1, kPropertyGet = 2, kPropertyPut = 4, kPropertyPutRef = 8 };

class IDispatch : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("00020400-0000-0000-C000-000000000046");
  static constexpr std::string_view kName = "IDispatch";

  // Calls member `name` (any case). `args` are passed by reference: a member may change them.
  // For a property put the new value is the last argument. Unknown members raise error 438.
  virtual Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) = 0;
  // Whether the object has a member of that name, of any kind.
  virtual bool HasMember(std::string_view name) const = 0;
};

// The members of one object, by name; objects that implement IDispatch keep one and forward.
class DispatchTable {
 public:
  using Handler = std::function<Variant(std::vector<Variant>& args)>;

  // Adds a member; a name may have one handler per kind (a property's get and put).
  DispatchTable& Add(std::string_view name, InvokeKind kind, Handler handler);
  Variant Invoke(std::string_view owner, std::string_view name, InvokeKind kind,
                 std::vector<Variant>& args) const;
  bool HasMember(std::string_view name) const;

 private:
  std::map<std::pair<std::string, InvokeKind>, Handler> members_;  // lower-case name
};

// The platform's CallByName: the object must implement IDispatch (error 438 otherwise).
Variant CallByName(const ObjectPtr& object, std::string_view name, InvokeKind kind,
                   std::vector<Variant> args = {});

// Argument helpers for handlers: the argument at `index`, or `fallback` when it was omitted.
// Returned by value: the fallback is often a temporary of the caller's expression.
Variant ArgOr(const std::vector<Variant>& args, size_t index, const Variant& fallback);

}  // namespace qts

#endif  // QTS_CORE_DISPATCH_H_
