#include "host/services/store_rest_source.h"

#include <cmath>

#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"

namespace qts::host {

std::shared_ptr<Query> StoreRestSource::RestOnDate(const AppContextPtr& app, Date date,
                                                   bool only_nonzero) const {
  if (!app || !app->IsOpen()) throw Error(5, "StoreRestSource", "RestOnDate: no open book given");
  QueryPtr q = app->CreateQuery("STStoreRest");
  // Movements are dated by day: a time of day must not shift the boundary.
  q->Parameters().Item("DateRest").SetValue(Variant(Date(std::floor(date.Serial()))));
  q->Fields().KeepOnly({"StoreId", "StoreCode", "GoodCode", "Rest"});
  if (only_nonzero) {
    // Sums of REAL quantities may leave a residue far below the book's four places.
    q->AddWhere("ROUND(" + q->Alias() + ".Rest, 4) <> 0");
  }
  return q;
}

}  // namespace qts::host
