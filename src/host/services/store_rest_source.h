// StoreRestSource: the stock rests per store and good on a date, as a query that reports join
// or open (the book's source "STStoreRest": posted incoming minus posted outgoing accounting
// quantities dated up to the date; see docs/stock-model.md).
#ifndef QTS_HOST_SERVICES_STORE_REST_SOURCE_H_
#define QTS_HOST_SERVICES_STORE_REST_SOURCE_H_

#include <memory>
#include <string_view>

#include "core/date.h"
#include "core/object.h"
#include "host/fwd.h"

namespace qts::host {

class StoreRestSource : public virtual Object {
 public:
  std::string_view ClassName() const override { return "StoreRestSource"; }

  // A query (not opened) with the columns StoreId (3), StoreCode (7), GoodCode (7) and Rest
  // (20, accounting units) of every store and good moved by posted stock documents dated up to
  // `date`; the date's time part is ignored. With `only_nonzero` the rows whose rest is 0 are
  // left out. The caller may add conditions, joins and an order before opening it. Error 5
  // (source "StoreRestSource") for a null or closed book.
  [[nodiscard]] std::shared_ptr<Query> RestOnDate(const AppContextPtr& app, Date date,
                                                  bool only_nonzero) const;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_STORE_REST_SOURCE_H_
