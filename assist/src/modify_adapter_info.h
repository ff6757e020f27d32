// CModifyAdapterInfo: makes sure the RNDIS network adapter of the USB phone is enabled and has
// the static address 192.168.225.21/255.255.255.0 with no gateway, writing the settings into
// the adapter's TCP/IP registry key and through WMI, then restarting the device.
//
// Reaches the system only through `services`, which must outlive the object. For one thread;
// ResetAdapterState sleeps 1000 ms through the services' sleeper.
#pragma once

#include <string>

#include "adapter_cfg.h"
#include "adapter_info.h"
#include "platform/adapter_services.h"

namespace assist {

class CModifyAdapterInfo {
 public:
  explicit CModifyAdapterInfo(const platform::AdapterServices& services);

  // A present network device whose instance id contains kPhoneInstancePrefix was found and
  // enabled.
  bool CheckEnableAdapter();
  // The phone adapter exists and has the expected settings. Hands its GUID to the WMI part.
  bool CheckKaerAdapterCfg();
  // Registry, WMI, then a device restart; the result is the restart's.
  bool ResetKaerAdapterCfg();

  bool GetAdapterInfoByDescription(AdapterInfo* info, const std::wstring& description);
  // Rewrites the TCP/IP key of every adapter of the network class key that passes the tests;
  // false only when the class key cannot be read.
  bool SetAdapterInfo(const AdapterInfo& info, const std::wstring& instance_prefix,
                      const std::wstring& description);
  bool SetRegeditAdapterInfo(const AdapterInfo& info, const std::wstring& adapter_guid);
  // Disables and enables the first matching device; `description` is not used.
  bool ResetAdapterState(const std::wstring& instance_prefix, const std::wstring& description);
  void ChangeAdapterState(platform::DeviceList list, const platform::DeviceEntry& entry,
                          bool enable);
  bool GetAdapterInfoByInstanceID(AdapterInfo* info, const std::wstring& instance_prefix,
                                  const std::wstring& description);

 private:
  // The device walk of CheckEnableAdapter (`restart` false) and ResetAdapterState.
  bool WalkDevices(const wchar_t* function, const std::wstring& instance_prefix, bool restart);
  // The subkey tests of the network class key walk; the adapter's NetCfgInstanceID on success.
  bool AdapterKeyPasses(platform::RegistryKey class_key, const wchar_t* subkey,
                        const std::wstring& instance_prefix, const std::wstring& description,
                        std::wstring* guid);
  // Walks the network class key; `found` is called for each adapter that passes and stops the
  // walk when it answers false. False when the class key cannot be opened (logged).
  bool WalkAdapterKeys(const wchar_t* function, const std::wstring& instance_prefix,
                       const std::wstring& description,
                       const std::function<bool(const std::wstring& guid)>& found);
  uint32_t LastError() const { return services_.last_error->Get(); }

  platform::AdapterServices services_;
  CAdapterCfg adapterCfg_;
};

}  // namespace assist
