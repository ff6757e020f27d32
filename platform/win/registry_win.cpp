#include "platform/registry.h"

#include <windows.h>

#include "platform/registry_scratch_read.h"

namespace platform {

namespace {

HKEY Native(RegistryKey key) {
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

RegistryKey RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return reinterpret_cast<RegistryKey>(HKEY_CLASSES_ROOT);
    case RegistryRoot::kCurrentUser:
      return reinterpret_cast<RegistryKey>(HKEY_CURRENT_USER);
    case RegistryRoot::kLocalMachine:
      return reinterpret_cast<RegistryKey>(HKEY_LOCAL_MACHINE);
    case RegistryRoot::kUsers:
      return reinterpret_cast<RegistryKey>(HKEY_USERS);
  }
  return nullptr;
}

ErrorCode OpenRegistryKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                          RegistryKey* key) {
  if (key == nullptr) return kErrorInvalidParameter;
  HKEY opened = nullptr;
  const LSTATUS status = ::RegOpenKeyExW(Native(parent), sub_key, 0, access, &opened);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(opened) : nullptr;
  return static_cast<ErrorCode>(status);
}

ErrorCode CreateRegistryKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                            RegistryKey* key, bool* created) {
  if (key == nullptr) return kErrorInvalidParameter;
  HKEY opened = nullptr;
  DWORD disposition = 0;
  const LSTATUS status =
      ::RegCreateKeyExW(Native(parent), sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &opened, &disposition);
  *key = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(opened) : nullptr;
  if (created != nullptr) {
    *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  }
  return static_cast<ErrorCode>(status);
}

ErrorCode QueryRegistryValue(RegistryKey key, const wchar_t* name, uint32_t* type, void* data,
                             uint32_t* size) {
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  DWORD native_type = REG_NONE;
  const ErrorCode result =
      ReadRegistryDataThroughScratch(data, size, [&](uint8_t* buffer, uint32_t* buffer_size) {
        DWORD native_size = buffer_size != nullptr ? *buffer_size : 0;
        const LSTATUS status = ::RegQueryValueExW(Native(key), name, nullptr, &native_type, buffer,
                                                  buffer_size != nullptr ? &native_size : nullptr);
        if (buffer_size != nullptr) *buffer_size = native_size;
        return static_cast<ErrorCode>(status);
      });
  if (type != nullptr) *type = native_type;
  return result;
}

ErrorCode EnumRegistryKey(RegistryKey key, uint32_t index, wchar_t* name, uint32_t* name_length) {
  if (name_length == nullptr) return kErrorInvalidParameter;
  DWORD length = *name_length;
  const LSTATUS status =
      ::RegEnumKeyExW(Native(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
  *name_length = length;
  return static_cast<ErrorCode>(status);
}

ErrorCode EnumRegistryValue(RegistryKey key, uint32_t index, wchar_t* name, uint32_t* name_length,
                            uint32_t* type, void* data, uint32_t* size) {
  if (name_length == nullptr) return kErrorInvalidParameter;
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  DWORD length = *name_length;
  DWORD native_type = REG_NONE;
  const ErrorCode result =
      ReadRegistryDataThroughScratch(data, size, [&](uint8_t* buffer, uint32_t* buffer_size) {
        DWORD native_size = buffer_size != nullptr ? *buffer_size : 0;
        const LSTATUS status =
            ::RegEnumValueW(Native(key), index, name, &length, nullptr, &native_type, buffer,
                            buffer_size != nullptr ? &native_size : nullptr);
        if (buffer_size != nullptr) *buffer_size = native_size;
        return static_cast<ErrorCode>(status);
      });
  *name_length = length;
  if (type != nullptr) *type = native_type;
  return result;
}

ErrorCode SetRegistryValue(RegistryKey key, const wchar_t* name, uint32_t type, const void* data,
                           uint32_t size) {
  return static_cast<ErrorCode>(
      ::RegSetValueExW(Native(key), name, 0, type, static_cast<const BYTE*>(data), size));
}

ErrorCode DeleteRegistryValue(RegistryKey key, const wchar_t* name) {
  return static_cast<ErrorCode>(::RegDeleteValueW(Native(key), name));
}

ErrorCode DeleteRegistryTree(RegistryKey parent, const wchar_t* sub_key) {
  if (sub_key == nullptr || sub_key[0] == L'\0') return kErrorInvalidParameter;
  const LSTATUS status = ::RegDeleteTreeW(Native(parent), sub_key);
  if (status != ERROR_SUCCESS) return static_cast<ErrorCode>(status);
  // RegDeleteTreeW leaves the named key itself in place on some versions.
  const LSTATUS removed = ::RegDeleteKeyW(Native(parent), sub_key);
  return removed == ERROR_FILE_NOT_FOUND ? kErrorSuccess : static_cast<ErrorCode>(removed);
}

ErrorCode FlushRegistryKey(RegistryKey key) {
  return static_cast<ErrorCode>(::RegFlushKey(Native(key)));
}

ErrorCode CloseRegistryKey(RegistryKey key) {
  return static_cast<ErrorCode>(::RegCloseKey(Native(key)));
}

}  // namespace platform
