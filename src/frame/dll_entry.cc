// The library's entry points. Nothing is thrown across them: failures become result codes
// and the thread's error record.
#include <fmt/format.h>

#include <map>
#include <string>

#include "core/com.h"
#include "frame/catalogue.h"
#include "frame/component_object.h"
#include "frame/define_module.h"
#include "frame/registration.h"
#include "host/plugin/entry_points.h"

namespace qts::frame {
namespace {

class ClassFactory final : public Implements<IClassFactory> {
 public:
  explicit ClassFactory(const ClassInfo& cls) : cls_(cls) {}
  std::string_view ClassName() const override { return "ClassFactory"; }

  HResult CreateInstance(const Guid& iid, ObjectPtr* out) override {
    if (!out) return kEPointer;
    *out = nullptr;
    return GuardEntry(cls_.name, [&]() -> HResult {
      EnsureStarted();
      ObjectPtr object = Catalogue::Instance().Create(cls_);
      ObjectPtr seen = object->QueryInterface(iid);
      if (!seen) {
        const InterfaceInfo* iface = Catalogue::Instance().FindInterfaceById(iid);
        SetErrorInfo(Error(kErrNoInterface, cls_.ProgId(),
                           fmt::format("{} does not implement interface {}", cls_.ProgId(),
                                       iface ? iface->name : iid.ToString())));
        return kENoInterface;
      }
      *out = std::move(seen);
      return kSOk;
    });
  }

  HResult LockServer(bool lock) override {
    AddServerLock(lock ? 1 : -1);
    return kSOk;
  }

 private:
  const ClassInfo& cls_;
};

}  // namespace
}  // namespace qts::frame

extern "C" {

__attribute__((visibility("default"))) qts::HResult DllGetClassObject(const qts::Guid* clsid,
                                                                      const qts::Guid* iid,
                                                                      void** out) {
  using namespace qts;
  if (!clsid || !iid || !out) return kEPointer;
  *out = nullptr;
  return GuardEntry("DllGetClassObject", [&]() -> HResult {
    const frame::ClassInfo* cls = frame::Catalogue::Instance().FindClassById(*clsid);
    if (!cls || !cls->IsCreatable()) {
      SetErrorInfo(Error(
          kErrCannotCreate, std::string(frame::kLibraryName),
          cls ? fmt::format("{} is not creatable by programmatic identifier", cls->ProgId())
              : fmt::format("class {} is not in {}", clsid->ToString(), frame::kLibraryName)));
      return kClassEClassNotAvailable;
    }
    if (*iid != kIidIClassFactory && *iid != kIidIUnknown) return kENoInterface;
    // One factory per class, living as long as the library, like the static factories of
    // any server.
    static auto* factories = new std::map<const frame::ClassInfo*, ObjectPtr>();
    ObjectPtr& factory = (*factories)[cls];
    if (!factory) factory = std::make_shared<frame::ClassFactory>(*cls);
    *out = new ObjectPtr(factory);
    return kSOk;
  });
}
__attribute__((visibility("default"))) qts::HResult DllCanUnloadNow() {
  using namespace qts;
  return frame::ComponentObject::LiveCount() == 0 && frame::ServerLockCount() == 0 ? kSOk : kSFalse;
}

__attribute__((visibility("default"))) qts::HResult DllRegisterServer() {
  using namespace qts;
  return GuardEntry("DllRegisterServer", [&]() -> HResult {
    std::string path = frame::ServerPath();
    host::Registry(host::Registry::DefaultPath()).Edit([&](host::RegistryData& data) {
      frame::WriteRegistration(data, path);
    });
    return kSOk;
  });
}

__attribute__((visibility("default"))) qts::HResult DllUnregisterServer() {
  using namespace qts;
  return GuardEntry("DllUnregisterServer", [&]() -> HResult {
    host::Registry(host::Registry::DefaultPath()).Edit([&](host::RegistryData& data) {
      frame::RemoveRegistration(data);
    });
    return kSOk;
  });
}

__attribute__((visibility("default"))) const char* QtsTypeLibrary() {
  static const std::string* text =
      new std::string(qts::frame::Catalogue::Instance().ToJson().dump(2));
  return text->c_str();
}

}  // extern "C"
