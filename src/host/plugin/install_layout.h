// Where the host kit finds what is installed with it. The command, the libraries and the data
// may be installed under any prefix (or unpacked anywhere): the data folder is found from the
// host kit's own library folder by the relative path the build laid them out with.
#ifndef QTS_HOST_PLUGIN_INSTALL_LAYOUT_H_
#define QTS_HOST_PLUGIN_INSTALL_LAYOUT_H_

#include <filesystem>

namespace qts::host {

// The folder holding libqts_host.so as loaded in this process; empty when it cannot be told.
std::filesystem::path HostLibraryDir();

// The host kit's data folder, share/qts reached from HostLibraryDir(): message resources
// (resources/) and the registry defaults (registry.json) installed with the package.
std::filesystem::path HostDataDir();

}  // namespace qts::host

#endif  // QTS_HOST_PLUGIN_INSTALL_LAYOUT_H_
