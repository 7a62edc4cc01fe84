// The component's catalogue: its type library (public classes, their programmatic identifiers,
// interfaces and members in slot order, the event interface and the enumeration) and the
// private classes, forms and modules behind them. Classes that exist in this build register a
// creator; asking for one that does not exist fails with a clear error, never a fake object.
#ifndef QTS_FRAME_CATALOGUE_H_
#define QTS_FRAME_CATALOGUE_H_

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/guid.h"
#include "core/object.h"

namespace qts::frame {

inline constexpr std::string_view kLibraryName = "QTS_Inventory";
inline constexpr std::string_view kLibraryDescription = "QTS Inventory and production documents";
inline constexpr std::string_view kLibraryVersion = "1.0";
inline constexpr Guid kLibId = MakeGuid("6CE60995-60A7-4014-AF3B-2FCE1334BD6D");

enum class UnitKind {
  kCreatable,     // public, created by programmatic identifier
  kGlobal,        // public, creatable, a global application object
  kNotCreatable,  // public interface class, implemented by others
  kPrivate,       // reachable only from the component's own code
  kForm,
  kModule,
};

enum class MemberKind { kMethod, kPropertyGet, kPropertyPut, kEvent };

struct ParamInfo {
  std::string name;
  std::string type;
  bool optional = false;
  std::string default_value;  // as written in the type library, e.g. "11", "Nothing"
  bool by_value = false;
};

struct MemberInfo {
  std::string name;
  MemberKind kind = MemberKind::kMethod;
  std::vector<ParamInfo> params;
  std::string result;  // empty: none
};

struct InterfaceInfo {
  std::string name;
  Guid iid;
  bool host_defined = false;  // defined by the host, implemented here
  bool events = false;        // an event (source) interface
  std::vector<MemberInfo> members;
};

struct ClassInfo {
  std::string name;
  UnitKind kind = UnitKind::kPrivate;
  Guid clsid;                           // public classes only
  std::string default_interface;        // "_" + name for public classes
  std::vector<std::string> implements;  // further interfaces, host's or ours
  std::string event_interface;          // raised events, if any
  std::string role;

  bool IsPublic() const {
    return kind == UnitKind::kCreatable || kind == UnitKind::kGlobal ||
           kind == UnitKind::kNotCreatable;
  }
  bool IsCreatable() const { return kind == UnitKind::kCreatable || kind == UnitKind::kGlobal; }
  std::string ProgId() const { return std::string(kLibraryName) + "." + name; }
};

struct EnumInfo {
  std::string name;
  Guid guid;
  std::vector<std::pair<std::string, int32_t>> values;
};

class Catalogue {
 public:
  using Creator = std::function<ObjectPtr()>;

  static Catalogue& Instance();

  // All 47 units in catalogue order: classes, then forms, then modules.
  const std::vector<ClassInfo>& Units() const { return units_; }
  const std::vector<InterfaceInfo>& Interfaces() const { return interfaces_; }
  const std::vector<EnumInfo>& Enums() const { return enums_; }

  // Lookups are case-insensitive, as class names are on the platform.
  const ClassInfo* FindClass(std::string_view name) const;
  const ClassInfo* FindClassById(const Guid& clsid) const;
  // "QTS_Inventory.<Class>" of a public class; null for anything else.
  const ClassInfo* FindProgId(std::string_view progid) const;
  const InterfaceInfo* FindInterface(std::string_view name) const;
  const InterfaceInfo* FindInterfaceById(const Guid& iid) const;

  // Called once per class by the translation unit that implements it.
  void RegisterCreator(std::string_view class_name, Creator creator);
  bool HasCreator(std::string_view class_name) const;
  // A new object of a public creatable class. Raises error 429 with a description naming the
  // class when it is not creatable by identifier or not part of this build.
  ObjectPtr Create(const ClassInfo& cls) const;

  // The type library as JSON: library, classes (public), interfaces, enumerations, and the
  // private units with their kinds.
  nlohmann::ordered_json ToJson() const;

 private:
  Catalogue();
  std::vector<ClassInfo> units_;
  std::vector<InterfaceInfo> interfaces_;
  std::vector<EnumInfo> enums_;
  std::vector<std::pair<std::string, Creator>> creators_;
};

// Registers a creator at load time: `const ClassRegistrar kRegistrar("CMCalculator", ...);`
struct ClassRegistrar {
  ClassRegistrar(std::string_view class_name, Catalogue::Creator creator) {
    Catalogue::Instance().RegisterCreator(class_name, std::move(creator));
  }
};

std::string_view UnitKindName(UnitKind kind);
std::string_view MemberKindName(MemberKind kind);

}  // namespace qts::frame

#endif  // QTS_FRAME_CATALOGUE_H_
