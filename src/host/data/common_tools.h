// CommonTools: the host's small shared helpers (one shared instance): Nvl, the host's money
// rounding and object creation by programmatic identifier.
#ifndef QTS_HOST_DATA_COMMON_TOOLS_H_
#define QTS_HOST_DATA_COMMON_TOOLS_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/currency.h"
#include "core/object.h"
#include "core/variant.h"

namespace qts::host {

class ComponentHost;

class CommonTools : public virtual Object {
 public:
  CommonTools();
  ~CommonTools() override;
  static std::shared_ptr<CommonTools> Instance();
  std::string_view ClassName() const override { return "CommonTools"; }

  // `value`, or `default_value` when it is Null or Empty.
  [[nodiscard]] Variant Nvl(const Variant& value, const Variant& default_value) const;
  // The host's rounding (half away from zero) of `value` to `digits` places; the value is
  // converted to Currency first (error 13 / 94 / 6 as CCur raises them).
  [[nodiscard]] Currency RoundCy(const Variant& value, int digits) const;
  // Creates an object by programmatic identifier through the host's component host (the
  // registry of the installation). The second argument is reserved (0). Raises error 429
  // naming what is missing.
  [[nodiscard]] ObjectPtr CreateObject(std::string_view progid, int32_t reserved = 0);

 private:
  std::unique_ptr<ComponentHost> host_;
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_COMMON_TOOLS_H_
