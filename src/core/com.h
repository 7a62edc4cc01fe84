// The in-process component boundary: result codes, the class factory, and the per-thread
// error record through which an error crosses an entry point that may not throw.
#ifndef QTS_CORE_COM_H_
#define QTS_CORE_COM_H_

#include <cstdint>
#include <optional>

#include "core/error.h"
#include "core/object.h"

namespace qts {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kENoInterface = static_cast<HResult>(0x80004002u);
inline constexpr HResult kEPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFFu);
inline constexpr HResult kClassENoAggregation = static_cast<HResult>(0x80040110u);
inline constexpr HResult kClassEClassNotAvailable = static_cast<HResult>(0x80040111u);
inline constexpr HResult kSelfRegEClass = static_cast<HResult>(0x80040201u);
inline constexpr HResult kDispEException = static_cast<HResult>(0x80020009u);

constexpr bool Succeeded(HResult hr) { return hr >= 0; }
constexpr bool Failed(HResult hr) { return hr < 0; }

inline constexpr Guid kIidIClassFactory = MakeGuid("00000001-0000-0000-C000-000000000046");

// Creates the objects of one class. A factory lives as long as the library that made it.
class IClassFactory : public virtual Object {
 public:
  static constexpr Guid kIid = kIidIClassFactory;
  static constexpr std::string_view kName = "IClassFactory";

  // Creates a new object and returns it through `out` seen as `iid`. On failure `out` stays
  // null and the error record of this thread describes why.
  virtual HResult CreateInstance(const Guid& iid, ObjectPtr* out) = 0;
  // Keeps the library loaded while locked, whether or not objects are alive.
  virtual HResult LockServer(bool lock) = 0;
};

// The error record of the calling thread: set by the side that fails, taken by the caller.
void SetErrorInfo(const Error& error);
void ClearErrorInfo();
std::optional<Error> TakeErrorInfo();

// Runs `fn` and turns any exception into a result code plus the thread's error record, so
// nothing is thrown across an entry point.
template <class Fn>
HResult GuardEntry(std::string_view source, Fn&& fn) noexcept {
  try {
    ClearErrorInfo();
    return fn();
  } catch (const Error& e) {
    SetErrorInfo(e);
    return kDispEException;
  } catch (const std::exception& e) {
    SetErrorInfo(Error(kEFail, std::string(source), e.what()));
    return kEFail;
  } catch (...) {
    SetErrorInfo(Error(kEUnexpected, std::string(source), "unexpected failure"));
    return kEUnexpected;
  }
}

}  // namespace qts

#endif  // QTS_CORE_COM_H_
