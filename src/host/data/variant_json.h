// The JSON form of a value: one writer for every JSON the host kit and the qts command print
// (report data, documents and their rows).
#ifndef QTS_HOST_DATA_VARIANT_JSON_H_
#define QTS_HOST_DATA_VARIANT_JSON_H_

#include <nlohmann/json.hpp>

#include "core/variant.h"

namespace qts::host {

// `value` as JSON:
// - Null, Empty and objects: null; Boolean: true or false;
// - Integer and Long: an integer;
// - Currency (money, quantities, prices): the number its exact decimal text says ("12.5",
//   "-1086.4292", "0.1") - a whole amount is an integer ("12", not "12.0"); a reader gets the
//   decimal back as written for amounts of up to 15 significant digits, all a double holds;
// - Double: the shortest number that reads back as the same double;
// - Date: "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when it has a time;
// - text: a string.
nlohmann::ordered_json ToJson(const Variant& value);

}  // namespace qts::host

#endif  // QTS_HOST_DATA_VARIANT_JSON_H_
