// Bookkeeping shared by every object of the component: the count of live objects behind
// DllCanUnloadNow, and the start-up routine that must have run before the first object.
#ifndef QTS_FRAME_COMPONENT_OBJECT_H_
#define QTS_FRAME_COMPONENT_OBJECT_H_

#include <cstdint>

namespace qts::frame {

// Base of the component's classes. Constructing one runs the start-up routine if it has not
// run yet (and fails with its error if start-up fails).
class ComponentObject {
 public:
  ComponentObject();
  ComponentObject(const ComponentObject&) = delete;
  ComponentObject& operator=(const ComponentObject&) = delete;
  virtual ~ComponentObject();

  // Objects of the component alive now.
  static int64_t LiveCount();
};

// Factory locks (IClassFactory::LockServer) held now.
void AddServerLock(int delta);
int64_t ServerLockCount();

}  // namespace qts::frame

#endif  // QTS_FRAME_COMPONENT_OBJECT_H_
