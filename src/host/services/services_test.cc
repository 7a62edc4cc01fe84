#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/error.h"
#include "host/services/message_table.h"
#include "host/services/settings_store.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

TEST(SettingsStoreTest, MissingKeysGiveTheDefaultAndStoredTextsComeBackAsText) {
  testing::TempDir dir;
  SettingsStore store(dir / "settings.json");
  EXPECT_EQ(store.GetSetting("Halden Enterprise", "General", "AppFormDebug", "0"), "0");
  EXPECT_FALSE(store.Find("Halden Enterprise", "General", "AppFormDebug").has_value());
  store.SaveSetting("Halden Enterprise", "General", "AppFormDebug", "True");
  store.SaveSetting("Halden Enterprise", "Reports", "Store", "");
  EXPECT_EQ(store.GetSetting("halden enterprise", "general", "appformdebug", "0"), "True");
  // An empty stored text is a value, not a missing key.
  EXPECT_EQ(store.GetSetting("Halden Enterprise", "Reports", "Store", "S1"), "");
  store.DeleteSetting("Halden Enterprise", "General", "AppFormDebug");
  store.DeleteSetting("Halden Enterprise", "General", "AppFormDebug");  // absent: no error
  EXPECT_EQ(store.GetSetting("Halden Enterprise", "General", "AppFormDebug", "0"), "0");
  EXPECT_EQ(store.GetSetting("Halden Enterprise", "Reports", "Store", "S1"), "");
}

// Saving the value a key holds already writes nothing: the file is not replaced.
TEST(SettingsStoreTest, SavingTheSameValueAgainLeavesTheFileAlone) {
  testing::TempDir dir;
  const std::filesystem::path file = dir / "settings.json";
  SettingsStore store(file);
  auto inode = [&] {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_ino;
  };
  store.SaveSetting("App", "Forms\\frm", "Store", "'S1'");
  const auto first = inode();
  store.SaveSetting("App", "Forms\\frm", "Store", "'S1'");
  store.SaveSetting("app", "forms\\FRM", "STORE", "'S1'");
  EXPECT_EQ(inode(), first);
  store.SaveSetting("App", "Forms\\frm", "Store", "'S2'");
  EXPECT_EQ(store.GetSetting("App", "Forms\\frm", "Store"), "'S2'");
  store.SaveSetting("App", "Forms\\frm", "Other", "");  // a new key is written, empty or not
  EXPECT_TRUE(store.Find("App", "Forms\\frm", "Other").has_value());
}

TEST(SettingsStoreTest, UsesTheFileTheEnvironmentNames) {
  testing::TempDir dir;
  testing::ScopedEnv env("QTS_SETTINGS", (dir / "mine.json").string());
  SettingsStore().SaveSetting("App", "Sec", "Key", "v");
  EXPECT_TRUE(std::filesystem::exists(dir / "mine.json"));
  EXPECT_EQ(SettingsStore(dir / "mine.json").GetSetting("App", "Sec", "Key"), "v");
}

TEST(MessageTableTest, ReadsTheChosenResourceSet) {
  MessageTable table;
  table.SetResourceName("QTSFormRes");
  EXPECT_EQ(table.ResourceName(), "QTSFormRes");
  EXPECT_TRUE(table.HasText(842));
  EXPECT_NE(table.GetText(842).find("%0"), std::string::npos);
  EXPECT_NE(table.GetText(22170).find("Palaukite"), std::string::npos);
  // A number the set lacks still tells which message was meant.
  EXPECT_FALSE(table.HasText(1));
  EXPECT_EQ(table.GetText(1), "[QTSFormRes #1]");
}

TEST(MessageTableTest, MissingOrMalformedSetsAndEarlyQuestionsAreErrors) {
  MessageTable table;
  EXPECT_THROW(table.GetText(842), Error);
  EXPECT_THROW(table.SetResourceName("NoSuchSet"), Error);
  testing::TempDir dir;
  std::ofstream(dir / "Broken.json") << R"({"messages": {"12x": "text"}})";
  testing::ScopedEnv env("QTS_RESOURCES", dir.Path().string());
  try {
    table.SetResourceName("Broken");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(e.Description().find("12x"), std::string::npos);
  }
  EXPECT_TRUE(table.ResourceName().empty()) << "a failed choice keeps the old state";
}

}  // namespace
}  // namespace qts::host
