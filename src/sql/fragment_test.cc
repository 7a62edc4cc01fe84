#include "sql/fragment.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace qts::sql {
namespace {

TEST(FragmentTest, QuoteNameBracketsOnlyWhatNeedsIt) {
  EXPECT_EQ(QuoteName("GoodCode"), "GoodCode");
  EXPECT_EQ(QuoteName("_x1"), "_x1");
  EXPECT_EQ(QuoteName("AddFld.X"), "[AddFld.X]");
  EXPECT_EQ(QuoteName("1st"), "[1st]");
  EXPECT_EQ(QuoteName("Kiekis_Ū"), "[Kiekis_Ū]");
  EXPECT_EQ(QuoteName("a]b"), "[a]]b]");
  // Words the server reserves, in any case, whether or not the translator acts on them.
  EXPECT_EQ(QuoteName("When"), "[When]");
  EXPECT_EQ(QuoteName("order"), "[order]");
  EXPECT_EQ(QuoteName("Key"), "[Key]");
  EXPECT_EQ(QuoteName("Return"), "[Return]");
  EXPECT_EQ(QuoteName("Offset"), "Offset");  // a keyword the server does not reserve
}

struct RenameCase {
  const char* text;
  const char* expected;  // "oTable" renamed to "g2"
};

class RenameQualifierTable : public ::testing::TestWithParam<RenameCase> {};

TEST_P(RenameQualifierTable, RenamesOnlyTheQualifier) {
  EXPECT_EQ(RenameQualifier(GetParam().text, "oTable", "g2"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RenameQualifierTable,
    ::testing::Values(
        RenameCase{"oTable.Amount > 0", "g2.Amount > 0"},
        RenameCase{"OTABLE.Amount+[otable].Price", "g2.Amount+g2.Price"},
        RenameCase{"oTable . Amount", "g2 . Amount"},
        // Not a qualifier: a column of the same name, a second part, a literal, a comment.
        RenameCase{"x.oTable.Amount = oTable", "x.oTable.Amount = oTable"},
        RenameCase{"G.Name = 'oTable.Amount'", "G.Name = 'oTable.Amount'"},
        RenameCase{"a /* oTable.x */ = oTable.x", "a /* oTable.x */ = g2.x"},
        RenameCase{"oTableX.Amount = 1", "oTableX.Amount = 1"},
        // Unreadable text is left for the translator to name.
        RenameCase{"oTable.Amount = 'open", "oTable.Amount = 'open"}));

TEST(FragmentTest, RenameQuotesTheNewName) {
  EXPECT_EQ(RenameQualifier("a.X = 1", "a", "Order"), "[Order].X = 1");
  EXPECT_EQ(RenameQualifier("a.X = 1", "a", "my alias"), "[my alias].X = 1");
}

TEST(FragmentTest, QualifiersAreLowered) {
  EXPECT_EQ(Qualifiers("G.Code = [oTable].GoodCode AND x.y.z = 'q.r' AND S.A > 1.5"),
            (std::set<std::string>{"g", "otable", "s", "x"}));
  EXPECT_TRUE(Qualifiers("Amount > 0").empty());
  EXPECT_TRUE(Qualifiers("G.Code = 'open").empty());
}

struct LiteralCase {
  const char* text;
  bool literal;
};

class SingleLiteralTable : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(SingleLiteralTable, Reads) {
  EXPECT_EQ(IsSingleLiteral(GetParam().text), GetParam().literal) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, SingleLiteralTable,
                         ::testing::Values(LiteralCase{"12", true}, LiteralCase{" -1.5 ", true},
                                           LiteralCase{"+.5", true}, LiteralCase{"5.", true},
                                           LiteralCase{"'it''s'", true}, LiteralCase{"null", true},
                                           LiteralCase{"NULL", true}, LiteralCase{"- 5", false},
                                           LiteralCase{"1e3", false}, LiteralCase{"1.2.3", false},
                                           LiteralCase{"'a' 'b'", false},
                                           LiteralCase{"'open", false}, LiteralCase{"", false},
                                           LiteralCase{"a", false}, LiteralCase{"1 + 1", false},
                                           LiteralCase{"(1)", false}, LiteralCase{"0x10", false}));

struct BreakCase {
  const char* text;
  bool breaks;
};

class StatementBreakTable : public ::testing::TestWithParam<BreakCase> {};

TEST_P(StatementBreakTable, Reads) {
  EXPECT_EQ(HasStatementBreak(GetParam().text), GetParam().breaks) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StatementBreakTable,
    ::testing::Values(BreakCase{"a = 1", false}, BreakCase{"a = ';'", false},
                      BreakCase{"a = '--'", false}, BreakCase{"[a;b] = 1", false},
                      BreakCase{"a - -1", false}, BreakCase{"a / b * c", false},
                      BreakCase{"a = 1; DROP TABLE x", true}, BreakCase{"a = 1 -- x", true},
                      BreakCase{"a /* x */ = 1", true}, BreakCase{"a = 'open", true},
                      BreakCase{"[open = 1", true}, BreakCase{"a = 1 /* open", true},
                      BreakCase{"a ` b", true}));

}  // namespace
}  // namespace qts::sql
