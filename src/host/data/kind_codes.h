// The host's kind codes: the type of a named value, a query column or a condition value.
// Callers pass them through unchanged; the host reads them as one of a few value classes.
#ifndef QTS_HOST_DATA_KIND_CODES_H_
#define QTS_HOST_DATA_KIND_CODES_H_

#include <cstdint>

#include "sql/catalogue.h"

namespace qts::host {

enum class KindClass { kUnknown, kInteger, kNumber, kText, kDate };

// 1 category, 2 and 4 row identifiers, 3 long identifiers, 14 flags, 30 a user number:
// integers. 5 and 6 floating and money values, 19 sums, 20 quantities, 24 prices: numbers
// (money and quantities are read as Currency). 7 codes, 8 and 15 texts, 16 names, 23 person
// texts: text. 9 and 10 dates. Anything else (0, 100 data lists, ...) is unknown and the value
// decides.
constexpr KindClass ClassOfKind(int32_t kind) {
  switch (kind) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 14:
    case 30:
      return KindClass::kInteger;
    case 5:
    case 6:
    case 19:
    case 20:
    case 24:
      return KindClass::kNumber;
    case 7:
    case 8:
    case 15:
    case 16:
    case 23:
      return KindClass::kText;
    case 9:
    case 10:
      return KindClass::kDate;
    default:
      return KindClass::kUnknown;
  }
}

// The kind code a catalogue column of this type gets in a query's column list.
constexpr int32_t KindOfSqlType(sql::SqlType type) {
  switch (type) {
    case sql::SqlType::kInteger:
      return 3;
    case sql::SqlType::kNumber:
      return 20;
    case sql::SqlType::kFloat:
      return 5;
    case sql::SqlType::kText:
      return 15;
    case sql::SqlType::kDate:
      return 9;
    case sql::SqlType::kBoolean:
      return 14;
    case sql::SqlType::kUnknown:
      break;
  }
  return 0;
}

}  // namespace qts::host

#endif  // QTS_HOST_DATA_KIND_CODES_H_
