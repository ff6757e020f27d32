// COM and WMI as the adapter configuration uses them, in the calls' own shape: every call that
// COM answers with an HRESULT answers one here, and out pointers are set to null on failure.
//
// The objects (IWbemLocator, IWbemServices, IEnumWbemClassObject, IWbemClassObject) are opaque
// ComObject handles, each holding one reference that the caller gives back with Release.
// Calls run on the thread that initialised COM; an implementation need not be usable from
// several threads at once.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

namespace platform {

struct ComObjectHandle;
using ComObject = ComObjectHandle*;

// CoInitializeEx models.
constexpr uint32_t kCoinitMultithreaded = 0x0;
constexpr uint32_t kCoinitApartmentThreaded = 0x2;

// Authentication and impersonation values of CoInitializeSecurity and CoSetProxyBlanket.
constexpr int32_t kRpcCAuthnDefault = -1;
constexpr uint32_t kRpcCAuthnLevelDefault = 0;
constexpr uint32_t kRpcCAuthnLevelCall = 3;
constexpr uint32_t kRpcCImpLevelImpersonate = 3;
constexpr uint32_t kRpcCAuthnWinnt = 10;
constexpr uint32_t kRpcCAuthzNone = 0;
constexpr uint32_t kEoacNone = 0;

// IWbemServices::ExecQuery flags.
constexpr int32_t kWbemFlagForwardOnly = 0x20;
constexpr int32_t kWbemFlagReturnImmediately = 0x10;
// IEnumWbemClassObject::Next time-out.
constexpr int32_t kWbemInfinite = -1;

// The process-wide COM security values (no descriptor, no service or authentication list).
struct ComSecurity {
  int32_t authentication_services = kRpcCAuthnDefault;
  uint32_t authentication_level = kRpcCAuthnLevelDefault;
  uint32_t impersonation_level = kRpcCImpLevelImpersonate;
  uint32_t capabilities = kEoacNone;
};

// A proxy blanket (no principal name, no identity).
struct ProxyBlanket {
  uint32_t authentication_service = kRpcCAuthnWinnt;
  uint32_t authorization_service = kRpcCAuthzNone;
  uint32_t authentication_level = kRpcCAuthnLevelCall;
  uint32_t impersonation_level = kRpcCImpLevelImpersonate;
  uint32_t capabilities = kEoacNone;
};

class Wmi {
 public:
  virtual ~Wmi() = default;

  // COM on the calling thread. S_FALSE (already initialised) still needs its CoUninitialize.
  virtual HResult CoInitializeEx(uint32_t model) = 0;
  virtual void CoUninitialize() = 0;
  // Once per process; a later call answers RPC_E_TOO_LATE.
  virtual HResult CoInitializeSecurity(const ComSecurity& security) = 0;

  // CoCreateInstance(CLSID_WbemLocator, in-process server, IID_IWbemLocator).
  virtual HResult CreateLocator(ComObject* locator) = 0;
  // IWbemLocator::ConnectServer with no user, password, locale, authority or context, flags 0.
  virtual HResult ConnectServer(ComObject locator, const wchar_t* name_space,
                                ComObject* services) = 0;
  virtual HResult SetProxyBlanket(ComObject services, const ProxyBlanket& blanket) = 0;
  // IWbemServices::ExecQuery with no context.
  virtual HResult ExecQuery(ComObject services, const wchar_t* language, const wchar_t* query,
                            int32_t flags, ComObject* enumerator) = 0;
  // IEnumWbemClassObject::Next for one object; WBEM_S_FALSE with `returned` 0 at the end.
  virtual HResult Next(ComObject enumerator, int32_t timeout, ComObject* object,
                       uint32_t* returned) = 0;
  // IWbemServices::GetObject (flags 0, no context, no call result).
  virtual HResult GetObject(ComObject services, const wchar_t* path, ComObject* object) = 0;
  // IWbemClassObject::Get / Put (flags 0). Put's `type` 0 lets WMI take it from the value.
  virtual HResult Get(ComObject object, const wchar_t* name, Variant* value) = 0;
  virtual HResult Put(ComObject object, const wchar_t* name, const Variant& value,
                      int32_t type) = 0;
  // IWbemClassObject::GetMethod (flags 0, no output signature): the input signature, which is
  // null for a method without input parameters.
  virtual HResult GetMethod(ComObject class_object, const wchar_t* method,
                            ComObject* in_signature) = 0;
  virtual HResult SpawnInstance(ComObject class_object, ComObject* instance) = 0;
  // IWbemServices::ExecMethod (flags 0, no context, no call result). `in` may be null.
  virtual HResult ExecMethod(ComObject services, const wchar_t* object_path, const wchar_t* method,
                             ComObject in, ComObject* out) = 0;
  // IUnknown::Release. Returns the references left.
  virtual uint32_t Release(ComObject object) = 0;

  // SafeArrayCreateVector(VT_BSTR, 0, count): null on failure.
  virtual SafeArray SafeArrayCreateBstrVector(uint32_t count) = 0;
  // SafeArrayPutElement: the array stores its own copy of `text`.
  virtual HResult SafeArrayPutElement(SafeArray array, int32_t index, Bstr text) = 0;
  virtual HResult SafeArrayDestroy(SafeArray array) = 0;
  // SysAllocString (null when out of memory) / SysFreeString (null is fine).
  virtual Bstr SysAllocString(const wchar_t* text) = 0;
  virtual void SysFreeString(Bstr text) = 0;
};

}  // namespace platform
