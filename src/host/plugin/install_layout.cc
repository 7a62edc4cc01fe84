#include "host/plugin/install_layout.h"

#include <dlfcn.h>

namespace qts::host {

std::filesystem::path HostLibraryDir() {
  // The library does not move while it is loaded: asked once (every resource look-up needs it).
  static const std::filesystem::path dir = [] {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&HostLibraryDir), &info) && info.dli_fname) {
      return std::filesystem::path(info.dli_fname).parent_path();
    }
    return std::filesystem::path();
  }();
  return dir;
}

std::filesystem::path HostDataDir() {
  const std::filesystem::path lib = HostLibraryDir();
  if (lib.empty()) return {};
  return (lib / QTS_LIBDIR_TO_DATADIR / "qts").lexically_normal();
}

}  // namespace qts::host
