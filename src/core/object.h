// The object model: shared references as the old component platform had them, interfaces as
// abstract classes whose virtual members follow the host's slot order, a fixed identifier per
// interface and class, and QueryInterface as a checked cast.
#ifndef QTS_CORE_OBJECT_H_
#define QTS_CORE_OBJECT_H_

#include <memory>
#include <string_view>

#include "core/error.h"
#include "core/guid.h"

namespace qts {

// The identity every object answers to.
inline constexpr Guid kIidIUnknown = MakeGuid("00000000-0000-0000-C000-000000000046");

// Base of every object that crosses an interface. Interfaces derive from it virtually so an
// object that implements several of them has one identity.
class Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  // The object seen through interface `iid`, or null when it does not implement it.
  virtual std::shared_ptr<Object> QueryInterface(const Guid& iid);
  // Name of the concrete class, as the catalogue and error messages spell it.
  virtual std::string_view ClassName() const { return "Object"; }
};

using ObjectPtr = std::shared_ptr<Object>;

// Every interface type declares `static constexpr Guid kIid` and `static constexpr
// std::string_view kName`. A class lists the interfaces it implements through Implements<>,
// which answers QueryInterface for exactly those.
template <class... Interfaces>
class Implements : public virtual Object, public Interfaces... {
 public:
  std::shared_ptr<Object> QueryInterface(const Guid& iid) override {
    if (iid == kIidIUnknown || ((iid == Interfaces::kIid) || ...)) return shared_from_this();
    return nullptr;
  }
};

// Checked cast: the object as interface T, or error 13 (type mismatch) when it is not one;
// error 91-style misuse (a null reference) raises 424 "Object required".
template <class T>
std::shared_ptr<T> QueryInterface(const std::shared_ptr<Object>& object) {
  if (!object) throw Error(kErrObjectRequired);
  if (!object->QueryInterface(T::kIid)) throw Error(kErrTypeMismatch);
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) throw Error(kErrTypeMismatch);
  return typed;
}

// As QueryInterface, but null when the object is null or does not implement T.
template <class T>
std::shared_ptr<T> TryQueryInterface(const std::shared_ptr<Object>& object) {
  if (!object || !object->QueryInterface(T::kIid)) return nullptr;
  return std::dynamic_pointer_cast<T>(object);
}

}  // namespace qts

#endif  // QTS_CORE_OBJECT_H_
