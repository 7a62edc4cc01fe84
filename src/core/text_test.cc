// The identifier helpers of text.h. The platform's text functions are tested in format_test.cc.
#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

namespace qts {
namespace {

struct CaseFoldCase {
  const char* a;
  const char* b;
  bool equal;
};

void PrintTo(const CaseFoldCase& c, std::ostream* out) {
  *out << '"' << c.a << "\" vs \"" << c.b << '"';
}

class EqualsIgnoreCaseTable : public ::testing::TestWithParam<CaseFoldCase> {};

// Both sides fold, in either order, and the hash agrees with the equality.
TEST_P(EqualsIgnoreCaseTable, FoldsAsciiLettersOfBothSides) {
  const CaseFoldCase& c = GetParam();
  EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal);
  EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal);
  EXPECT_EQ(AsciiLower(c.a) == AsciiLower(c.b), c.equal);
  EXPECT_EQ(AsciiUpper(c.a) == AsciiUpper(c.b), c.equal);
  if (c.equal) {
    EXPECT_EQ(IgnoreCaseHash()(c.a), IgnoreCaseHash()(c.b));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, EqualsIgnoreCaseTable,
    ::testing::Values(
        CaseFoldCase{"AmountAccount", "amountaccount", true},
        CaseFoldCase{"TRUE", "true", true},  // the upper-case side second as well as first
        CaseFoldCase{"oTable.IDC", "OTABLE.idc", true}, CaseFoldCase{"", "", true},
        CaseFoldCase{"Code", "Codes", false}, CaseFoldCase{"Code", "Cod", false},
        // The bytes next to the letters are not letters: @ [ ` { stay as they are.
        CaseFoldCase{"@", "`", false}, CaseFoldCase{"[", "{", false},
        CaseFoldCase{"A_Z", "a_z", true},
        // Non-ASCII letters compare by their bytes: a Lithuanian letter is not folded.
        CaseFoldCase{"Š", "š", false}, CaseFoldCase{"KIEKIS_Ū", "kiekis_Ū", true},
        CaseFoldCase{"\xC4", "\xE4", false}));

TEST(TextTest, LowerAndUpperLeaveOtherBytes) {
  EXPECT_EQ(AsciiLower("GoodCode $Ž 1"), "goodcode $Ž 1");
  EXPECT_EQ(AsciiUpper("goodcode $ž 1"), "GOODCODE $ž 1");
  EXPECT_EQ(AsciiLower("\xC4\xD6"), "\xC4\xD6");
  static_assert(AsciiToLower('A') == 'a' && AsciiToLower('Z') == 'z' && AsciiToLower('@') == '@');
  static_assert(AsciiToUpper('a') == 'A' && AsciiToUpper('z') == 'Z' && AsciiToUpper('{') == '{');
}

TEST(TextTest, StartsWithIgnoreCase) {
  EXPECT_TRUE(StartsWithIgnoreCase("AM/PM", "am/pm"));
  EXPECT_TRUE(StartsWithIgnoreCase("desc, Code", "DESC"));
  EXPECT_TRUE(StartsWithIgnoreCase("x", ""));
  EXPECT_FALSE(StartsWithIgnoreCase("a/", "a/p"));  // the prefix is longer than the text
  EXPECT_FALSE(StartsWithIgnoreCase("Šis", "šis"));
}

TEST(TextTest, MapsKeyedByNameFindAnyCase) {
  std::unordered_map<std::string, int, IgnoreCaseHash, IgnoreCaseEqual> columns;
  columns.emplace("GoodCode", 1);
  columns.emplace("Amount", 2);
  EXPECT_EQ(columns.count("goodcode"), 1U);
  EXPECT_EQ(columns.find(std::string_view("AMOUNT"))->second, 2);
  EXPECT_FALSE(columns.emplace("GOODCODE", 3).second);  // the same name
  EXPECT_EQ(columns.count("Amounts"), 0U);
}

TEST(TextTest, StripAsciiWhitespace) {
  EXPECT_EQ(StripAsciiWhitespace(" \t\r\n\v\f x y \n"), "x y");
  EXPECT_EQ(StripAsciiWhitespace("   "), "");
  EXPECT_EQ(StripAsciiWhitespace(""), "");
  EXPECT_EQ(StripLeadingAsciiWhitespace("\n 'A' "), "'A' ");
  // A no-break space (U+00A0) is not ASCII white space.
  EXPECT_EQ(StripAsciiWhitespace("\xC2\xA0x"), "\xC2\xA0x");
}

}  // namespace
}  // namespace qts
