#include "host/plugin/component_host.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "core/dispatch.h"
#include "core/error.h"
#include "core/testing/qts_matchers.h"
#include "host/plugin/install_layout.h"
#include "host/services/settings_store.h"
#include "host/testing/scoped_env.h"

namespace qts::host {
namespace {

// Each test works on a registry and settings store of its own.
class ComponentHostTest : public ::testing::Test {
 protected:
  ComponentHostTest()
      : registry_env_("QTS_REGISTRY", (dir_ / "registry.json").string()),
        settings_env_("QTS_SETTINGS", (dir_ / "settings.json").string()) {}

  void Register() { host_.Load(DefaultComponentPath())->RegisterServer(); }

  testing::TempDir dir_;
  testing::ScopedEnv registry_env_;
  testing::ScopedEnv settings_env_;
  ComponentHost host_;
};

TEST_F(ComponentHostTest, CreatesPublicObjectsByProgIdThroughTheLoadedLibrary) {
  Register();
  ObjectPtr object = host_.CreateObject("QTS_Inventory.IMOpDocSupport");
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->ClassName(), "IMOpDocSupport");
  EXPECT_TRUE(CallByName(object, "MDocSup", InvokeKind::kPropertyGet).IsNothing());
  // Identifiers are case-insensitive, as on the platform.
  EXPECT_NE(host_.CreateObject("qts_inventory.imopdocsupport"), nullptr);
}

TEST_F(ComponentHostTest, RefusalsSayWhatIsMissing) {
  EXPECT_QTS_ERROR_TEXT(host_.CreateObject("QTS_Inventory.IMOpDocSupport"), kErrCannotCreate,
                        "not registered");
  Register();
  EXPECT_QTS_ERROR_TEXT(host_.CreateObject("QTS_Inventory.CItemWriteOff"), kErrCannotCreate,
                        "not registered");
  EXPECT_QTS_ERROR_TEXT(host_.CreateObject("QTS_Inventory.IMDocSupport"), kErrCannotCreate,
                        "not creatable");
}

TEST_F(ComponentHostTest, ABrokenServerPathIsReportedWithTheLoadersReason) {
  Register();
  Registry(dir_ / "registry.json").Edit([&](RegistryData& d) {
    Guid clsid = host_.ClassIdOf("QTS_Inventory.IMOpDocSupport");
    d.SetValue("CLSID\\" + clsid.ToString() + "\\InprocServer32", "", "/nowhere/libgone.so");
  });
  EXPECT_QTS_ERROR_TEXT(host_.CreateObject("QTS_Inventory.IMOpDocSupport"), kErrCannotCreate,
                        "/nowhere/libgone.so");
}

// The registry defaults the build writes for installation name the component by file name: an
// installed host finds it in its own library folder. The user's registry, when it knows a
// class, comes first.
TEST_F(ComponentHostTest, ClassesTheUserDidNotRegisterComeFromTheInstalledDefaults) {
  // Written by the build beside its lib/ folder, into packaging/.
  const std::filesystem::path defaults =
      (HostLibraryDir() / ".." / "packaging" / "registry.json").lexically_normal();
  ASSERT_TRUE(std::filesystem::exists(defaults)) << defaults;
  ComponentHost host(Registry(dir_ / "registry.json"), Registry(defaults));

  const Guid clsid = host.ClassIdOf("QTS_Inventory.IMOpDocSupport");
  EXPECT_EQ(Registry(defaults).Load().GetValue("CLSID\\" + clsid.ToString() + "\\InprocServer32"),
            "libqts_inventory.so");
  ObjectPtr object = host.CreateObject("QTS_Inventory.IMOpDocSupport");
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->ClassName(), "IMOpDocSupport");
  EXPECT_QTS_ERROR_TEXT(host.CreateObject("QTS_Inventory.CItemWriteOff"), kErrCannotCreate,
                        "not registered");

  Registry(dir_ / "registry.json").Edit([&](RegistryData& d) {
    d.SetValue("QTS_Inventory.IMOpDocSupport\\CLSID", "", clsid.ToString());
    d.SetValue("CLSID\\" + clsid.ToString() + "\\InprocServer32", "", "/nowhere/libmine.so");
  });
  EXPECT_QTS_ERROR_TEXT(host.CreateObject("QTS_Inventory.IMOpDocSupport"), kErrCannotCreate,
                        "/nowhere/libmine.so");
}

TEST_F(ComponentHostTest, RegistrationWritesEveryPublicClassAndUnregistrationRemovesExactlyThat) {
  Registry registry(dir_ / "registry.json");
  registry.Edit([](RegistryData& d) {
    d.SetValue("CLSID\\{00000000-0000-0000-0000-000000000001}", "", "Other.Thing");
    d.SetValue("Other.Thing\\CLSID", "", "{00000000-0000-0000-0000-000000000001}");
  });
  const std::string before = registry.Load().ToJson();

  Register();
  RegistryData data = registry.Load();
  auto lib = nlohmann::json::parse(host_.Load(DefaultComponentPath())->TypeLibrary());
  size_t public_classes = 0;
  for (const auto& cls : lib["classes"]) {
    ++public_classes;
    std::string progid = cls["progid"].get<std::string>();
    std::string clsid = cls["clsid"].get<std::string>();
    EXPECT_EQ(data.GetValue(progid + "\\CLSID"), clsid);
    EXPECT_EQ(data.GetValue("CLSID\\" + clsid), progid);
    EXPECT_EQ(data.GetValue("CLSID\\" + clsid + "\\ProgID"), progid);
    EXPECT_EQ(data.GetValue("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel"), "Apartment");
    auto server = data.GetValue("CLSID\\" + clsid + "\\InprocServer32");
    ASSERT_TRUE(server.has_value());
    EXPECT_TRUE(std::filesystem::exists(*server)) << *server;
  }
  EXPECT_EQ(public_classes, 20u);
  std::string libid = lib["library"]["libid"].get<std::string>();
  EXPECT_EQ(data.GetValue("TypeLib\\" + libid + "\\1.0", "Name"), "QTS_Inventory");
  auto definition = data.GetValue("TypeLib\\" + libid + "\\1.0", "Definition");
  ASSERT_TRUE(definition.has_value());
  EXPECT_EQ(nlohmann::json::parse(*definition), lib);

  // Registering twice changes nothing; unregistering restores the registry exactly.
  Register();
  EXPECT_EQ(registry.Load().ToJson(), data.ToJson());
  host_.Load(DefaultComponentPath())->UnregisterServer();
  EXPECT_EQ(registry.Load().ToJson(), before);
}

TEST_F(ComponentHostTest, TheLibraryCanUnloadOnlyWhenNoObjectIsAlive) {
  Register();
  auto lib = host_.Load(DefaultComponentPath());
  EXPECT_TRUE(lib->CanUnloadNow());
  ObjectPtr object = host_.CreateObject("QTS_Inventory.IMOpDocSupport");
  EXPECT_FALSE(lib->CanUnloadNow());
  auto factory = lib->GetClassObject(host_.ClassIdOf("QTS_Inventory.IMOpDocSupport"));
  object.reset();
  EXPECT_TRUE(lib->CanUnloadNow());
  factory->LockServer(true);
  EXPECT_FALSE(lib->CanUnloadNow()) << "a locked factory keeps the library";
  factory->LockServer(false);
  EXPECT_TRUE(lib->CanUnloadNow());
}

// Start-up runs in a process of its own (the qts command) so that it meets a library that has
// not started yet, whatever this test process did before.
int CreateInFreshProcess(const std::string& stored, std::string* output) {
  SettingsStore().SaveSetting("Halden Enterprise", "General", "AppFormDebug", stored);
  std::filesystem::path qts = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "qts";
  std::string command = qts.string() + " create QTS_Inventory.IMOpDocSupport 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ComponentHostTest, AStoredFlagThatIsNoBooleanFailsStartUpWithTypeMismatch) {
  Register();
  std::string output;
  EXPECT_EQ(CreateInFreshProcess("", &output), 1);
  EXPECT_NE(output.find("cannot create \"QTS_Inventory.IMOpDocSupport\": Type mismatch"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("AppFormDebug"), std::string::npos) << output;
  EXPECT_NE(output.find("error 13"), std::string::npos) << output;
  output.clear();
  EXPECT_EQ(CreateInFreshProcess("True", &output), 0) << output;
}

}  // namespace
}  // namespace qts::host
