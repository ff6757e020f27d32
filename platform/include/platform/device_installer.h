// The device installer (SetupDi) as the adapter repair uses it, in Windows' calling shape:
// calls answer true/false or a handle, with the reason of a failure in the calling thread's
// last error (platform/last_error.h).
//
// Structure sizes (SP_DEVINFO_DATA, SP_CLASSINSTALL_HEADER, SP_PROPCHANGE_PARAMS) belong to the
// implementation, which takes them from the real structures: they differ between x86 and x64.
#pragma once

#include <cstdint>

#include "platform/error_codes.h"

namespace platform {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};

  bool operator==(const Guid& other) const;
  bool operator!=(const Guid& other) const { return !(*this == other); }
};

struct DeviceListHandle;
using DeviceList = DeviceListHandle*;

// One device of a list (SP_DEVINFO_DATA without its size).
struct DeviceEntry {
  Guid class_guid;
  uint32_t dev_inst = 0;
  uintptr_t reserved = 0;
};

// SetupDiGetClassDevsW flags.
constexpr uint32_t kDigcfPresent = 0x2;
constexpr uint32_t kDigcfAllClasses = 0x4;

// Class-install parameters of a property change (SP_PROPCHANGE_PARAMS without the header size).
constexpr uint32_t kDifPropertyChange = 0x12;
constexpr uint32_t kDicsEnable = 1;
constexpr uint32_t kDicsDisable = 2;
constexpr uint32_t kDicsFlagGlobal = 1;
constexpr uint32_t kDicsFlagConfigSpecific = 2;

struct PropertyChangeParams {
  uint32_t install_function = kDifPropertyChange;
  uint32_t state_change = kDicsEnable;
  uint32_t scope = kDicsFlagConfigSpecific;
  uint32_t hardware_profile = 0;
};

class DeviceInstaller {
 public:
  virtual ~DeviceInstaller() = default;

  // SetupDiGetClassDevsW with no class, no enumerator and no window; null on failure.
  virtual DeviceList GetClassDevs(uint32_t flags) = 0;
  // SetupDiEnumDeviceInfo; false with kErrorNoMoreItems past the last device.
  virtual bool EnumDeviceInfo(DeviceList list, uint32_t index, DeviceEntry* entry) = 0;
  // SetupDiClassNameFromGuidW: `size` is the room of `name` in characters, terminator
  // included; `required` (may be null) receives the characters needed.
  virtual bool ClassNameFromGuid(const Guid& class_guid, wchar_t* name, uint32_t size,
                                 uint32_t* required) = 0;
  // SetupDiGetDeviceInstanceIdW, sized as ClassNameFromGuid.
  virtual bool GetDeviceInstanceId(DeviceList list, const DeviceEntry& entry, wchar_t* id,
                                   uint32_t size, uint32_t* required) = 0;
  // SetupDiSetClassInstallParamsW with a property-change block.
  virtual bool SetClassInstallParams(DeviceList list, const DeviceEntry& entry,
                                     const PropertyChangeParams& params) = 0;
  // SetupDiChangeState.
  virtual bool ChangeState(DeviceList list, const DeviceEntry& entry) = 0;
  // SetupDiDestroyDeviceInfoList.
  virtual bool DestroyDeviceInfoList(DeviceList list) = 0;
};

}  // namespace platform
