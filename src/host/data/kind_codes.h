// The host's kind codes: the type of a named value, a query column or a condition value.
// Every code the host and the component use is named once, in Kind. The host's calls take a
// kind as a Kind or as the code itself: callers pass codes through unchanged, and a code that
// Kind does not name still works (the value then decides how it is read).
#ifndef QTS_HOST_DATA_KIND_CODES_H_
#define QTS_HOST_DATA_KIND_CODES_H_

#include <cstdint>

#include "sql/catalogue.h"

namespace qts::host {

enum class Kind : int32_t {
  kNone = 0,         // no kind: the value decides (a run parameter such as "Book")
  kCategory = 1,     // category codes ("g.Category", "gs.FixCategory")
  kRowId = 2,        // integer row identifiers ("SpecID", a parent's "IDC")
  kLongId = 3,       // long identifiers and numeric codes ("IDC", "FixCat", "StoreId")
  kNullableId = 4,   // a row identifier that may be missing (the "IDC" of a left-joined row)
  kFloat = 5,        // floating-point numbers
  kCurrency = 6,     // money values read as Currency
  kCode = 7,         // codes ("GoodCode", "StoreCode", "UnitCode", "PlantCode", "Number")
  kString = 8,       // text fields of rows and person selectors ("BOperCode", "FACode")
  kDate = 9,         // dates ("DocDate", "BegDate", "EndDate", "ToDate", "RepDate")
  kFixDocDate = 10,  // the date of a write-off document ("FixDocDate")
  kFlag = 14,        // flags ("IsGroup", "IsPosted")
  kText = 15,        // texts ("DocNr", "Month", "cEnterprise", store selections, "GoodGroup")
  kName = 16,        // names ("Name", "GoodName")
  kMoney = 19,       // money sums ("Summa", "RestSumma", "CostSumma")
  kQuantity = 20,    // quantities ("Amount", "AmountAccount", "Rest")
  kWeight = 21,      // weights in tonnes, to four places (a packaging declaration's amounts)
  kPersonText = 23,  // a person's position and name in one text
  kPrice = 24,       // prices ("Price")
  kUser = 30,        // a user as a number (an order's "Author")
  kObject = 100,     // an object: a report's data list (a Recordset, or an object with a
                     // "Recordset" property), an order's document
};

// The code a kind is passed as.
constexpr int32_t Code(Kind kind) { return static_cast<int32_t>(kind); }

enum class KindClass { kUnknown, kInteger, kNumber, kText, kDate };

// How the host reads a value of this kind: identifiers, categories, flags and users as
// integers; money, quantities, weights, prices and floating values as numbers (all but kFloat as
// Currency); codes, texts and names as text; dates as dates. kNone, kObject and codes Kind
// does not name are unknown: the value decides.
constexpr KindClass ClassOfKind(Kind kind) {
  // No default: a kind added to Kind without a class here does not compile (-Wswitch).
  switch (kind) {
    case Kind::kCategory:
    case Kind::kRowId:
    case Kind::kLongId:
    case Kind::kNullableId:
    case Kind::kFlag:
    case Kind::kUser:
      return KindClass::kInteger;
    case Kind::kFloat:
    case Kind::kCurrency:
    case Kind::kMoney:
    case Kind::kQuantity:
    case Kind::kWeight:
    case Kind::kPrice:
      return KindClass::kNumber;
    case Kind::kCode:
    case Kind::kString:
    case Kind::kText:
    case Kind::kName:
    case Kind::kPersonText:
      return KindClass::kText;
    case Kind::kDate:
    case Kind::kFixDocDate:
      return KindClass::kDate;
    case Kind::kNone:
    case Kind::kObject:
      return KindClass::kUnknown;
  }
  return KindClass::kUnknown;
}
constexpr KindClass ClassOfKind(int32_t code) { return ClassOfKind(static_cast<Kind>(code)); }

// The kind a catalogue column of this type gets in a query's column list.
constexpr Kind KindOfSqlType(sql::SqlType type) {
  switch (type) {
    case sql::SqlType::kInteger:
      return Kind::kLongId;
    case sql::SqlType::kNumber:
      return Kind::kQuantity;
    case sql::SqlType::kFloat:
      return Kind::kFloat;
    case sql::SqlType::kText:
      return Kind::kText;
    case sql::SqlType::kDate:
      return Kind::kDate;
    case sql::SqlType::kBoolean:
      return Kind::kFlag;
    case sql::SqlType::kUnknown:
      break;
  }
  return Kind::kNone;
}

}  // namespace qts::host

#endif  // QTS_HOST_DATA_KIND_CODES_H_
