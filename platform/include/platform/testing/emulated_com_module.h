// The COM module services on systems other than Windows (not available on Windows): COM through
// the emulated machine's Wmi (so the apartment rules of one thread hold across the adapter work
// and the module), the program's resources from a table, and type-library registration written
// into the process's emulated registry as Windows writes it:
//   <root>\TypeLib\{LIBID}\<major>.<minor>            default value: the library name
//   <root>\TypeLib\{LIBID}\<major>.<minor>\FLAGS      "0"
//   <root>\TypeLib\{LIBID}\<major>.<minor>\HELPDIR    the module's folder
//   <root>\TypeLib\{LIBID}\<major>.<minor>\0\win32    the module path
// with <root> HKEY_CLASSES_ROOT, or HKEY_CURRENT_USER\Software\Classes per user. Removal deletes
// the version key, and the library key when no version is left.
#pragma once

#include <string>

#include "platform/com_module_services.h"
#include "platform/wmi.h"

namespace platform {

class EmulatedComModule final : public ComModuleServices {
 public:
  // `wmi` (the machine's) must outlive the object.
  EmulatedComModule(Wmi* wmi, ModuleResources resources);

  bool InitializeModuleLock() override;
  HResult CoInitializeEx(uint32_t model) override;
  void CoUninitialize() override;
  bool LoadResource(const wchar_t* type, uint16_t id, std::string* bytes) override;
  std::wstring LoadString(uint16_t id) override;
  HResult RegisterTypeLibrary(const std::wstring& module_path, bool per_user) override;
  HResult UnregisterTypeLibrary(const std::wstring& module_path, bool per_user) override;

 private:
  Wmi* wmi_;
  ModuleResources resources_;
};

}  // namespace platform
