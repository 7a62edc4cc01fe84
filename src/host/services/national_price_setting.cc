#include "host/services/national_price_setting.h"

#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"

namespace qts::host {

bool NationalPriceSetting::IsOn(std::string_view doc_type, const AppContextPtr& book) const {
  if (!book) return false;
  const NamedValueList& settings = book->Settings();
  for (const std::string& name :
       {"NationalPrice." + std::string(doc_type), std::string("NationalPrice")}) {
    const NamedValue* entry = settings.Find(name);
    if (!entry || entry->Value().IsNull() || entry->Value().IsEmpty()) continue;
    try {
      return CBool(entry->Value());
    } catch (const Error&) {
      throw Error(kErrTypeMismatch, "NationalPriceSetting",
                  "the setting \"" + name + "\" is neither a number nor True/False");
    }
  }
  return false;
}

}  // namespace qts::host
