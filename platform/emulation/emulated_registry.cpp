// The machine's registry: the process's registry, with every call open to the fault plan.
#include "emulated_services.h"

namespace platform {

ErrorCode EmulatedRegistry::Fail(const char* call) {
  return PlannedFailure(call, kErrorAccessDenied);
}

ErrorCode EmulatedRegistry::OpenKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                                    RegistryKey* key) {
  if (const ErrorCode failed = Fail("RegOpenKeyExW")) {
    if (key != nullptr) *key = nullptr;
    return failed;
  }
  return ProcessMachineRegistry().OpenKey(parent, sub_key, access, key);
}

ErrorCode EmulatedRegistry::EnumKey(RegistryKey key, uint32_t index, wchar_t* name,
                                    uint32_t* name_length) {
  if (const ErrorCode failed = Fail("RegEnumKeyExW")) return failed;
  return ProcessMachineRegistry().EnumKey(key, index, name, name_length);
}

ErrorCode EmulatedRegistry::QueryValue(RegistryKey key, const wchar_t* name, uint32_t* type,
                                       void* data, uint32_t* size) {
  if (const ErrorCode failed = Fail("RegQueryValueExW")) return failed;
  return ProcessMachineRegistry().QueryValue(key, name, type, data, size);
}

ErrorCode EmulatedRegistry::SetValue(RegistryKey key, const wchar_t* name, uint32_t type,
                                     const void* data, uint32_t size) {
  if (const ErrorCode failed = Fail("RegSetValueExW")) return failed;
  return ProcessMachineRegistry().SetValue(key, name, type, data, size);
}

ErrorCode EmulatedRegistry::FlushKey(RegistryKey key) {
  if (const ErrorCode failed = Fail("RegFlushKey")) return failed;
  return ProcessMachineRegistry().FlushKey(key);
}

ErrorCode EmulatedRegistry::CloseKey(RegistryKey key) {
  return ProcessMachineRegistry().CloseKey(key);
}

}  // namespace platform
