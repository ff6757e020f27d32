// The registry as a service of the System (platform/system.h), in the shape of
// platform/registry.h, whose calls it makes. A null parent is HKEY_LOCAL_MACHINE.
//
// Unlike the registry calls themselves, a failed call here also sets the calling thread's last
// error to the code it answers, so code that logs the last error after a registry failure logs
// the reason.
#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace platform {

class MachineRegistry {
 public:
  virtual ~MachineRegistry() = default;

  // `parent` null means HKEY_LOCAL_MACHINE.
  virtual ErrorCode OpenKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                            RegistryKey* key) = 0;
  virtual ErrorCode CreateKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                              RegistryKey* key, bool* created) = 0;
  virtual ErrorCode EnumKey(RegistryKey key, uint32_t index, wchar_t* name,
                            uint32_t* name_length) = 0;
  virtual ErrorCode QueryValue(RegistryKey key, const wchar_t* name, uint32_t* type, void* data,
                               uint32_t* size) = 0;
  virtual ErrorCode SetValue(RegistryKey key, const wchar_t* name, uint32_t type, const void* data,
                             uint32_t size) = 0;
  virtual ErrorCode DeleteValue(RegistryKey key, const wchar_t* name) = 0;
  virtual ErrorCode DeleteTree(RegistryKey parent, const wchar_t* sub_key) = 0;
  virtual ErrorCode FlushKey(RegistryKey key) = 0;
  virtual ErrorCode CloseKey(RegistryKey key) = 0;
};

// The process's registry (platform/registry.h): the system's on Windows, the in-memory
// emulation elsewhere.
MachineRegistry& ProcessMachineRegistry();

}  // namespace platform
