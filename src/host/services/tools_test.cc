#include <gtest/gtest.h>

#include "core/error.h"
#include "host/services/bar_code_tools.h"
#include "host/services/date_tools.h"

namespace qts::host {
namespace {

TEST(BarCodeToolsTest, CheckDigitsFollowMod97) {
  BarCodeTools tools;
  // A published account number, GB82 WEST 1234 5698 7654 32, checks the body
  // "WEST12345698765432GB" with the digits 82.
  EXPECT_EQ(tools.CheckChars("WEST12345698765432GB"), "82");
  EXPECT_TRUE(tools.IsValid("WEST12345698765432GB82"));
  EXPECT_EQ(tools.CheckChars("west12345698765432gb"), "82") << "letters in any case";
  // A document body as the write-off prints it: type, date yymmdd, number.
  std::string body = "MMO26120500041";
  std::string code = body + tools.CheckChars(body);
  EXPECT_TRUE(tools.IsValid(code));
  EXPECT_EQ(tools.CheckChars(body).size(), 2u);
}

TEST(BarCodeToolsTest, ASingleWrongCharacterOrASwapIsCaught) {
  BarCodeTools tools;
  const std::string body = "PACK2612050012345";
  const std::string code = body + tools.CheckChars(body);
  for (size_t i = 0; i < body.size(); ++i) {
    std::string wrong = code;
    wrong[i] = wrong[i] == '1' ? '2' : '1';
    EXPECT_FALSE(tools.IsValid(wrong)) << wrong;
    if (i + 1 < body.size() && code[i] != code[i + 1]) {
      std::string swapped = code;
      std::swap(swapped[i], swapped[i + 1]);
      EXPECT_FALSE(tools.IsValid(swapped)) << swapped;
    }
  }
}

TEST(BarCodeToolsTest, RefusesWhatIsNoBody) {
  BarCodeTools tools;
  EXPECT_THROW(tools.CheckChars(""), Error);
  EXPECT_THROW(tools.CheckChars("MMO_2612"), Error);
  EXPECT_THROW(tools.CheckChars("MMO*2612"), Error);
  EXPECT_THROW(tools.CheckChars(std::string("MMO\0", 4)), Error);
  EXPECT_THROW(tools.CheckChars("MMO\xc5\xa0"), Error);
  EXPECT_FALSE(tools.IsValid("12"));
  EXPECT_FALSE(tools.IsValid("MMO_261282"));
}

// The blank that pads a three-letter type code, and the other symbols a bar code prints,
// count as 36..42: "MMO 2612" is read as the number 22 22 24 36 2 6 1 2.
TEST(BarCodeToolsTest, SymbolsCountAfterTheLetters) {
  BarCodeTools tools;
  auto expected = [](const std::string& digits) {
    int rest = 0;
    for (char d : digits) rest = (rest * 10 + (d - '0')) % 97;
    int check = 98 - (rest * 100) % 97;
    return std::string{static_cast<char>('0' + check / 10), static_cast<char>('0' + check % 10)};
  };
  EXPECT_EQ(tools.CheckChars("MMO 2612"), expected("22222436" "2612"));
  EXPECT_EQ(tools.CheckChars("A-.$/+%"), expected("10" "37" "38" "39" "40" "41" "42"));
  const std::string code = "MMO 261205000041" + tools.CheckChars("MMO 261205000041");
  EXPECT_TRUE(tools.IsValid(code));
  std::string swapped = code;
  swapped[3] = '-';
  EXPECT_FALSE(tools.IsValid(swapped)) << "a blank read as another symbol is caught";
}

TEST(DateToolsTest, LithuanianMonthNames) {
  DateTools tools;
  const char* expected[] = {"sausis", "vasaris",   "kovas",    "balandis", "gegužė",    "birželis",
                            "liepa",  "rugpjūtis", "rugsėjis", "spalis",   "lapkritis", "gruodis"};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(tools.MonthName(Date::FromYmd(2026, month, 28)), expected[month - 1]) << month;
  }
}

}  // namespace
}  // namespace qts::host
