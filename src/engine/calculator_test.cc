#include "engine/calculator.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "frame/catalogue.h"
#include "host/data/named_value_list.h"

namespace qts::engine {

using host::Kind;

namespace {

// Expected values below were worked out by hand on the decimal values: products and
// quotients first, then half away from zero to the stated places.

Variant Cy(const char* text) { return Variant(*Currency::Parse(text)); }

// A row as the grid hands it over: name -> value. "~" stands for Null, "" for Empty, "#x" for
// the text x; anything else is a Currency.
host::NamedValueListPtr Row(const std::vector<std::pair<std::string, std::string>>& columns) {
  auto row = std::make_shared<host::NamedValueList>();
  for (const auto& [name, text] : columns) {
    Variant value;
    if (text == "~") {
      value = Variant::Null();
    } else if (!text.empty() && text[0] == '#') {
      value = Variant(text.substr(1));
    } else if (!text.empty()) {
      value = Cy(text.c_str());
    }
    row->Add(name, Kind::kNone, value);
  }
  return row;
}

// A result value as text: "" for Empty, "-" for an entry the list does not have.
std::string Result(const host::NamedValueList& list, const std::string& name) {
  const host::NamedValue* entry = list.Find(name);
  if (!entry) return "-";
  return entry->Value().IsEmpty() ? "" : CStr(entry->Value());
}

// ---- Trigger columns and result entries per variant ----

struct TriggerCase {
  int32_t variant;
  friend void PrintTo(const TriggerCase& c, std::ostream* os) { *os << "variant " << c.variant; }
  std::vector<std::string> triggers;
  std::vector<std::string> entries;  // result entries right after Init
};

class TriggerTest : public ::testing::TestWithParam<TriggerCase> {};

TEST_P(TriggerTest, InitBuildsTheTriggerList) {
  const TriggerCase& c = GetParam();
  CMCalculator calc;
  calc.Init(c.variant);
  EXPECT_EQ(calc.SColCalc(), c.triggers);
}

TEST_P(TriggerTest, ResultEntriesAndKindsAfterInit) {
  const TriggerCase& c = GetParam();
  CMCalculator calc;
  calc.Init(c.variant);
  // Switching to a variant that computes nothing shows the entries without values.
  calc.Init(0);
  host::NamedValueListPtr list = calc.CalcSpecColumns(std::make_shared<host::NamedValueList>());
  std::vector<std::string> names;
  for (const auto& e : list->Entries()) {
    names.push_back(e->Name());
    EXPECT_TRUE(e->Value().IsEmpty()) << e->Name();
  }
  EXPECT_EQ(names, c.entries);
  EXPECT_EQ(list->Item("Summa").Kind(), Code(Kind::kMoney));
  if (list->ExistsField("BOperCode")) {
    EXPECT_EQ(list->Item("BOperCode").Kind(), Code(Kind::kString));
  }
  if (list->ExistsField("Price")) {
    EXPECT_EQ(list->Item("Price").Kind(), Code(Kind::kPrice));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, TriggerTest,
    ::testing::Values(
        TriggerCase{1, {"Price", "Amount", "BOperCode", "Summa"}, {"Summa", "BOperCode"}},
        TriggerCase{2,
                    {"Price", "AmountAccount", "AddFld.AmountForDRate", "IDC", "AddFld.DirectCost"},
                    {"Summa"}},
        TriggerCase{3,
                    {"Price", "Amount", "AmountAccount", "CostSumm", "AddFld.OpSum",
                     "AddFld.AmountForRate", "AddFld.NormTime", "AddFld.SD1Proc", "AddFld.VSDProc",
                     "AddFld.IsOnTimeRate", "AddFld.WorkKind", "IDC", "AddFld.DirectCost"},
                    {"Summa", "Price"}},
        TriggerCase{4, {"GoodCode", "Price", "Amount", "LotPropertyID"}, {"Summa"}},
        TriggerCase{0, {}, {"Summa"}}, TriggerCase{5, {}, {"Summa"}},
        TriggerCase{-1, {}, {"Summa"}}));

TEST(CalculatorTest, InitAgainSwitchesTheVariantAndKeepsEntries) {
  CMCalculator calc;
  calc.Init(enCalcDocIn);
  calc.Init(enCalcDocIn);  // no second "BOperCode" entry
  calc.Init(enCalcSimple);
  EXPECT_EQ(calc.SColCalc().front(), "GoodCode");
  auto result = calc.CalcSpecColumns(Row({{"Price", "2"}, {"Amount", "3"}}));
  EXPECT_EQ(Result(*result, "Summa"), "6");
  EXPECT_EQ(Result(*result, "BOperCode"), "");
  EXPECT_EQ(result->Count(), 2u);
}

// ---- Variant 1: sum from price and amount, or the price from a typed sum ----

struct DocInCase {
  const char* name;
  friend void PrintTo(const DocInCase& c, std::ostream* os) { *os << c.name; }
  std::string price, amount, summa, change;
  std::string want_summa, want_price, want_cost;
};

class DocInTest : public ::testing::TestWithParam<DocInCase> {};

TEST_P(DocInTest, Computes) {
  const DocInCase& c = GetParam();
  CMCalculator calc;
  calc.Init(enCalcDocIn);
  auto result = calc.CalcSpecColumns(
      Row({{"Price", c.price}, {"Amount", c.amount}, {"Summa", c.summa}, {"BOperCode", "#B01"}}),
      c.change);
  EXPECT_EQ(Result(*result, "Summa"), c.want_summa);
  EXPECT_EQ(Result(*result, "Price"), c.want_price);
  EXPECT_EQ(Result(*result, "CostSumm"), c.want_cost);
  EXPECT_EQ(Result(*result, "BOperCode"), "B01");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocInTest,
    ::testing::Values(
        // price edited: 12.345 x 3 = 37.035, a half at the third place
        DocInCase{"HalfUp", "12.345", "3", "1", "Price", "37.04", "12.345", "37.04"},
        DocInCase{"HalfAwayFromZeroNegative", "-0.125", "1", "0", "Price", "-0.13", "-0.125",
                  "-0.13"},
        DocInCase{"JustBelowHalf", "0.1249", "1", "0", "Amount", "0.12", "0.1249", "0.12"},
        DocInCase{"ZeroAmount", "2.5", "0", "9", "Amount", "0", "2.5", "0"},
        DocInCase{"EmptyAmountCountsZero", "2.5", "", "9", "GoodCode", "0", "2.5", "0"},
        // the default change column is anything but "Summa"
        DocInCase{"BOperCodeEdited", "4", "2.5", "0", "BOperCode", "10", "4", "10"},
        // sum typed: the unit price follows, to four places
        DocInCase{"SummaThirds", "1", "3", "10", "Summa", "10", "3.3333", "10"},
        DocInCase{"SummaEighth", "1", "8", "1", "Summa", "1", "0.125", "1"},
        DocInCase{"SummaTinyPrice", "1", "3", "0.0001", "Summa", "0.0001", "0", "0.0001"},
        DocInCase{"SummaNegativeAmount", "1", "-4", "10", "Summa", "10", "-2.5", "10"},
        // amount 0 or without value: no price is reported, the typed sum stands
        DocInCase{"SummaZeroAmount", "7", "0", "12.34", "Summa", "12.34", "-", "12.34"},
        DocInCase{"SummaNullAmount", "7", "~", "12.34", "Summa", "12.34", "-", "12.34"}),
    [](const ::testing::TestParamInfo<DocInCase>& info) { return info.param.name; });

TEST(CalculatorTest, DocInNullSummaIsEchoed) {
  // A typed sum without value (the user cleared the cell) is echoed as Null, not computed.
  CMCalculator calc;
  calc.Init(enCalcDocIn);
  auto result = calc.CalcSpecColumns(
      Row({{"Price", "7"}, {"Amount", "0"}, {"Summa", "~"}, {"BOperCode", "~"}}), "Summa");
  EXPECT_TRUE(result->Item("Summa").Value().IsNull());
  EXPECT_TRUE(result->Item("CostSumm").Value().IsNull());
  EXPECT_TRUE(result->Item("BOperCode").Value().IsNull());
}

TEST(CalculatorTest, DocInPriceNotReportedAfterAnEarlierCallReportedIt) {
  CMCalculator calc;
  calc.Init(enCalcDocIn);
  auto first = calc.CalcSpecColumns(
      Row({{"Price", "2"}, {"Amount", "3"}, {"Summa", "0"}, {"BOperCode", "#B"}}), "Price");
  EXPECT_EQ(Result(*first, "Price"), "2");
  auto second = calc.CalcSpecColumns(
      Row({{"Price", "2"}, {"Amount", "0"}, {"Summa", "5"}, {"BOperCode", "#B"}}), "Summa");
  EXPECT_EQ(first, second);  // the same list, reused
  EXPECT_EQ(Result(*second, "Price"), "");
  EXPECT_EQ(Result(*second, "Summa"), "5");
  EXPECT_EQ(second->Item("Summa").Value().Type(), VarType::kCurrency);
}

// ---- Variant 2: sum from price, accounted amount and the rate quantity ----

struct EquipCase {
  const char* name;
  friend void PrintTo(const EquipCase& c, std::ostream* os) { *os << c.name; }
  std::string price, amount_account, for_rate;
  std::string want_summa;
};

class EquipTest : public ::testing::TestWithParam<EquipCase> {};

TEST_P(EquipTest, Computes) {
  const EquipCase& c = GetParam();
  CMCalculator calc;
  calc.Init(enCalcEquip);
  auto result = calc.CalcSpecColumns(Row({{"Price", c.price},
                                          {"AmountAccount", c.amount_account},
                                          {"AddFld.AmountForDRate", c.for_rate}}),
                                     "Price");
  EXPECT_EQ(Result(*result, "Summa"), c.want_summa);
  EXPECT_EQ(result->Count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EquipTest,
    ::testing::Values(EquipCase{"NoRateQuantityUsesAccounted", "10", "3", "0", "10"},
                      EquipCase{"EmptyRateQuantityUsesAccounted", "10", "4", "", "10"},
                      // 7 x 5 / 8 = 4.375
                      EquipCase{"RateQuantityHalf", "7", "5", "8", "4.38"},
                      EquipCase{"RateQuantityHalfNegative", "-7", "5", "8", "-4.38"},
                      EquipCase{"Thirds", "1", "1", "3", "0.33"},
                      EquipCase{"BothZero", "5", "0", "0", "0"},
                      EquipCase{"ZeroAccountedWithRate", "5", "0", "2", "0"}),
    [](const ::testing::TestParamInfo<EquipCase>& info) { return info.param.name; });

// ---- Variant 3: operation sum, norm-time sum and surcharges ----

struct OperCase {
  const char* name;
  friend void PrintTo(const OperCase& c, std::ostream* os) { *os << c.name; }
  std::vector<std::pair<std::string, std::string>> row;
  std::string change;
  std::map<std::string, std::string> want;  // result name -> value ("" Empty, "-" absent)
};

class OperTest : public ::testing::TestWithParam<OperCase> {};

TEST_P(OperTest, Computes) {
  const OperCase& c = GetParam();
  CMCalculator calc;
  calc.Init(enCalcOper);
  auto result = calc.CalcSpecColumns(Row(c.row), c.change);
  for (const auto& [name, value] : c.want) EXPECT_EQ(Result(*result, name), value) << name;
}

// A labour row: rate 25 per 10 units, 4 units accounted, norm time 1.5 per 10 units.
std::vector<std::pair<std::string, std::string>> LabourRow(std::string for_rate = "10",
                                                           std::string on_time = "0") {
  std::vector<std::pair<std::string, std::string>> row = {{"Price", "25"},
                                                          {"Amount", "4"},
                                                          {"AmountAccount", "4"},
                                                          {"CostSumm", "2.5"},
                                                          {"AddFld.OpSum", "40"},
                                                          {"AddFld.NormTime", "1.5"},
                                                          {"AddFld.SD1Proc", "30"},
                                                          {"AddFld.VSDProc", "1.5"},
                                                          {"AddFld.IsOnTimeRate", on_time},
                                                          {"AddFld.NormTimeSum", "9"}};
  if (for_rate != "-") row.emplace_back("AddFld.AmountForRate", for_rate);
  return row;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OperTest,
    ::testing::Values(
        // 25 x 4/10 = 10; 1.5 x 0.4 = 0.6; 30 % and 1.5 % of 10
        OperCase{"ByRateQuantity",
                 LabourRow(),
                 "Price",
                 {{"AddFld.AmountForRate", "10"},
                  {"AddFld.OpSum", "10"},
                  {"AddFld.NormTimeSum", "0.6"},
                  {"AddFld.SD1Summa", "3"},
                  {"AddFld.VSDSumma", "0.15"},
                  {"Summa", "13.15"},
                  {"Price", "25"}}},
        // rate quantity 0: the accounted amount divides (4/4)
        OperCase{"RateQuantityZeroUsesAccounted",
                 LabourRow("0"),
                 "Amount",
                 {{"AddFld.OpSum", "25"},
                  {"AddFld.NormTimeSum", "1.5"},
                  {"AddFld.SD1Summa", "7.5"},
                  {"AddFld.VSDSumma", "0.38"},  // 0.375
                  {"Summa", "32.88"}}},
        // on-time rate: cost sum x price = 2.5 x 25
        OperCase{"OnTimeRate",
                 LabourRow("10", "1"),
                 "Price",
                 {{"AddFld.OpSum", "62.5"},
                  {"AddFld.NormTimeSum", "0.6"},
                  {"AddFld.SD1Summa", "18.75"},
                  {"AddFld.VSDSumma", "0.94"},  // 0.9375
                  {"Summa", "82.19"}}},
        // no rate-quantity column: divisor 0, nothing but the on-time rate gives a sum
        OperCase{"NoRateQuantityColumn",
                 LabourRow("-"),
                 "Price",
                 {{"AddFld.AmountForRate", ""},
                  {"AddFld.OpSum", "0"},
                  {"AddFld.NormTimeSum", "0"},
                  {"AddFld.SD1Summa", "0"},
                  {"AddFld.VSDSumma", "0"},
                  {"Summa", "0"},
                  {"Price", "25"}}},
        OperCase{"NoRateQuantityColumnOnTime",
                 LabourRow("-", "1"),
                 "Price",
                 {{"AddFld.OpSum", "62.5"}, {"AddFld.NormTimeSum", "0"}, {"Summa", "82.19"}}},
        // the sum was typed: everything but "Summa" and "Price" is reported
        OperCase{"SummaEdited",
                 LabourRow(),
                 "Summa",
                 {{"AddFld.OpSum", "10"},
                  {"AddFld.NormTimeSum", "0.6"},
                  {"AddFld.SD1Summa", "3"},
                  {"AddFld.VSDSumma", "0.15"},
                  {"Summa", ""},
                  {"Price", ""}}},
        // the operation sum was typed: it stands and the surcharges follow it
        OperCase{"OpSumEdited",
                 LabourRow(),
                 "AddFld.OpSum",
                 {{"AddFld.OpSum", "40"},
                  {"AddFld.SD1Summa", "12"},
                  {"AddFld.VSDSumma", "0.6"},
                  {"Summa", "52.6"}}},
        // the norm-time sum was typed: it is not reported
        OperCase{"NormTimeSumEdited",
                 LabourRow(),
                 "AddFld.NormTimeSum",
                 {{"AddFld.NormTimeSum", "-"}, {"AddFld.OpSum", "10"}, {"Summa", "13.15"}}},
        // norm time keeps three places: 0.0125 x 1 rounds half away to 0.013
        OperCase{"NormTimeThreePlaces",
                 {{"Price", "0.5"},
                  {"Amount", "1"},
                  {"AmountAccount", "0.25"},
                  {"CostSumm", "0"},
                  {"AddFld.NormTime", "0.05"},
                  {"AddFld.SD1Proc", "0"},
                  {"AddFld.VSDProc", "0"},
                  {"AddFld.IsOnTimeRate", "0"},
                  {"AddFld.AmountForRate", "1"}},
                 "Price",
                 {{"AddFld.NormTimeSum", "0.013"},  // 0.05 x 0.25 = 0.0125
                  {"AddFld.OpSum", "0.13"},         // 0.5 x 0.25 = 0.125
                  {"Summa", "0.13"}}},
        // an on-time rate without value is no on-time rate
        OperCase{"NullOnTimeRate",
                 LabourRow("10", "~"),
                 "Price",
                 {{"AddFld.OpSum", "10"}, {"Summa", "13.15"}}}),
    [](const ::testing::TestParamInfo<OperCase>& info) { return info.param.name; });

TEST(CalculatorTest, OperSurchargeRoundsTheFourPlaceValue) {
  // 30.75 x 30 / 100 = 9.225 and 30.75 x 2 / 100 = 0.615: both halves round up.
  CMCalculator calc;
  calc.Init(enCalcOper);
  auto result = calc.CalcSpecColumns(Row({{"Price", "12.3"},
                                          {"Amount", "1"},
                                          {"AmountAccount", "1"},
                                          {"CostSumm", "2.5"},
                                          {"AddFld.NormTime", "0"},
                                          {"AddFld.SD1Proc", "30"},
                                          {"AddFld.VSDProc", "2"},
                                          {"AddFld.IsOnTimeRate", "1"}}),
                                     "CostSumm");
  EXPECT_EQ(Result(*result, "AddFld.OpSum"), "30.75");
  EXPECT_EQ(Result(*result, "AddFld.SD1Summa"), "9.23");
  EXPECT_EQ(Result(*result, "AddFld.VSDSumma"), "0.62");
  EXPECT_EQ(Result(*result, "Summa"), "40.6");
  EXPECT_EQ(result->Item("Summa").Value().Type(), VarType::kCurrency);
}

// ---- Variant 4: sum from price and amount, nothing else ----

struct SimpleCase {
  const char* name;
  friend void PrintTo(const SimpleCase& c, std::ostream* os) { *os << c.name; }
  std::string price, amount, want;
};

class SimpleTest : public ::testing::TestWithParam<SimpleCase> {};

TEST_P(SimpleTest, OnlySummaIsReported) {
  const SimpleCase& c = GetParam();
  CMCalculator calc;
  calc.Init(enCalcSimple);
  auto result = calc.CalcSpecColumns(
      Row({{"GoodCode", "#G1"}, {"Price", c.price}, {"Amount", c.amount}, {"Summa", "77"}}));
  EXPECT_EQ(Result(*result, "Summa"), c.want);
  EXPECT_EQ(result->Count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimpleTest,
    ::testing::Values(SimpleCase{"NineNines", "3.3333", "3",
                                 "10"},  // 9.9999
                                         // 1.005 is exact in Currency: a half, rounded up
                      SimpleCase{"ExactHalf", "1.005", "1", "1.01"},
                      SimpleCase{"BelowHalf", "0.0049", "1", "0"},
                      SimpleCase{"NegativeHalf", "-2.675", "1", "-2.68"},
                      SimpleCase{"ZeroAmount", "19.99", "0", "0"},
                      SimpleCase{"EmptyPrice", "", "5", "0"},
                      // 0.0099 x 0.5 = 0.00495 becomes a Currency first (0.0050, half to
                      // even), which then rounds up; the bare product would round down
                      SimpleCase{"FourPlaceProductFirst", "0.0099", "0.5", "0.01"},
                      SimpleCase{"Large", "123456.78", "1000", "123456780"}),
    [](const ::testing::TestParamInfo<SimpleCase>& info) { return info.param.name; });

TEST(CalculatorTest, WriteOffRowsDoNotDependOnTheRateQuantity) {
  // Write-off rows carry the material row fields, the rate quantity without value among them;
  // only operation rows divide by it.
  CMCalculator calc;
  calc.Init(enCalcSimple);
  auto result = calc.CalcSpecColumns(Row({{"Price", "2.5"},
                                          {"Amount", "4"},
                                          {"AmountAccount", "~"},
                                          {"AddFld.AmountForRate", "~"}}),
                                     "Amount");
  EXPECT_EQ(Result(*result, "Summa"), "10");
}

// ---- Errors ----

TEST(CalculatorErrorTest, NullWhereANumberIsNeededNamesTheColumns) {
  CMCalculator calc;
  calc.Init(enCalcSimple);
  EXPECT_QTS_ERROR_TEXT(calc.CalcSpecColumns(Row({{"Price", "~"}, {"Amount", "2"}})),
                        kErrInvalidUseOfNull, "Price x Amount");

  calc.Init(enCalcEquip);
  EXPECT_QTS_ERROR_TEXT(
      calc.CalcSpecColumns(
          Row({{"Price", "1"}, {"AmountAccount", "1"}, {"AddFld.AmountForDRate", "~"}})),
      kErrInvalidUseOfNull, "AddFld.AmountForDRate");

  // The rate divisor of the common start: a rate quantity without value.
  calc.Init(enCalcOper);
  auto row = Row(LabourRow("~"));
  EXPECT_QTS_ERROR_TEXT(calc.CalcSpecColumns(row, "Price"), kErrInvalidUseOfNull,
                        "AddFld.AmountForRate");
}

TEST(CalculatorErrorTest, MissingColumnAndMissingRow) {
  CMCalculator calc;
  calc.Init(enCalcSimple);
  EXPECT_QTS_ERROR_TEXT(calc.CalcSpecColumns(Row({{"Price", "2"}})), kErrSubscript, "Amount");

  EXPECT_QTS_ERROR(calc.CalcSpecColumns(nullptr), kErrObjectRequired);
  // Text that is not a number is a type mismatch.
  EXPECT_QTS_ERROR(calc.CalcSpecColumns(Row({{"Price", "#abc"}, {"Amount", "2"}})),
                   kErrTypeMismatch);
}

TEST(CalculatorErrorTest, AFailedCallLeavesNoStaleValues) {
  CMCalculator calc;
  calc.Init(enCalcSimple);
  auto result = calc.CalcSpecColumns(Row({{"Price", "2"}, {"Amount", "3"}}));
  EXPECT_EQ(Result(*result, "Summa"), "6");
  EXPECT_THROW((void)calc.CalcSpecColumns(Row({{"Price", "~"}, {"Amount", "3"}})), Error);
  EXPECT_EQ(Result(*result, "Summa"), "");
}

// ---- Creation by identifier and late binding ----

TEST(CalculatorObjectTest, CreatedByProgIdAndCalledByName) {
  const frame::ClassInfo* cls =
      frame::Catalogue::Instance().FindProgId("QTS_Inventory.CMCalculator");
  ASSERT_NE(cls, nullptr);
  ObjectPtr object = frame::Catalogue::Instance().Create(*cls);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->ClassName(), "CMCalculator");
  auto typed = QueryInterface<ICMCalculator>(object);

  CallByName(object, "init", InvokeKind::kMethod, {Variant(int32_t{enCalcSimple})});
  EXPECT_EQ(typed->SColCalc().size(), 4u);
  Variant result = CallByName(
      object, "CalcSpecColumns", InvokeKind::kMethod,
      {Variant(std::static_pointer_cast<Object>(Row({{"Price", "1.5"}, {"Amount", "3"}})))});
  auto list = std::dynamic_pointer_cast<host::NamedValueList>(result.AsObject());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Result(*list, "Summa"), "4.5");

  EXPECT_QTS_ERROR(CallByName(object, "CalcSpecColumns", InvokeKind::kMethod, {Variant("row")}),
                   kErrTypeMismatch);
  EXPECT_QTS_ERROR(CallByName(object, "Init", InvokeKind::kMethod), kErrInvalidCall);
  EXPECT_QTS_ERROR(CallByName(object, "SColCalc", InvokeKind::kPropertyGet), kErrNoSuchMember);
}

}  // namespace
}  // namespace qts::engine
