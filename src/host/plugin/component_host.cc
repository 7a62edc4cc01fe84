#include "host/plugin/component_host.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/dispatch.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "host/plugin/install_layout.h"

namespace qts::host {

namespace {

[[noreturn]] void CannotCreate(std::string description) {
  throw Error(kErrCannotCreate, "ComponentHost", std::move(description));
}

template <class Fn>
Fn Symbol(void* handle, const char* name, const std::filesystem::path& path) {
  void* sym = dlsym(handle, name);
  if (!sym) CannotCreate(fmt::format("{} does not export {}", path.string(), name));
  return reinterpret_cast<Fn>(sym);
}

}  // namespace

ComponentLibrary::ComponentLibrary(const std::filesystem::path& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    CannotCreate(fmt::format("cannot load component library {}: {}", path.string(),
                             reason ? reason : "unknown reason"));
  }
  Log(LogLevel::kInfo, "loaded component library {}", path_.string());
  get_class_object_ = Symbol<QtsDllGetClassObjectFn>(handle_, "DllGetClassObject", path_);
  can_unload_now_ = Symbol<QtsDllCanUnloadNowFn>(handle_, "DllCanUnloadNow", path_);
  register_server_ = Symbol<QtsDllRegisterServerFn>(handle_, "DllRegisterServer", path_);
  unregister_server_ = Symbol<QtsDllUnregisterServerFn>(handle_, "DllUnregisterServer", path_);
  type_library_ = reinterpret_cast<QtsTypeLibraryFn>(dlsym(handle_, "QtsTypeLibrary"));
}

ComponentLibrary::~ComponentLibrary() {
  // Objects of the library may still be alive in the host: unloading then would pull their
  // code away, so the library stays.
  if (handle_ && can_unload_now_ && can_unload_now_() == kSOk) dlclose(handle_);
}

void ComponentLibrary::ThrowFailure(HResult hr, std::string_view what) {
  if (auto info = TakeErrorInfo()) throw *info;
  throw Error(kErrCannotCreate, "ComponentHost",
              fmt::format("{} failed in {} (result 0x{:08X})", what, path_.string(),
                          static_cast<uint32_t>(hr)));
}

std::shared_ptr<IClassFactory> ComponentLibrary::GetClassObject(const Guid& clsid) {
  void* out = nullptr;
  ClearErrorInfo();
  HResult hr = get_class_object_(&clsid, &kIidIClassFactory, &out);
  if (Failed(hr) || !out) ThrowFailure(hr, "DllGetClassObject");
  std::unique_ptr<ObjectPtr> holder(static_cast<ObjectPtr*>(out));
  auto factory = TryQueryInterface<IClassFactory>(*holder);
  if (!factory)
    CannotCreate(fmt::format("{} handed out an object that is no class factory", path_.string()));
  return factory;
}

ObjectPtr ComponentLibrary::CreateInstance(const Guid& clsid) {
  auto factory = GetClassObject(clsid);
  ObjectPtr object;
  ClearErrorInfo();
  HResult hr = factory->CreateInstance(kIidIUnknown, &object);
  if (Failed(hr) || !object) ThrowFailure(hr, "CreateInstance");
  return object;
}

bool ComponentLibrary::CanUnloadNow() { return can_unload_now_() == kSOk; }

void ComponentLibrary::RegisterServer() {
  ClearErrorInfo();
  HResult hr = register_server_();
  if (Failed(hr)) ThrowFailure(hr, "DllRegisterServer");
}

void ComponentLibrary::UnregisterServer() {
  ClearErrorInfo();
  HResult hr = unregister_server_();
  if (Failed(hr)) ThrowFailure(hr, "DllUnregisterServer");
}

std::string ComponentLibrary::TypeLibrary() {
  if (!type_library_) CannotCreate(path_.string() + " carries no type library");
  const char* text = type_library_();
  return text ? text : "";
}

ComponentHost::ComponentHost(Registry registry, Registry defaults)
    : registry_(std::move(registry)), defaults_(std::move(defaults)) {}

std::shared_ptr<ComponentLibrary> ComponentHost::Load(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  std::string key = (ec ? path : canonical).string();
  auto& slot = libraries_[key];
  if (!slot) slot = std::make_shared<ComponentLibrary>(ec ? path : canonical);
  return slot;
}

ComponentHost::Registration ComponentHost::Find(std::string_view progid) const {
  RegistryData data = registry_.Load();
  const std::string clsid_key = std::string(progid) + "\\CLSID";
  bool from_defaults = false;
  if (!data.GetValue(clsid_key)) {
    RegistryData installed = defaults_.Load();
    if (installed.GetValue(clsid_key)) {
      data = std::move(installed);
      from_defaults = true;
    }
  }
  auto clsid_text = data.GetValue(clsid_key);
  if (!clsid_text) {
    CannotCreate(
        fmt::format("\"{}\" is not registered (registry {}); register its component "
                    "with `qts register`",
                    progid, registry_.Path().string()));
  }
  auto clsid = Guid::Parse(*clsid_text);
  if (!clsid) {
    CannotCreate(fmt::format("\"{}\" is registered with a malformed class identifier \"{}\"",
                             progid, *clsid_text));
  }
  auto server = data.GetValue("CLSID\\" + clsid->ToString() + "\\InprocServer32");
  if (!server || server->empty()) {
    CannotCreate(fmt::format("class {} of \"{}\" has no in-process server registered",
                             clsid->ToString(), progid));
  }
  std::filesystem::path path = *server;
  if (from_defaults && path.is_relative()) path = HostLibraryDir() / path;
  Log(LogLevel::kDebug, "{} is class {} in {} (from {})", progid, clsid->ToString(), path.string(),
      (from_defaults ? defaults_ : registry_).Path().string());
  return {*clsid, path};
}

Guid ComponentHost::ClassIdOf(std::string_view progid) const { return Find(progid).clsid; }

ObjectPtr ComponentHost::CreateObject(std::string_view progid) {
  const Registration registration = Find(progid);
  try {
    return Load(registration.server)->CreateInstance(registration.clsid);
  } catch (const Error& e) {
    if (e.Number() == kErrCannotCreate) throw;
    // An error of the component itself (for instance its start-up): same number, and the
    // description says what was being created.
    throw Error(e.Number(), e.Source(),
                fmt::format("cannot create \"{}\": {}", progid, e.Description()));
  }
}

size_t ComponentHost::FreeUnusedLibraries() {
  size_t freed = 0;
  for (auto it = libraries_.begin(); it != libraries_.end();) {
    if (it->second.use_count() == 1 && it->second->CanUnloadNow()) {
      it = libraries_.erase(it);
      ++freed;
    } else {
      ++it;
    }
  }
  return freed;
}

std::filesystem::path DefaultComponentPath() {
  if (const char* env = std::getenv("QTS_LIBRARY"); env && *env) return env;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DefaultComponentPath), &info) && info.dli_fname) {
    return std::filesystem::path(info.dli_fname).parent_path() / "libqts_inventory.so";
  }
  return "libqts_inventory.so";
}

ObjectPtr CreateByProgId(ComponentHost& host, std::string_view progid,
                         const std::filesystem::path& library) {
  if (host.GetRegistry().Load().KeyExists(std::string(progid))) return host.CreateObject(progid);
  const nlohmann::json lib = nlohmann::json::parse(host.Load(library)->TypeLibrary());
  for (const auto& cls : lib["classes"]) {
    if (!EqualsIgnoreCase(cls.value("progid", ""), progid)) continue;
    if (!cls.value("creatable", false) || !cls.value("available", false)) {
      throw Error(
          kErrCannotCreate, "ComponentHost",
          "\"" + std::string(progid) + "\" cannot be created by this build of the component");
    }
    const std::optional<Guid> clsid = Guid::Parse(cls.value("clsid", ""));
    if (!clsid) break;
    return host.Load(library)->CreateInstance(*clsid);
  }
  throw Error(kErrCannotCreate, "ComponentHost",
              "no class \"" + std::string(progid) + "\" in the registry or in " + library.string());
}

}  // namespace qts::host
