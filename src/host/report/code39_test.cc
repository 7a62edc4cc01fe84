#include "host/report/code39.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "core/error.h"
#include "core/testing/qts_matchers.h"

namespace qts::host {
namespace {

constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
constexpr std::string_view kStar = "nwnnwnwnn";

TEST(Code39Test, EveryCharacterIsNineElementsThreeOfThemWideAndAllDiffer) {
  std::set<std::string> seen;
  for (char c : kAlphabet) {
    const std::string elements = Code39Elements(std::string(1, c));
    // "*", gap, the character, gap, "*".
    ASSERT_EQ(elements.size(), 9u + 1 + 9 + 1 + 9) << c;
    EXPECT_EQ(elements.substr(0, 9), kStar);
    EXPECT_EQ(elements.substr(20), kStar);
    const std::string own = elements.substr(10, 9);
    EXPECT_EQ(std::count(own.begin(), own.end(), 'w'), 3) << c;
    // Code 39's rule: of the five bars two are wide, of the four spaces one (except the four
    // characters $ / + %, whose three wide elements are spaces).
    int wide_bars = 0;
    for (size_t i = 0; i < own.size(); i += 2) wide_bars += own[i] == 'w';
    EXPECT_EQ(wide_bars, std::string_view("$/+%").find(c) == std::string_view::npos ? 2 : 0) << c;
    EXPECT_TRUE(seen.insert(own).second) << c << " repeats another character's pattern";
  }
}

TEST(Code39Test, KnownCodesAndLowerCase) {
  EXPECT_EQ(Code39Elements("A"), std::string(kStar) + "n" + "wnnnnwnnw" + "n" + std::string(kStar));
  EXPECT_EQ(Code39Elements("1"), std::string(kStar) + "n" + "wnnwnnnnw" + "n" + std::string(kStar));
  EXPECT_EQ(Code39Elements("mmo-7"), Code39Elements("MMO-7"));
  EXPECT_EQ(Code39Elements(""), std::string(kStar) + "n" + std::string(kStar));
}

TEST(Code39Test, CharactersItCannotShowAreRefused) {
  for (const char* text : {"A*B", "Ą", "a_b", "x#"}) {
    EXPECT_QTS_ERROR_TEXT(Code39Elements(text), kErrInvalidCall, text);
  }
}

}  // namespace
}  // namespace qts::host
