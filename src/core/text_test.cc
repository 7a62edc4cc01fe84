// The text helpers of text.h: the platform's text functions (characters counted in UTF-8) and
// the identifier helpers (ASCII only).
#include "core/text.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts {
namespace {

// ---- The platform's text functions --------------------------------------------------------------

TEST(Replace, BinaryAllOccurrences) {
  EXPECT_EQ(Replace("aAa", "a", "x"), "xAx");
  EXPECT_EQ(Replace("aaaa", "aa", "a"), "aa");  // no rescanning of the replacement
  EXPECT_EQ(Replace("abc", "", "x"), "abc");
  EXPECT_EQ(Replace("abc", "abc", ""), "");
  EXPECT_EQ(Replace("", "a", "b"), "");
  EXPECT_EQ(Replace("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(Replace("žąsis", "ą", "a"), "žasis");
}

TEST(CaseMapping, AsciiAndLithuanian) {
  EXPECT_EQ(UCase("abc xyz 123"), "ABC XYZ 123");
  EXPECT_EQ(LCase("ABC XYZ 123"), "abc xyz 123");
  EXPECT_EQ(UCase("ąčęėįšųūž"), "ĄČĘĖĮŠŲŪŽ");
  EXPECT_EQ(LCase("ĄČĘĖĮŠŲŪŽ"), "ąčęėįšųūž");
  EXPECT_EQ(UCase("äöü ñ ÿ"), "ÄÖÜ Ñ Ÿ");
  EXPECT_EQ(LCase("ŁŃ"), "łń");
  EXPECT_EQ(UCase("привет ё"), "ПРИВЕТ Ё");
  EXPECT_EQ(LCase("ПРИВЕТ Ё"), "привет ё");
  EXPECT_EQ(UCase("×÷ß"), "×÷ß");  // no case
  // Broken UTF-8 passes through unchanged.
  EXPECT_EQ(UCase("a\xC4"), "A\xC4");
  EXPECT_EQ(UCase("\x85z"), "\x85Z");
  EXPECT_EQ(LCase("\xC4Z"), "\xC4z");        // a lone lead byte is not taken for U+00C4
  EXPECT_EQ(LCase("\xC4\x84"), "\xC4\x85");  // while the whole sequence (U+0104) maps
}

TEST(Trim, SpacesOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(LTrim("  a b  "), "a b  ");
  EXPECT_EQ(RTrim("  a b  "), "  a b");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(Trim(""), "");
}

TEST(Substrings, CountCharacters) {
  EXPECT_EQ(Len("žąsis"), 5);
  EXPECT_EQ(Left("žąsis", 2), "žą");
  EXPECT_EQ(Left("abc", 0), "");
  EXPECT_EQ(Left("abc", 10), "abc");
  EXPECT_EQ(Right("žąsis", 3), "sis");
  EXPECT_EQ(Right("abc", 10), "abc");
  EXPECT_EQ(Right("abc", 0), "");
  EXPECT_EQ(Mid("žąsis", 2, 2), "ąs");
  EXPECT_EQ(Mid("abc", 2), "bc");
  EXPECT_EQ(Mid("abc", 4), "");
  EXPECT_EQ(Mid("abc", 3, 10), "c");
  EXPECT_EQ(Mid("abc", 1, 0), "");
}

TEST(Substrings, BadArgumentsAreInvalidCall) {
  EXPECT_QTS_ERROR(Left("abc", -1), kErrInvalidCall);
  EXPECT_QTS_ERROR(Right("abc", -1), kErrInvalidCall);
  EXPECT_QTS_ERROR(Mid("abc", 0), kErrInvalidCall);
  EXPECT_QTS_ERROR(Mid("abc", 1, -1), kErrInvalidCall);
  EXPECT_QTS_ERROR(InStr(0, "abc", "a"), kErrInvalidCall);
}

TEST(InStr, OneBasedZeroWhenAbsent) {
  EXPECT_EQ(InStr("abcabc", "c"), 3);
  EXPECT_EQ(InStr(4, "abcabc", "c"), 6);
  EXPECT_EQ(InStr(7, "abcabc", "c"), 0);
  EXPECT_EQ(InStr("abc", "C"), 0);  // binary compare
  EXPECT_EQ(InStr("abc", "x"), 0);
  EXPECT_EQ(InStr("žąsis", "s"), 3);
  EXPECT_EQ(InStr(4, "žąsis", "s"), 5);
  EXPECT_EQ(InStr("abc", ""), 1);
  EXPECT_EQ(InStr(3, "abc", ""), 3);
  EXPECT_EQ(InStr(4, "abc", ""), 0);
  EXPECT_EQ(InStr("", ""), 0);
}

// ---- Identifier helpers -------------------------------------------------------------------------

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
