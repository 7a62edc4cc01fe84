// Whether a document type's dialogs work in national prices: the book's system setting
// "NationalPrice.<type>" ("NationalPrice.MMO"), else "NationalPrice"; 0 or missing means no.
// In national-price mode a write-off's grid shows the national price and the cost instead of
// the price and the algebraic sum, and the price buttons are hidden.
#ifndef QTS_HOST_SERVICES_NATIONAL_PRICE_SETTING_H_
#define QTS_HOST_SERVICES_NATIONAL_PRICE_SETTING_H_

#include <string_view>

#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class NationalPriceSetting final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "NationalPriceSetting"; }

  // The setting for `doc_type` in `book` (see above). A setting that is no number or Boolean
  // raises error 13 naming it.
  [[nodiscard]] bool IsOn(std::string_view doc_type, const AppContextPtr& book) const;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_NATIONAL_PRICE_SETTING_H_
