// The device walks of CModifyAdapterInfo: find the phone's network device and enable or restart
// it.
#include <cwchar>

#include "common/trace.h"
#include "modify_adapter_info.h"

namespace assist {

namespace {

constexpr uint32_t kNameSize = 128;  // characters, terminator included
constexpr uint32_t kRestartPauseMs = 1000;

}  // namespace

bool CModifyAdapterInfo::WalkDevices(const wchar_t* function, const std::wstring& instance_prefix,
                                     bool restart) {
  platform::DeviceInstaller& devices = *services_.devices;
  const platform::DeviceList list =
      devices.GetClassDevs(platform::kDigcfPresent | platform::kDigcfAllClasses);
  if (list == nullptr) {
    kuvo::TraceError(function, L"Err:%d", LastError());
    return false;
  }
  bool result = false;
  platform::DeviceEntry entry;
  for (uint32_t index = 0; devices.EnumDeviceInfo(list, index, &entry); ++index) {
    wchar_t class_name[kNameSize] = {};
    if (!devices.ClassNameFromGuid(entry.class_guid, class_name, kNameSize, nullptr)) continue;
    if (std::wcscmp(class_name, kNetDeviceClass) != 0) continue;
    // A failed read leaves the id empty: the line is written with it and nothing matches.
    wchar_t instance_id[kNameSize] = {};
    if (!devices.GetDeviceInstanceId(list, entry, instance_id, kNameSize, nullptr)) {
      instance_id[0] = L'\0';
    }
    kuvo::TraceInfo(function, L"name:%s, instanceId1:%s", class_name, instance_id);
    if (std::wstring(instance_id).find(instance_prefix) == std::wstring::npos) continue;
    if (restart) {
      ChangeAdapterState(list, entry, false);
      services_.sleeper->Sleep(kRestartPauseMs);
    }
    ChangeAdapterState(list, entry, true);
    result = true;
    break;
  }
  devices.DestroyDeviceInfoList(list);
  return result;
}

void CModifyAdapterInfo::ChangeAdapterState(platform::DeviceList list,
                                            const platform::DeviceEntry& entry, bool enable) {
  platform::PropertyChangeParams params;
  params.install_function = platform::kDifPropertyChange;
  params.state_change = enable ? platform::kDicsEnable : platform::kDicsDisable;
  params.scope = platform::kDicsFlagConfigSpecific;
  params.hardware_profile = 0;
  if (services_.devices->SetClassInstallParams(list, entry, params)) {
    services_.devices->ChangeState(list, entry);
  }
}

bool CModifyAdapterInfo::CheckEnableAdapter() {
  return WalkDevices(L"CModifyAdapterInfo::CheckEnableAdapter", kPhoneInstancePrefix, false);
}

bool CModifyAdapterInfo::ResetAdapterState(const std::wstring& instance_prefix,
                                           const std::wstring& /*description*/) {
  return WalkDevices(L"CModifyAdapterInfo::ResetAdapterState", instance_prefix, true);
}

}  // namespace assist
