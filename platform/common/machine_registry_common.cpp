#include "platform/machine_registry.h"

#include "platform/last_error.h"

namespace platform {

namespace {

ErrorCode Noted(ErrorCode code) {
  if (code != kErrorSuccess) SetLastErrorCode(code);
  return code;
}

class ProcessRegistry final : public MachineRegistry {
 public:
  ErrorCode OpenKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                    RegistryKey* key) override {
    if (parent == nullptr) parent = RootKey(RegistryRoot::kLocalMachine);
    return Noted(OpenRegistryKey(parent, sub_key, access, key));
  }
  ErrorCode CreateKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access, RegistryKey* key,
                      bool* created) override {
    if (parent == nullptr) parent = RootKey(RegistryRoot::kLocalMachine);
    return Noted(CreateRegistryKey(parent, sub_key, access, key, created));
  }
  ErrorCode EnumKey(RegistryKey key, uint32_t index, wchar_t* name,
                    uint32_t* name_length) override {
    return Noted(EnumRegistryKey(key, index, name, name_length));
  }
  ErrorCode QueryValue(RegistryKey key, const wchar_t* name, uint32_t* type, void* data,
                       uint32_t* size) override {
    return Noted(QueryRegistryValue(key, name, type, data, size));
  }
  ErrorCode SetValue(RegistryKey key, const wchar_t* name, uint32_t type, const void* data,
                     uint32_t size) override {
    return Noted(SetRegistryValue(key, name, type, data, size));
  }
  ErrorCode DeleteValue(RegistryKey key, const wchar_t* name) override {
    return Noted(DeleteRegistryValue(key, name));
  }
  ErrorCode DeleteTree(RegistryKey parent, const wchar_t* sub_key) override {
    if (parent == nullptr) parent = RootKey(RegistryRoot::kLocalMachine);
    return Noted(DeleteRegistryTree(parent, sub_key));
  }
  ErrorCode FlushKey(RegistryKey key) override { return Noted(FlushRegistryKey(key)); }
  ErrorCode CloseKey(RegistryKey key) override { return Noted(CloseRegistryKey(key)); }
};

}  // namespace

MachineRegistry& ProcessMachineRegistry() {
  static ProcessRegistry registry;
  return registry;
}

}  // namespace platform
