// The platform's operators on Variants.
//
// Null: any arithmetic or comparison with Null gives Null. Empty acts as 0 next to a number and
// as "" next to text; Add returns the other side unchanged when one side is Empty.
//
// Result types (Boolean counts as Integer, text as Double):
//   Add, Sub   Integer < Long < Double < Currency < Date   (the wider type wins;
//              Date - Date is Double; String + String concatenates)
//   Mul        Integer < Long < Currency < Double          (a Date counts as Double)
//   Div        always Double (Integer / Integer too; the platform's Single does not exist here)
//   IntDiv, Mod  operands rounded half to even to Long first; Integer when both sides are
//              Integer or Boolean, otherwise Long
// An Integer result that overflows becomes Long, a Long one Double; Currency, Date and Double
// results that overflow raise error 6. Division by zero raises 11, 0 / 0 raises 6.
// Objects in arithmetic or comparison raise error 13.
//
// Comparisons: numbers (Boolean, Integer, Long, Double, Currency, Date) compare as numbers;
// text compares binary (by code unit, "AAA" < "aaa"); a number is always less than text, so
// 5 = "5" is False. Empty is 0 against a number, "" against text, and equal to Empty.
#ifndef QTS_CORE_OPERATORS_H_
#define QTS_CORE_OPERATORS_H_

#include "core/variant.h"

namespace qts {

Variant Add(const Variant& a, const Variant& b);
Variant Sub(const Variant& a, const Variant& b);
Variant Mul(const Variant& a, const Variant& b);
Variant Div(const Variant& a, const Variant& b);
Variant IntDiv(const Variant& a, const Variant& b);
Variant Mod(const Variant& a, const Variant& b);
Variant Neg(const Variant& a);
// `&`: both sides as text (CStr); a Null side counts as "", Null & Null is Null.
Variant Concat(const Variant& a, const Variant& b);

// Boolean, or Null when a side is Null.
Variant Eq(const Variant& a, const Variant& b);
Variant Ne(const Variant& a, const Variant& b);
Variant Lt(const Variant& a, const Variant& b);
Variant Le(const Variant& a, const Variant& b);
Variant Gt(const Variant& a, const Variant& b);
Variant Ge(const Variant& a, const Variant& b);

// The ordering behind the comparisons: -1, 0 or 1, or nullopt when a side is Null.
std::optional<int> Compare(const Variant& a, const Variant& b);

}  // namespace qts

#endif  // QTS_CORE_OPERATORS_H_
