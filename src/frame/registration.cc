#include "frame/registration.h"

#include <dlfcn.h>

#include <vector>

#include "frame/catalogue.h"

namespace qts::frame {

namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) {
    if (!out.empty()) out += '\\';
    out += p;
  }
  return out;
}

std::vector<std::string> OwnKeys() {
  const Catalogue& cat = Catalogue::Instance();
  std::vector<std::string> keys;
  for (const ClassInfo& cls : cat.Units()) {
    if (!cls.IsPublic()) continue;
    keys.push_back(Join({"CLSID", cls.clsid.ToString()}));
    keys.push_back(cls.ProgId());
  }
  keys.push_back(Join({"TypeLib", kLibId.ToString()}));
  for (const InterfaceInfo& iface : cat.Interfaces()) {
    if (!iface.host_defined) keys.push_back(Join({"Interface", iface.iid.ToString()}));
  }
  return keys;
}

void PruneEmptyParents(host::RegistryData& data, std::string key) {
  for (size_t pos = key.rfind('\\'); pos != std::string::npos; pos = key.rfind('\\')) {
    key.resize(pos);
    if (!data.KeyExists(key) || !data.SubKeys(key).empty() || data.HasValues(key)) return;
    // A parent with no values and no sub-keys was only there for our keys.
    data.DeleteTree(key);
  }
}

}  // namespace

void WriteRegistration(host::RegistryData& data, std::string_view server_path) {
  const Catalogue& cat = Catalogue::Instance();
  const std::string libid = kLibId.ToString();
  for (const ClassInfo& cls : cat.Units()) {
    if (!cls.IsPublic()) continue;
    const std::string clsid_key = Join({"CLSID", cls.clsid.ToString()});
    const std::string progid = cls.ProgId();
    data.SetValue(clsid_key, "", progid);
    data.SetValue(Join({clsid_key, "InprocServer32"}), "", server_path);
    data.SetValue(Join({clsid_key, "InprocServer32"}), "ThreadingModel", "Apartment");
    data.SetValue(Join({clsid_key, "ProgID"}), "", progid);
    data.SetValue(Join({clsid_key, "VERSION"}), "", kLibraryVersion);
    data.SetValue(Join({clsid_key, "TypeLib"}), "", libid);
    data.SetValue(progid, "", progid);
    data.SetValue(Join({progid, "CLSID"}), "", cls.clsid.ToString());
  }
  const std::string lib_key = Join({"TypeLib", libid, kLibraryVersion});
  data.SetValue(lib_key, "", kLibraryDescription);
  data.SetValue(lib_key, "Name", kLibraryName);
  data.SetValue(lib_key, "Definition", cat.ToJson().dump());
  data.SetValue(Join({lib_key, "0", "linux"}), "", server_path);
  data.SetValue(Join({lib_key, "FLAGS"}), "", "0");
  for (const InterfaceInfo& iface : cat.Interfaces()) {
    if (iface.host_defined) continue;
    const std::string key = Join({"Interface", iface.iid.ToString()});
    data.SetValue(key, "", iface.name);
    data.SetValue(Join({key, "TypeLib"}), "", libid);
    data.SetValue(Join({key, "TypeLib"}), "Version", kLibraryVersion);
  }
}

void RemoveRegistration(host::RegistryData& data) {
  for (const std::string& key : OwnKeys()) {
    if (data.DeleteTree(key)) PruneEmptyParents(data, key);
  }
}

std::string ServerPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ServerPath), &info) && info.dli_fname) {
    char resolved[4096];
    if (realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
  }
  return {};
}

}  // namespace qts::frame
