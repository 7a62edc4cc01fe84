#include "core/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace qts {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(LogLevelTest, NamesParseCaseInsensitivelyAndNothingElse) {
  EXPECT_EQ(ParseLogLevel("trace"), LogLevel::kTrace);
  EXPECT_EQ(ParseLogLevel("DEBUG"), LogLevel::kDebug);
  EXPECT_EQ(ParseLogLevel("info"), LogLevel::kInfo);
  EXPECT_EQ(ParseLogLevel("warn"), LogLevel::kWarn);
  EXPECT_EQ(ParseLogLevel("error"), LogLevel::kError);
  EXPECT_EQ(ParseLogLevel("off"), LogLevel::kOff);
  EXPECT_EQ(ParseLogLevel("warning"), std::nullopt);
  EXPECT_EQ(ParseLogLevel(""), std::nullopt);
}

// Messages below the chosen level are neither written nor formatted; off writes nothing.
TEST(LogTest, OnlyMessagesAtOrAboveTheLevelAreWritten) {
  std::ostringstream out;
  SetLogStream(&out);
  SetLogLevel(LogLevel::kInfo);
  Log(LogLevel::kDebug, "loaded {}", "below");
  Log(LogLevel::kInfo, "opened book {} in {}", "UAB", "/tmp/b.db");
  Log(LogLevel::kError, "failed {}", 5);
  EXPECT_FALSE(LogOn(LogLevel::kDebug));
  EXPECT_TRUE(LogOn(LogLevel::kWarn));
  SetLogLevel(LogLevel::kOff);
  Log(LogLevel::kError, "after off");
  EXPECT_FALSE(LogOn(LogLevel::kError));
  SetLogStream(nullptr);

  const std::string text = out.str();
  EXPECT_THAT(text, HasSubstr("qts: [info] opened book UAB in /tmp/b.db\n"));
  EXPECT_THAT(text, HasSubstr("qts: [error] failed 5\n"));
  EXPECT_THAT(text, Not(HasSubstr("below")));
  EXPECT_THAT(text, Not(HasSubstr("after off")));
}

}  // namespace
}  // namespace qts
