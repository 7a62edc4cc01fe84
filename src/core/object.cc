#include "core/object.h"

namespace qts {

std::shared_ptr<Object> Object::QueryInterface(const Guid& iid) {
  if (iid == kIidIUnknown) return shared_from_this();
  return nullptr;
}

}  // namespace qts
