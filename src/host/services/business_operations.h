// The book's business operations ("REFBusinessOperation"): which operation a new row of a
// document type gets by default.
#ifndef QTS_HOST_SERVICES_BUSINESS_OPERATIONS_H_
#define QTS_HOST_SERVICES_BUSINESS_OPERATIONS_H_

#include <string>
#include <string_view>

#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class BusinessOperations : public virtual Object {
 public:
  BusinessOperations() = default;
  std::string_view ClassName() const override { return "BusinessOperations"; }

  void Attach(AppContextPtr book);

  // The default business operation of document type `doc_type` for currency `currency`:
  // among the operations of the type marked "IsDefault", the one of that currency, else one
  // without a currency; when `any_when_none` and the type has no default operation at all
  // that fits, the first operation of the type (by code) of that currency or without one.
  // Ties go to the lowest code. "" when nothing fits. Raises the book's error without Attach.
  [[nodiscard]] std::string DefaultOperation(std::string_view doc_type, std::string_view currency,
                                             bool any_when_none);

 private:
  AppContextPtr book_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_BUSINESS_OPERATIONS_H_
