#include "host/data/common_tools.h"

#include "core/convert.h"
#include "host/plugin/component_host.h"

namespace qts::host {

CommonTools::CommonTools() = default;
CommonTools::~CommonTools() = default;

std::shared_ptr<CommonTools> CommonTools::Instance() {
  static const std::shared_ptr<CommonTools> instance = std::make_shared<CommonTools>();
  return instance;
}

Variant CommonTools::Nvl(const Variant& value, const Variant& default_value) const {
  return value.IsNull() || value.IsEmpty() ? default_value : value;
}

Currency CommonTools::RoundCy(const Variant& value, int digits) const {
  return qts::RoundCy(CCur(value), digits);
}

ObjectPtr CommonTools::CreateObject(std::string_view progid, int32_t /*reserved*/) {
  if (!host_) host_ = std::make_unique<ComponentHost>();
  return host_->CreateObject(progid);
}

}  // namespace qts::host
