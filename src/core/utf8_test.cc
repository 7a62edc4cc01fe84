#include "core/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace qts {
namespace {

struct Utf8Case {
  const char* name;
  std::string text;
  std::optional<size_t> bad;
};

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, FindsTheFirstBadByte) {
  EXPECT_EQ(FirstBadUtf8Byte(GetParam().text), GetParam().bad);
  EXPECT_EQ(IsValidUtf8(GetParam().text), !GetParam().bad.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8Test,
    ::testing::Values(Utf8Case{"Empty", "", std::nullopt},
                      Utf8Case{"Lithuanian", "Medžio plokštė, ąčęėįšųūž", std::nullopt},
                      Utf8Case{"FourBytes", "a\xF0\x9F\x98\x80z", std::nullopt},
                      Utf8Case{"HighestCodePoint", "\xF4\x8F\xBF\xBF", std::nullopt},
                      Utf8Case{"NulIsText", std::string("a\0b", 3), std::nullopt},
                      Utf8Case{"StrayContinuation", "ab\x80", 2},
                      Utf8Case{"LatinOneByte", "Sandėlis \xFF", 10},
                      Utf8Case{"CutShort", "ok\xC5", 2},
                      Utf8Case{"CutShortBeforeAscii", "\xE2\x82z", 0},
                      Utf8Case{"OverlongSlash", "\xC0\xAF", 0},
                      Utf8Case{"OverlongThreeBytes", "x\xE0\x80\xAF", 1},
                      Utf8Case{"Surrogate", "\xED\xA0\x80", 0},
                      Utf8Case{"PastTheLastCodePoint", "\xF4\x90\x80\x80", 0},
                      Utf8Case{"FiveByteLead", "\xF8\x88\x80\x80\x80", 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qts
