// The host side of in-process components: loading a library with dlopen, finding the class
// behind a programmatic identifier in the registry, and creating objects through the
// library's class factory.
#ifndef QTS_HOST_PLUGIN_COMPONENT_HOST_H_
#define QTS_HOST_PLUGIN_COMPONENT_HOST_H_

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/com.h"
#include "core/object.h"
#include "host/plugin/entry_points.h"
#include "host/plugin/registry.h"

namespace qts::host {

// One loaded component library and its entry points.
class ComponentLibrary {
 public:
  // Loads the library; raises error 429 naming the path and the loader's reason when it cannot
  // be loaded or lacks an entry point.
  explicit ComponentLibrary(const std::filesystem::path& path);
  ComponentLibrary(const ComponentLibrary&) = delete;
  ComponentLibrary& operator=(const ComponentLibrary&) = delete;
  // Unloads the library only when it says it can; otherwise it stays loaded.
  ~ComponentLibrary();

  const std::filesystem::path& Path() const { return path_; }

  // The class factory of a creatable class. Raises the library's error when it refuses.
  std::shared_ptr<IClassFactory> GetClassObject(const Guid& clsid);
  // A new object of the class, seen as IUnknown.
  ObjectPtr CreateInstance(const Guid& clsid);
  bool CanUnloadNow();
  void RegisterServer();
  void UnregisterServer();
  std::string TypeLibrary();

 private:
  [[noreturn]] void ThrowFailure(HResult hr, std::string_view what);

  std::filesystem::path path_;
  void* handle_ = nullptr;
  QtsDllGetClassObjectFn get_class_object_ = nullptr;
  QtsDllCanUnloadNowFn can_unload_now_ = nullptr;
  QtsDllRegisterServerFn register_server_ = nullptr;
  QtsDllUnregisterServerFn unregister_server_ = nullptr;
  QtsTypeLibraryFn type_library_ = nullptr;
};

class ComponentHost {
 public:
  // `registry` is the user's; a class it does not know is looked up in `defaults`, the
  // registration installed with the host kit.
  explicit ComponentHost(Registry registry = Registry(Registry::DefaultPath()),
                         Registry defaults = Registry(Registry::DefaultsPath()));

  // The library at `path`, loaded once per host.
  std::shared_ptr<ComponentLibrary> Load(const std::filesystem::path& path);

  // Creates an object by programmatic identifier ("QTS_Inventory.CMCalculator"): the
  // registry names the class and its library. Raises error 429 with a description that says
  // what is missing (an unknown identifier, a class without a server, a library that fails to
  // load, a class the library refuses, start-up errors of the component).
  ObjectPtr CreateObject(std::string_view progid);
  // The class identifier registered for the programmatic identifier.
  Guid ClassIdOf(std::string_view progid) const;
  // The class and the library serving it: from the user's registry when it knows the
  // identifier, else from the registry defaults (a relative server path there is taken from
  // the host kit's library folder). Raises error 429 as CreateObject does.
  struct Registration {
    Guid clsid;
    std::filesystem::path server;
  };
  Registration Find(std::string_view progid) const;

  // Unloads the libraries that have no live objects; returns how many were unloaded.
  size_t FreeUnusedLibraries();

  const Registry& GetRegistry() const { return registry_; }

 private:
  Registry registry_;
  Registry defaults_;
  std::map<std::string, std::shared_ptr<ComponentLibrary>> libraries_;  // by canonical path
};

// The component library built with this host kit: $QTS_LIBRARY, else libqts_inventory.so in
// the host kit's own library folder.
std::filesystem::path DefaultComponentPath();

// Creates an object by programmatic identifier: through the registry when it knows the
// identifier, otherwise from the library at `library`, whose type library names the class.
// Raises 429 naming the identifier when neither has it or this build cannot create the class.
ObjectPtr CreateByProgId(ComponentHost& host, std::string_view progid,
                         const std::filesystem::path& library);

}  // namespace qts::host

#endif  // QTS_HOST_PLUGIN_COMPONENT_HOST_H_
