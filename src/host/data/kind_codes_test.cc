// The kind codes: every named kind keeps the code the system passes and the class the host
// reads it as; the codes are unique; codes Kind does not name still pass through.
#include "host/data/kind_codes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/variant.h"
#include "host/data/sql_tools.h"

namespace qts::host {
namespace {

struct NamedKind {
  Kind kind;
  int32_t code;  // as the system passes it
  KindClass read_as;
};

constexpr NamedKind kNamedKinds[] = {
    {Kind::kNone, 0, KindClass::kUnknown},       {Kind::kCategory, 1, KindClass::kInteger},
    {Kind::kRowId, 2, KindClass::kInteger},      {Kind::kLongId, 3, KindClass::kInteger},
    {Kind::kNullableId, 4, KindClass::kInteger}, {Kind::kFloat, 5, KindClass::kNumber},
    {Kind::kCurrency, 6, KindClass::kNumber},    {Kind::kCode, 7, KindClass::kText},
    {Kind::kString, 8, KindClass::kText},        {Kind::kDate, 9, KindClass::kDate},
    {Kind::kFixDocDate, 10, KindClass::kDate},   {Kind::kFlag, 14, KindClass::kInteger},
    {Kind::kText, 15, KindClass::kText},         {Kind::kName, 16, KindClass::kText},
    {Kind::kMoney, 19, KindClass::kNumber},      {Kind::kQuantity, 20, KindClass::kNumber},
    {Kind::kWeight, 21, KindClass::kNumber},     {Kind::kPersonText, 23, KindClass::kText},
    {Kind::kPrice, 24, KindClass::kNumber},      {Kind::kUser, 30, KindClass::kInteger},
    {Kind::kObject, 100, KindClass::kUnknown},
};

// True for the kinds Kind names. A switch without default: a kind added to Kind and missing
// here does not compile (-Wswitch), and the count below then asks for its row above.
bool IsNamed(Kind kind) {
  switch (kind) {
    case Kind::kNone:
    case Kind::kCategory:
    case Kind::kRowId:
    case Kind::kLongId:
    case Kind::kNullableId:
    case Kind::kFloat:
    case Kind::kCurrency:
    case Kind::kCode:
    case Kind::kString:
    case Kind::kDate:
    case Kind::kFixDocDate:
    case Kind::kFlag:
    case Kind::kText:
    case Kind::kName:
    case Kind::kMoney:
    case Kind::kQuantity:
    case Kind::kWeight:
    case Kind::kPersonText:
    case Kind::kPrice:
    case Kind::kUser:
    case Kind::kObject:
      return true;
  }
  return false;
}

class NamedKindTest : public ::testing::TestWithParam<NamedKind> {};

TEST_P(NamedKindTest, KeepsItsCodeAndClass) {
  const NamedKind& row = GetParam();
  EXPECT_EQ(Code(row.kind), row.code);
  EXPECT_EQ(ClassOfKind(row.kind), row.read_as);
  EXPECT_EQ(ClassOfKind(row.code), row.read_as);
}

INSTANTIATE_TEST_SUITE_P(KindCodes, NamedKindTest, ::testing::ValuesIn(kNamedKinds),
                         [](const ::testing::TestParamInfo<NamedKind>& info) {
                           return "Code" + std::to_string(info.param.code);
                         });

TEST(KindCodes, EachCodeIsNamedOnce) {
  std::set<int32_t> codes;
  for (const NamedKind& row : kNamedKinds) {
    EXPECT_TRUE(codes.insert(row.code).second) << "code " << row.code << " named twice";
  }
  // Every kind Kind names has its row above, and nothing else is named.
  int named = 0;
  for (int32_t code = -1000; code <= 1000; ++code) {
    if (IsNamed(static_cast<Kind>(code))) {
      ++named;
      EXPECT_TRUE(codes.count(code)) << "code " << code << " has no row";
    }
  }
  EXPECT_EQ(named, static_cast<int>(std::size(kNamedKinds)));
}

TEST(KindCodes, UnnamedCodesAreReadByTheirValue) {
  for (int32_t code : {-1, 11, 12, 13, 17, 101, 1000}) {
    EXPECT_EQ(ClassOfKind(code), KindClass::kUnknown) << code;
  }
  // The value decides: a text as a quoted literal, a number as it is.
  SqlTools& tools = *SqlTools::Instance();
  EXPECT_EQ(tools.SqlValue(Variant("A'B"), 12), "'A''B'");
  EXPECT_EQ(tools.SqlValue(Variant(int32_t{42}), 12), "42");
  EXPECT_EQ(tools.SqlValue(Variant("A'B"), Kind::kCode),
            tools.SqlValue(Variant("A'B"), Code(Kind::kCode)));
}

}  // namespace
}  // namespace qts::host
