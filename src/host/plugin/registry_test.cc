#include "host/plugin/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <utility>

#include "core/error.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

TEST(RegistryDataTest, KeysAndValueNamesAreCaseInsensitiveAndKeepTheirSpelling) {
  RegistryData data;
  data.SetValue("CLSID\\{ABC}\\InprocServer32", "ThreadingModel", "Apartment");
  data.SetValue("clsid\\{abc}\\inprocserver32", "", "/lib/x.so");
  EXPECT_EQ(data.GetValue("Clsid\\{Abc}\\InprocServer32", "threadingmodel"), "Apartment");
  EXPECT_EQ(data.GetValue("CLSID\\{ABC}\\InprocServer32"), "/lib/x.so");
  EXPECT_EQ(data.SubKeys("CLSID"), std::vector<std::string>{"{ABC}"});
  // Parents exist without values of their own; a missing value is not an empty one.
  EXPECT_TRUE(data.KeyExists("CLSID\\{ABC}"));
  EXPECT_FALSE(data.GetValue("CLSID\\{ABC}").has_value());
  EXPECT_EQ(data.KeyCount(), 3u);
}

TEST(RegistryDataTest, DeleteTreeRemovesTheKeyAndEverythingBelowOnly) {
  RegistryData data;
  data.SetValue("A\\B", "", "1");
  data.SetValue("A\\B\\C", "x", "2");
  data.SetValue("A\\BB", "", "3");  // shares a prefix, not a parent
  EXPECT_TRUE(data.DeleteTree("a\\b"));
  EXPECT_FALSE(data.KeyExists("A\\B\\C"));
  EXPECT_EQ(data.GetValue("A\\BB"), "3");
  EXPECT_FALSE(data.DeleteTree("A\\B"));
  EXPECT_TRUE(data.RemoveValue("A\\BB", ""));
  EXPECT_FALSE(data.RemoveValue("A\\BB", ""));
}

TEST(RegistryDataTest, JsonRoundTripsAndRefusesOtherFiles) {
  RegistryData data;
  data.SetValue("QTS_Inventory.CMCalculator\\CLSID", "", "{9CAF012B-4CF8-4CC5-87F8-80F453A3E5E5}");
  data.SetValue("Software\\Halden Enterprise\\General", "AppFormDebug", "Taip \"ąčę\"");
  RegistryData back = RegistryData::FromJson(data.ToJson(), "test");
  EXPECT_EQ(back.GetValue("Software\\Halden Enterprise\\General", "AppFormDebug"), "Taip \"ąčę\"");
  EXPECT_EQ(back.ToJson(), data.ToJson());
  for (const char* bad : {"", "[]", "{\"keys\":{}}", "{\"format\":\"qts-registry/1\",\"keys\":[]}",
                          "{\"format\":\"qts-registry/1\",\"keys\":{\"A\":{\"v\":1}}}", "{oops",
                          "{\"format\":{}}", "{\"format\":1,\"keys\":{}}", "{\"format\":null}"}) {
    EXPECT_THROW(RegistryData::FromJson(bad, "bad.json"), Error) << bad;
  }
}

TEST(RegistryTest, AbsentFileReadsEmptyAndEditsPersist) {
  testing::TempDir dir;
  Registry registry(dir / "sub" / "registry.json");
  EXPECT_EQ(registry.Load().KeyCount(), 0u);
  registry.Edit([](RegistryData& d) { d.SetValue("K", "n", "v"); });
  EXPECT_EQ(Registry(registry.Path()).Load().GetValue("K", "n"), "v");
  EXPECT_FALSE(std::filesystem::exists(dir / "sub" / "registry.json.tmp"));
}

TEST(RegistryTest, AFailedEditLeavesTheFileAsItWas) {
  testing::TempDir dir;
  Registry registry(dir / "registry.json");
  registry.Edit([](RegistryData& d) { d.SetValue("K", "", "before"); });
  EXPECT_THROW(registry.Edit([](RegistryData& d) {
    d.SetValue("K", "", "after");
    throw Error(kErrInvalidCall, "test", "editor failed");
  }),
               Error);
  EXPECT_EQ(registry.Load().GetValue("K"), "before");
}

TEST(RegistryTest, ACorruptFileIsAClearError) {
  testing::TempDir dir;
  std::ofstream(dir / "registry.json") << "not json";
  try {
    Registry(dir / "registry.json").Load();
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(e.Description().find("registry.json is not a registry file"), std::string::npos);
  }
}

TEST(RegistryTest, AFileWithAKeyWithoutANameIsRefusedNamingTheFile) {
  // The key as the file's JSON spells it, and as the error shows it.
  const std::pair<std::string, std::string> keys[] = {
      {R"()", ""}, {R"(\\)", "\\"}, {R"(\\\\\\)", "\\\\\\"}};
  for (const auto& [json, shown] : keys) {
    const std::string text =
        R"({"format":"qts-registry/1","keys":{"K":{"n":"v"},")" + json + R"(":{"x":"y"}}})";
    try {
      RegistryData::FromJson(text, "settings.json");
      ADD_FAILURE() << "read a file with the key \"" << shown << "\"";
    } catch (const Error& e) {
      EXPECT_EQ(e.Description(), "settings.json: key \"" + shown + "\" has no name");
    }
  }
}

TEST(RegistryTest, ConcurrentEditsFromTwoProcessesAreNotLost) {
  testing::TempDir dir;
  Registry registry(dir / "registry.json");
  constexpr int kEdits = 50;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "child" : "parent";
  for (int i = 0; i < kEdits; ++i) {
    registry.Edit([&](RegistryData& d) { d.SetValue(who, std::to_string(i), "x"); });
  }
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  RegistryData data = registry.Load();
  for (int i = 0; i < kEdits; ++i) {
    EXPECT_TRUE(data.GetValue("parent", std::to_string(i)).has_value()) << i;
    EXPECT_TRUE(data.GetValue("child", std::to_string(i)).has_value()) << i;
  }
}

TEST(RegistryTest, DefaultPathFollowsTheEnvironment) {
  {
    testing::ScopedEnv env("QTS_REGISTRY", "/tmp/elsewhere.json");
    EXPECT_EQ(Registry::DefaultPath(), "/tmp/elsewhere.json");
  }
  testing::ScopedEnv unset("QTS_REGISTRY", "");
  testing::ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg");
  EXPECT_EQ(Registry::DefaultPath(), "/tmp/xdg/qts/registry.json");
}

}  // namespace
}  // namespace qts::host
