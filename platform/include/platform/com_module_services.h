// What KuvoAssist's COM module asks of the system: its lock, COM on the main thread, its own
// resources and the registration of its type library.
//
// On Windows CurrentSystem().com (platform/system.h) is the real APIs; elsewhere an emulation
// (platform/testing/emulated_com_module.h) over the emulated machine's COM and the process's
// emulated registry. For one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "platform/com_types.h"

namespace platform {

constexpr HResult kDispEException = static_cast<HResult>(0x80020009u);
constexpr HResult kTypeERegistryAccess = static_cast<HResult>(0x8002801Cu);

// HRESULT_FROM_WIN32.
constexpr HResult HResultFromWin32(uint32_t error) {
  return error == 0 ? kSOk : static_cast<HResult>((error & 0xFFFFu) | 0x80070000u);
}

class ComModuleServices {
 public:
  virtual ~ComModuleServices() = default;

  // The module's critical section (InitializeCriticalSectionEx); false when it cannot be made.
  virtual bool InitializeModuleLock() = 0;
  virtual HResult CoInitializeEx(uint32_t model) = 0;
  virtual void CoUninitialize() = 0;

  // The bytes of the program's resource `id` of `type` ("REGISTRY", "TYPELIB"); false when
  // there is none.
  virtual bool LoadResource(const wchar_t* type, uint16_t id, std::string* bytes) = 0;
  // The string-table entry `id`; empty when there is none.
  virtual std::wstring LoadString(uint16_t id) = 0;

  // Loads the type library embedded in `module_path` and registers it (RegisterTypeLib, or per
  // user RegisterTypeLibForUser looked up by name in "OLEAUT32.DLL"), with the module's folder
  // as help folder.
  virtual HResult RegisterTypeLibrary(const std::wstring& module_path, bool per_user) = 0;
  // Loads it the same way and removes its registration (UnRegisterTypeLib /
  // UnRegisterTypeLibForUser) with the library's own id, version, locale and system kind.
  virtual HResult UnregisterTypeLibrary(const std::wstring& module_path, bool per_user) = 0;
};

// The program's resources where there is no resource section to read them from (systems other
// than Windows): what the type-library resource holds, and the resources by type and id.
struct TypeLibraryDescription {
  std::wstring libid;  // in braces
  std::wstring name;
  uint16_t major = 0;
  uint16_t minor = 0;
};
struct ModuleResources {
  std::map<std::pair<std::wstring, uint16_t>, std::string> data;  // (type, id) -> bytes
  std::map<uint16_t, std::wstring> strings;
  TypeLibraryDescription type_library;  // TYPELIB 1
};

}  // namespace platform
