// An emulated Windows machine for the adapter repair on systems other than Windows: devices,
// network adapters with their IP configuration, the network-class and TCP/IP registry keys and
// the WMI configuration instances (Win32_NetworkAdapterConfiguration), kept consistent the way
// Windows keeps them:
//   - a disabled device stays in the present-device list (present means attached, as with
//     SetupDiGetClassDevs and DIGCF_PRESENT), while its adapter drops from the IP helper's list
//     until the device is enabled; its WMI instance stays, with methods answering 84 (IP not
//     enabled);
//   - EnableStatic, SetGateways, SetDNSServerSearchOrder and EnableDHCP change the adapter as
//     the IP helper lists it, the WMI instance and the adapter's TCP/IP registry key;
//   - enabling a disabled device makes its driver take up the TCP/IP registry key again
//     (EnableDHCP, IPAddress, SubnetMask, DefaultGateway, NameServer);
//   - CoInitializeSecurity succeeds once per machine (a process) and then answers
//     RPC_E_TOO_LATE; CoInitializeEx counts per thread and answers S_FALSE when nested and
//     RPC_E_CHANGED_MODE for another model.
//
// The registry part is the process's registry (platform/registry.h, emulated in memory on these
// systems), so loading a machine resets that registry. One machine at a time per process; the
// services are for one thread.
//
// Scenario text (UTF-8), one item a line, '#' comments and blank lines skipped:
//
//   [network]                 host_name = NAME; dns = 192.168.1.1, 8.8.8.8 (GetNetworkParams)
//   [device]                  a device without network adapter:
//                               instance_id = USB\ROOT_HUB30\4&1&0&0
//                               class = USB             class name (Net when not given)
//                               enabled = yes | no
//   [adapter]                 a network device with its adapter: the keys of [device], and
//                               guid = {GUID}           NetCfgInstanceID, WMI SettingID
//                               description = TEXT      DriverDesc, adapter description
//                               type = 6                MIB_IF_TYPE_*
//                               lower_range = ethernet  Ndi\Interfaces LowerRange
//                               registry_instance_id = yes | no   write DeviceInstanceID
//                               wmi = yes | no          has a WMI configuration instance
//                               dhcp = yes | no
//                               address, mask, gateway  the settings the adapter has now
//                               dhcp_address, dhcp_mask, dhcp_gateway   the DHCP lease
//                               dns = A, B              the adapter's DNS list
//   [HKEY_LOCAL_MACHINE\...]  registry text (platform/testing/registry_emulation.h) up to the
//                             next machine section, applied after the keys that the adapters
//                             give (network class subkeys "0000", "0001", ... in adapter
//                             order, and the TCP/IP interface keys)
//
// SaveScenario writes the current state in the same form, the whole registry included, so a
// separate process can be handed a machine and its changes read back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/adapter_services.h"
#include "platform/testing/fault_plan.h"

namespace platform {

// {4d36e972-e325-11ce-bfc1-08002be10318}
extern const Guid kNetClassGuid;

struct EmulatedDevice {
  std::wstring instance_id;
  std::wstring class_name = L"Net";
  bool enabled = true;

  bool has_adapter = false;
  std::string guid;
  std::string description;
  uint32_t type = kMibIfTypeEthernet;
  std::wstring lower_range = L"ethernet";
  bool registry_instance_id = true;
  bool wmi = true;
  bool dhcp = false;
  std::string address;
  std::string mask;
  std::string gateway;
  std::string dhcp_address;
  std::string dhcp_mask;
  std::string dhcp_gateway;
  std::vector<std::string> dns;
};

// A property value that a method received.
struct EmulatedPut {
  std::wstring method;
  std::wstring name;
  uint16_t type = 0;     // VARTYPE as given
  int32_t put_type = 0;  // the CIMTYPE argument of Put
  int64_t integer = 0;
  std::vector<std::wstring> texts;  // an array's elements, or one BSTR
};

struct EmulatedMethodCall {
  std::wstring method;
  std::wstring path;
  uint32_t return_value = 0;
};

struct EmulatedStateChange {
  std::wstring instance_id;
  uint32_t state_change = 0;
  uint32_t scope = 0;
  uint32_t hardware_profile = 0;
};

struct EmulatedComCalls {
  std::vector<uint32_t> init_models;
  std::vector<ComSecurity> security;
  std::vector<ProxyBlanket> blankets;
  std::vector<std::wstring> namespaces;
  std::vector<std::wstring> query_languages;
  std::vector<std::wstring> queries;
  std::vector<int32_t> query_flags;
  std::vector<int32_t> next_timeouts;
  std::vector<std::wstring> get_object_paths;
  std::vector<EmulatedPut> puts;
  std::vector<EmulatedMethodCall> methods;
  // Releases that freed an object, by kind ("locator", "services", "enumerator", "instance",
  // "class", "signature", "in-parameters", "out-parameters"), and "CoUninitialize", in order.
  std::vector<std::string> releases;
};

struct MachineState;

class EmulatedMachine {
 public:
  // An empty machine; empties the process's registry.
  EmulatedMachine();
  ~EmulatedMachine();
  EmulatedMachine(const EmulatedMachine&) = delete;
  EmulatedMachine& operator=(const EmulatedMachine&) = delete;

  AdapterServices Services();
  FaultPlan& faults();

  // Replaces the whole machine (registry included). On a parse error the machine is empty and
  // `error` says which line.
  bool LoadScenario(const std::string& text, std::string* error);
  bool LoadScenarioFile(const std::string& path, std::string* error);
  std::string SaveScenario() const;
  bool SaveScenarioFile(const std::string& path) const;

  // Adds a device, writing the registry keys of its adapter as loading does.
  void AddDevice(const EmulatedDevice& device);
  void SetDnsServers(const std::vector<std::string>& servers);
  // Devices in order; tests may change them (registry and WMI follow on the next call).
  std::vector<EmulatedDevice>& devices();
  EmulatedDevice* FindAdapter(const std::string& guid);

  // Makes every later call of `method` answer `value` without changing anything (0 and 1 still
  // apply the method).
  void ScriptMethodResult(const std::wstring& method, uint32_t value);

  // What was asked of the machine.
  const EmulatedComCalls& com_calls() const;
  const std::vector<EmulatedStateChange>& state_changes() const;
  uint64_t slept_milliseconds() const;
  // The buffer size given to each GetAdaptersInfo and GetNetworkParams call, in order.
  const std::vector<uint32_t>& adapters_info_sizes() const;
  const std::vector<uint32_t>& network_params_sizes() const;

  // What is still held: COM objects not released, device lists not destroyed, SAFEARRAYs not
  // destroyed, BSTRs not freed, COM initialisations of the calling thread not undone.
  size_t live_com_objects() const;
  size_t live_device_lists() const;
  size_t live_safe_arrays() const;
  size_t live_bstrs() const;
  int com_init_depth() const;

 private:
  std::unique_ptr<MachineState> state_;
};

}  // namespace platform
