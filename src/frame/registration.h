// What the component writes into the host's registry when it registers, and removes when it
// unregisters.
#ifndef QTS_FRAME_REGISTRATION_H_
#define QTS_FRAME_REGISTRATION_H_

#include <string>
#include <string_view>

#include "host/plugin/registry.h"

namespace qts::frame {

// Per public class: "CLSID\{clsid}" (ProgID, in-process server path with the apartment
// threading model, version, type library) and "<ProgID>\CLSID"; once: "TypeLib\{libid}\1.0"
// with the library's description, path and type information; per own interface:
// "Interface\{iid}".
void WriteRegistration(host::RegistryData& data, std::string_view server_path);

// Removes exactly the keys WriteRegistration writes, and parent keys left empty by that.
void RemoveRegistration(host::RegistryData& data);

// The path of the loaded component library.
std::string ServerPath();

}  // namespace qts::frame

#endif  // QTS_FRAME_REGISTRATION_H_
