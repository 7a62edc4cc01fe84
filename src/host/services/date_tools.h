// Dates as the printed forms show them.
#ifndef QTS_HOST_SERVICES_DATE_TOOLS_H_
#define QTS_HOST_SERVICES_DATE_TOOLS_H_

#include <string>

#include "core/date.h"
#include "core/object.h"

namespace qts::host {

class DateTools : public virtual Object {
 public:
  std::string_view ClassName() const override { return "DateTools"; }

  // The Lithuanian name of the date's month, as a heading writes it: "sausis" .. "gruodis".
  std::string MonthName(Date date) const;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_DATE_TOOLS_H_
