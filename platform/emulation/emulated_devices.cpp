#include <cstring>

#include "emulated_services.h"
#include "platform/last_error.h"

namespace platform {

namespace {

constexpr ErrorCode kErrorInvalidClass = 0xE0000209u;
constexpr ErrorCode kErrorNoSuchDevinst = 0xE000020Bu;

bool Failed(const char* call) {
  return PlannedFailure(call, kErrorNotEnoughMemory) != kErrorSuccess;
}

bool CopyText(const std::wstring& text, wchar_t* out, uint32_t size, uint32_t* required) {
  const auto needed = static_cast<uint32_t>(text.size() + 1);
  if (required != nullptr) *required = needed;
  if (out == nullptr || size < needed) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return false;
  }
  std::memcpy(out, text.c_str(), needed * sizeof(wchar_t));
  return true;
}

}  // namespace

EmuDeviceList* EmulatedDevices::Find(DeviceList list) {
  const auto found = state_->lists.find(reinterpret_cast<EmuDeviceList*>(list));
  return found == state_->lists.end() ? nullptr : found->second.get();
}

DeviceList EmulatedDevices::GetClassDevs(uint32_t flags) {
  if (Failed("SetupDiGetClassDevsW")) return nullptr;
  if ((flags & kDigcfAllClasses) == 0) {
    // Without a class GUID Windows wants DIGCF_ALLCLASSES.
    SetLastErrorCode(kErrorInvalidParameter);
    return nullptr;
  }
  // Every emulated device is attached, so DIGCF_PRESENT keeps them all: present means attached,
  // enabled or not.
  auto list = std::make_unique<EmuDeviceList>();
  for (size_t i = 0; i < state_->devices.size(); ++i) list->devices.push_back(i);
  EmuDeviceList* handle = list.get();
  state_->lists[handle] = std::move(list);
  return reinterpret_cast<DeviceList>(handle);
}

bool EmulatedDevices::EnumDeviceInfo(DeviceList list, uint32_t index, DeviceEntry* entry) {
  EmuDeviceList* found = Find(list);
  if (found == nullptr || entry == nullptr) {
    SetLastErrorCode(kErrorInvalidHandle);
    return false;
  }
  if (index >= found->devices.size()) {
    SetLastErrorCode(kErrorNoMoreItems);
    return false;
  }
  if (Failed("SetupDiEnumDeviceInfo")) return false;
  const EmulatedDevice& device = state_->devices[found->devices[index]];
  entry->class_guid = ClassGuidOf(device.class_name);
  entry->dev_inst = static_cast<uint32_t>(found->devices[index] + 1);
  entry->reserved = index;
  return true;
}

bool EmulatedDevices::ClassNameFromGuid(const Guid& class_guid, wchar_t* name, uint32_t size,
                                        uint32_t* required) {
  if (Failed("SetupDiClassNameFromGuidW")) return false;
  for (const EmulatedDevice& device : state_->devices) {
    if (ClassGuidOf(device.class_name) == class_guid) {
      return CopyText(device.class_name, name, size, required);
    }
  }
  SetLastErrorCode(kErrorInvalidClass);
  return false;
}

bool EmulatedDevices::GetDeviceInstanceId(DeviceList list, const DeviceEntry& entry, wchar_t* id,
                                          uint32_t size, uint32_t* required) {
  EmuDeviceList* found = Find(list);
  if (found == nullptr || entry.reserved >= found->devices.size() ||
      found->devices[entry.reserved] + 1 != entry.dev_inst) {
    SetLastErrorCode(kErrorNoSuchDevinst);
    return false;
  }
  if (Failed("SetupDiGetDeviceInstanceIdW")) return false;
  return CopyText(state_->devices[entry.dev_inst - 1].instance_id, id, size, required);
}

bool EmulatedDevices::SetClassInstallParams(DeviceList list, const DeviceEntry& entry,
                                            const PropertyChangeParams& params) {
  EmuDeviceList* found = Find(list);
  if (found == nullptr || entry.reserved >= found->devices.size()) {
    SetLastErrorCode(kErrorInvalidHandle);
    return false;
  }
  if (Failed("SetupDiSetClassInstallParamsW")) return false;
  if (params.install_function != kDifPropertyChange) {
    SetLastErrorCode(kErrorInvalidParameter);
    return false;
  }
  found->params[entry.reserved] = params;
  return true;
}

bool EmulatedDevices::ChangeState(DeviceList list, const DeviceEntry& entry) {
  EmuDeviceList* found = Find(list);
  if (found == nullptr || entry.reserved >= found->devices.size()) {
    SetLastErrorCode(kErrorInvalidHandle);
    return false;
  }
  if (Failed("SetupDiChangeState")) return false;
  const auto params = found->params.find(entry.reserved);
  if (params == found->params.end() ||
      (params->second.state_change != kDicsEnable && params->second.state_change != kDicsDisable) ||
      (params->second.scope != kDicsFlagConfigSpecific &&
       params->second.scope != kDicsFlagGlobal)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return false;
  }
  EmulatedDevice& device = state_->devices[found->devices[entry.reserved]];
  state_->state_changes.push_back({device.instance_id, params->second.state_change,
                                   params->second.scope, params->second.hardware_profile});
  const bool enable = params->second.state_change == kDicsEnable;
  if (enable && !device.enabled) {
    device.enabled = true;
    state_->ReloadFromRegistry(&device);
  } else if (!enable) {
    device.enabled = false;
  }
  return true;
}

bool EmulatedDevices::DestroyDeviceInfoList(DeviceList list) {
  if (state_->lists.erase(reinterpret_cast<EmuDeviceList*>(list)) == 0) {
    SetLastErrorCode(kErrorInvalidHandle);
    return false;
  }
  return true;
}

}  // namespace platform
