#include "frame/define_module.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "engine/document_support.h"
#include "host/services/message_table.h"
#include "host/services/settings_store.h"
#include "host/testing/scoped_env.h"

namespace qts::frame {
namespace {

class StartUpTest : public ::testing::Test {
 protected:
  StartUpTest() : env_("QTS_SETTINGS", (dir_ / "settings.json").string()) {}
  void Store(const std::string& text) {
    host::SettingsStore().SaveSetting("Halden Enterprise", "General", "AppFormDebug", text);
  }
  testing::TempDir dir_;
  testing::ScopedEnv env_;
};

TEST_F(StartUpTest, CreatesTheGlobalsOnTheComponentsResourceSet) {
  Main();
  Globals& g = GetGlobals();
  ASSERT_NE(g.MessageTable, nullptr);
  EXPECT_EQ(g.MessageTable->ResourceName(), "QTSFormRes");
  EXPECT_TRUE(g.MessageTable->HasText(842));
  EXPECT_NE(g.HostSession, nullptr);
  EXPECT_EQ(g.StartedFlag, 1);
}

TEST_F(StartUpTest, FormDebugFlagFollowsTheStoredSetting) {
  struct Case {
    const char* stored;  // nullptr: no key
    bool expected;
  };
  for (const Case& c :
       {Case{nullptr, false}, Case{"1", true}, Case{"True", true}, Case{"true", true},
        Case{"0", false}, Case{"False", false}, Case{"-1", true}, Case{" 2.5 ", true}}) {
    if (c.stored) {
      Store(c.stored);
    } else {
      host::SettingsStore().DeleteSetting("Halden Enterprise", "General", "AppFormDebug");
    }
    Main();
    EXPECT_EQ(GetGlobals().FormDebugFlag, c.expected) << (c.stored ? c.stored : "(no key)");
  }
}

TEST_F(StartUpTest, AStoredTextThatIsNoBooleanIsATypeMismatch) {
  for (const char* stored : {"", "yes", "Taip", "1,5"}) {
    Store(stored);
    EXPECT_QTS_ERROR_TEXT(Main(), kErrTypeMismatch, "AppFormDebug") << stored;
  }
}

TEST_F(StartUpTest, RunsOnceBeforeTheFirstObject) {
  const bool already = GetGlobals().StartedFlag == 1;
  const int32_t before = StartCount();
  Store("0");
  {
    engine::IMOpDocSupportClass first;
    engine::IMOpDocSupportClass second;
    EnsureStarted();
  }
  EXPECT_EQ(GetGlobals().StartedFlag, 1);
  EXPECT_EQ(StartCount(), already ? before : before + 1);
}

}  // namespace
}  // namespace qts::frame
