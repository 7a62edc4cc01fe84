#include "host/ui/control_list.h"

#include <algorithm>

namespace qts::host {

void ControlList::Add(int32_t code) {
  loaded_ = true;
  if (!Exists(code)) codes_.push_back(code);
}

bool ControlList::Exists(int32_t code) const {
  return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

void ControlList::LoadForDocType(std::string_view /*doc_type*/) { loaded_ = true; }

}  // namespace qts::host
