// A small book description for the translator's tests: book Code "C1" and a few sources
// with the columns the system's queries touch.
#ifndef QTS_SQL_TESTING_TEST_CATALOGUE_H_
#define QTS_SQL_TESTING_TEST_CATALOGUE_H_

#include <string>

#include "sql/catalogue.h"

namespace qts::sql::testing {

inline const MemoryCatalogue& TestCatalogue() {
  static const MemoryCatalogue catalogue = [] {
    constexpr SqlType I = SqlType::kInteger, N = SqlType::kNumber, T = SqlType::kText,
                      D = SqlType::kDate, B = SqlType::kBoolean;
    MemoryCatalogue c("C1");
    c.Add({"THDocument",
           {{"IDC", I},
            {"DocTypeCode", T, 10},
            {"DocumentDate", D},
            {"Number", T, 20},
            {"Code", T, 30},
            {"IsPosted", B},
            {"ParentID", I},
            {"Author", I},
            {"StoreCode", T, 10},
            {"CurrencyCode", T, 3}}});
    c.Add({"THGoodSpec",
           {{"IDC", I},
            {"DocID", I},
            {"PosNumb", I},
            {"GoodCode", T, 20},
            {"UnitCode", T, 10},
            {"Amount", N},
            {"AmountAccount", N},
            {"Price", N},
            {"Summa", N},
            {"CostSumm", N},
            {"FixCategory", I}}});
    c.Add({"REFGood",
           {{"Code", T, 20},
            {"Name", T, 100},
            {"Category", I},
            {"SubCategory", I},
            {"IsGroup", B},
            {"IsDomManufact", B}}});
    c.Add({"REFGoodUnit",
           {{"GoodCode", T, 20},
            {"UnitCode", T, 10},
            {"IsAccount", B},
            {"Rate", N},
            {"Weight", N},
            {"GrossWeight", N},
            {"UnitWeightCode", T, 5},
            {"PackType", I},
            {"IsReusable", B},
            {"PackMaterialKind", T, 10}}});
    c.Add({"REFPerson", {{"UserId", I}, {"FirstName", T, 30}, {"LastName", T, 30}}});
    c.Add({"THGoodSpecFixLog",
           {{"IDC", I}, {"OutcomeSpecID", I}, {"IncomeSpecID", I}, {"Amount", N}}});
    c.Add({"STLotProperty", {{"IDC", I}, {"OrderInfo", T, 50}}});
    c.Add({"MFEqFAObject", {{"IDC", I}, {"EqCode", T, 20}, {"FACode", T, 20}, {"UseTime", N}}});
    c.Add({"MMOTHGoodSpec", {{"DocID", I}, {"PosNumb", I}, {"SD1Summa", N}, {"OpSum", N}}});
    c.Add({"THDocType", {{"Code", T, 10}, {"IsIncome", B}, {"IsOrderDirect", B}, {"Category", I}}});
    for (const char* type : {"PISF", "PRSF", "TPPR"}) {
      c.Add({std::string(type) + "THDocument", {{"IDC", I}, {"DocID", I}, {"VATDirection", T, 2}}});
    }
    c.Add({"THGoodContent", {{"SpecId", I}, {"CorSpecID", I}, {"AmountAccount", N}}});
    c.Add({"REFDates", {{"IDC", I}}});
    c.Add({"Odd", {{"Mystery", SqlType::kUnknown}, {"Stamp", SqlType::kFloat}}});
    return c;
  }();
  return catalogue;
}

}  // namespace qts::sql::testing

#endif  // QTS_SQL_TESTING_TEST_CATALOGUE_H_
