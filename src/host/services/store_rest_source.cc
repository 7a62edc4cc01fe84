#include "host/services/store_rest_source.h"

#include <cmath>

#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"

namespace qts::host {

std::shared_ptr<Query> StoreRestSource::RestOnDate(const AppContextPtr& app, Date date,
                                                   bool only_nonzero) const {
  if (!app || !app->IsOpen())
    throw Error(kErrInvalidCall, "StoreRestSource", "RestOnDate: no open book given");
  QueryPtr q = app->CreateQuery("STStoreRest");
  // Movements are dated by day: a time of day must not shift the boundary.
  q->Parameters().Item("DateRest").SetValue(Variant(Date(std::floor(date.Serial()))));
  q->Fields().KeepOnly({"StoreId", "StoreCode", "GoodCode", "Rest"});
  // Quantities add up exactly (the book keeps them in decimal), so a rest that is gone is 0.
  if (only_nonzero) q->AddWhere(q->Alias() + ".Rest <> 0");
  return q;
}

}  // namespace qts::host
