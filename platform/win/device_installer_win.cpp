#include <windows.h>

#include <setupapi.h>

#include <cstring>

#include "platform/adapter_services.h"

namespace platform {

namespace {

GUID ToNative(const Guid& guid) {
  GUID native;
  native.Data1 = guid.data1;
  native.Data2 = guid.data2;
  native.Data3 = guid.data3;
  std::memcpy(native.Data4, guid.data4, sizeof(native.Data4));
  return native;
}

SP_DEVINFO_DATA ToNative(const DeviceEntry& entry) {
  SP_DEVINFO_DATA native = {};
  native.cbSize = sizeof(SP_DEVINFO_DATA);
  native.ClassGuid = ToNative(entry.class_guid);
  native.DevInst = entry.dev_inst;
  native.Reserved = entry.reserved;
  return native;
}

HDEVINFO Native(DeviceList list) {
  return reinterpret_cast<HDEVINFO>(list);
}

class SystemDeviceInstaller final : public DeviceInstaller {
 public:
  DeviceList GetClassDevs(uint32_t flags) override {
    const HDEVINFO list = ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, flags);
    return list == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<DeviceList>(list);
  }
  bool EnumDeviceInfo(DeviceList list, uint32_t index, DeviceEntry* entry) override {
    SP_DEVINFO_DATA native = {};
    native.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!::SetupDiEnumDeviceInfo(Native(list), index, &native)) return false;
    entry->class_guid.data1 = native.ClassGuid.Data1;
    entry->class_guid.data2 = native.ClassGuid.Data2;
    entry->class_guid.data3 = native.ClassGuid.Data3;
    std::memcpy(entry->class_guid.data4, native.ClassGuid.Data4, sizeof(entry->class_guid.data4));
    entry->dev_inst = native.DevInst;
    entry->reserved = native.Reserved;
    return true;
  }
  bool ClassNameFromGuid(const Guid& class_guid, wchar_t* name, uint32_t size,
                         uint32_t* required) override {
    const GUID native = ToNative(class_guid);
    DWORD needed = 0;
    const BOOL done = ::SetupDiClassNameFromGuidW(&native, name, size, &needed);
    if (required != nullptr) *required = needed;
    return done != FALSE;
  }
  bool GetDeviceInstanceId(DeviceList list, const DeviceEntry& entry, wchar_t* id, uint32_t size,
                           uint32_t* required) override {
    SP_DEVINFO_DATA native = ToNative(entry);
    DWORD needed = 0;
    const BOOL done = ::SetupDiGetDeviceInstanceIdW(Native(list), &native, id, size, &needed);
    if (required != nullptr) *required = needed;
    return done != FALSE;
  }
  bool SetClassInstallParams(DeviceList list, const DeviceEntry& entry,
                             const PropertyChangeParams& params) override {
    SP_DEVINFO_DATA native = ToNative(entry);
    SP_PROPCHANGE_PARAMS change = {};
    change.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    change.ClassInstallHeader.InstallFunction = params.install_function;
    change.StateChange = params.state_change;
    change.Scope = params.scope;
    change.HwProfile = params.hardware_profile;
    return ::SetupDiSetClassInstallParamsW(Native(list), &native, &change.ClassInstallHeader,
                                           sizeof(SP_PROPCHANGE_PARAMS)) != FALSE;
  }
  bool ChangeState(DeviceList list, const DeviceEntry& entry) override {
    SP_DEVINFO_DATA native = ToNative(entry);
    return ::SetupDiChangeState(Native(list), &native) != FALSE;
  }
  bool DestroyDeviceInfoList(DeviceList list) override {
    return ::SetupDiDestroyDeviceInfoList(Native(list)) != FALSE;
  }
};

}  // namespace

DeviceInstaller& SystemDeviceInstaller() {
  static class SystemDeviceInstaller installer;
  return installer;
}

}  // namespace platform
