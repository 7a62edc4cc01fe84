#include "host/services/date_tools.h"

namespace qts::host {

std::string DateTools::MonthName(Date date) const {
  static constexpr const char* kMonths[] = {"sausis",   "vasaris",  "kovas",     "balandis",
                                            "gegužė",   "birželis", "liepa",     "rugpjūtis",
                                            "rugsėjis", "spalis",   "lapkritis", "gruodis"};
  return kMonths[date.Month() - 1];
}

}  // namespace qts::host
