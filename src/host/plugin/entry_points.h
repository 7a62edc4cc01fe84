// The four entry points of an in-process component library, as the host calls them.
//
//   DllGetClassObject(clsid, iid, out): the class factory of a public creatable class. On
//     success *out receives a heap-allocated `qts::ObjectPtr*` holding the factory; the caller
//     adopts it (and deletes the holder). iid must be IClassFactory or IUnknown.
//   DllCanUnloadNow(): kSOk when no object of the library is alive and no factory is locked,
//     kSFalse otherwise.
//   DllRegisterServer() / DllUnregisterServer(): write / remove the library's classes in the
//     host's registry (Registry::DefaultPath()).
//   QtsTypeLibrary(): the library's type library as JSON text, owned by the library.
//
// No exception crosses these functions: a failure is a result code, and the thread's error
// record (qts::TakeErrorInfo) says why.
#ifndef QTS_HOST_PLUGIN_ENTRY_POINTS_H_
#define QTS_HOST_PLUGIN_ENTRY_POINTS_H_

#include "core/com.h"
#include "core/guid.h"

extern "C" {
using QtsDllGetClassObjectFn = qts::HResult (*)(const qts::Guid* clsid, const qts::Guid* iid,
                                                void** out);
using QtsDllCanUnloadNowFn = qts::HResult (*)();
using QtsDllRegisterServerFn = qts::HResult (*)();
using QtsDllUnregisterServerFn = qts::HResult (*)();
using QtsTypeLibraryFn = const char* (*)();
}

#endif  // QTS_HOST_PLUGIN_ENTRY_POINTS_H_
