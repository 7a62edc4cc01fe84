#include "host/data/variant_json.h"

namespace qts::host {

nlohmann::ordered_json ToJson(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull:
    case VarType::kObject:
      return nullptr;
    case VarType::kBoolean:
      return value.AsBool();
    case VarType::kInteger:
      return value.AsInteger();
    case VarType::kLong:
      return value.AsLong();
    case VarType::kDouble:
      return value.AsDouble();
    case VarType::kCurrency:
      // Read from the exact decimal text, so 0.1 stays 0.1 and 12 stays an integer.
      return nlohmann::ordered_json::parse(value.AsCurrency().ToString());
    case VarType::kDate:
      return value.AsDate().ToIso();
    case VarType::kString:
      return value.AsString();
  }
  return nullptr;
}

}  // namespace qts::host
