#include "platform/testing/emulated_machine.h"

#include <cstdio>
#include <functional>

#include "emulated_services.h"
#include "platform/registry_data.h"
#include "platform/testing/registry_emulation.h"
#include "scenario_text.h"

namespace platform {

const Guid kNetClassGuid = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

namespace {

const Guid kUsbClassGuid = {
    0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

constexpr wchar_t kClassRoot[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}\\";
constexpr wchar_t kInterfacesRoot[] =
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

std::vector<std::wstring> OneOrNone(const std::string& text) {
  if (text.empty()) return {};
  return {Utf8ToWide(text)};
}

// A string or the first string of a multi-string value below HKEY_LOCAL_MACHINE, within 1 KiB.
// The machine's own reads are no calls of the program's: the fault plan does not see them.
bool ReadText(const std::wstring& path, const wchar_t* name, std::wstring* text) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!ReadRegistryValueForTesting(RegistryRoot::kLocalMachine, path, name, &type, &data) ||
      data.size() > 1024) {
    return false;
  }
  if (type == kRegMultiSz) {
    const std::vector<std::wstring> texts = DecodeRegistryMultiString(data.data(), data.size());
    *text = texts.empty() ? L"" : texts[0];
    return true;
  }
  if (type != kRegSz && type != kRegExpandSz) return false;
  *text = DecodeRegistryString(data.data(), data.size());
  return true;
}

}  // namespace

Guid ClassGuidOf(const std::wstring& class_name) {
  if (class_name == L"Net") return kNetClassGuid;
  if (class_name == L"USB") return kUsbClassGuid;
  // Any other class gets a GUID of its own, fixed by its exact name.
  const size_t hash = std::hash<std::wstring>()(class_name);
  Guid guid;
  guid.data1 = static_cast<uint32_t>(hash);
  guid.data2 = static_cast<uint16_t>(hash >> 16);
  guid.data3 = 0x4000;
  for (size_t i = 0; i < 8; ++i) guid.data4[i] = static_cast<uint8_t>(class_name.size() + i);
  return guid;
}

MachineState::MachineState()
    : device_service(std::make_unique<EmulatedDevices>(this)),
      ip_service(std::make_unique<EmulatedIpHelper>(this)),
      wmi_service(std::make_unique<EmulatedWmi>(this)),
      sleeper_service(std::make_unique<EmulatedSleeper>(this)) {}

MachineState::~MachineState() = default;

std::wstring MachineState::ClassKeyPath(size_t adapter_number) {
  wchar_t name[16];
  std::swprintf(name, 16, L"%04u", static_cast<unsigned>(adapter_number));
  return kClassRoot + std::wstring(name);
}

std::wstring MachineState::InterfaceKeyPath(const std::string& guid) {
  return kInterfacesRoot + Utf8ToWide(guid);
}

void MachineState::WriteAdapterKeys(size_t index, size_t adapter_number) {
  const EmulatedDevice& device = devices[index];
  const RegistryRoot hklm = RegistryRoot::kLocalMachine;
  const std::wstring class_key = ClassKeyPath(adapter_number);
  SeedRegistryStringForTesting(hklm, class_key, L"DriverDesc", Utf8ToWide(device.description));
  SeedRegistryStringForTesting(hklm, class_key, L"NetCfgInstanceID", Utf8ToWide(device.guid));
  if (device.registry_instance_id) {
    SeedRegistryStringForTesting(hklm, class_key, L"DeviceInstanceID", device.instance_id);
  }
  SeedRegistryStringForTesting(hklm, class_key + L"\\Ndi\\Interfaces", L"LowerRange",
                               device.lower_range);
  SeedRegistryStringForTesting(hklm, class_key + L"\\Ndi\\Interfaces", L"UpperRange", L"ndis5");

  const std::wstring interface_key = InterfaceKeyPath(device.guid);
  SeedRegistryDwordForTesting(hklm, interface_key, L"EnableDHCP", device.dhcp ? 1 : 0);
  SeedRegistryMultiStringForTesting(hklm, interface_key, L"IPAddress",
                                    OneOrNone(device.dhcp ? "0.0.0.0" : device.address));
  SeedRegistryMultiStringForTesting(hklm, interface_key, L"SubnetMask",
                                    OneOrNone(device.dhcp ? "0.0.0.0" : device.mask));
  SeedRegistryMultiStringForTesting(hklm, interface_key, L"DefaultGateway",
                                    OneOrNone(device.dhcp ? "" : device.gateway));
  if (device.dhcp) {
    SeedRegistryStringForTesting(hklm, interface_key, L"DhcpIPAddress",
                                 Utf8ToWide(device.dhcp_address));
    SeedRegistryStringForTesting(hklm, interface_key, L"DhcpSubnetMask",
                                 Utf8ToWide(device.dhcp_mask));
    SeedRegistryMultiStringForTesting(hklm, interface_key, L"DhcpDefaultGateway",
                                      OneOrNone(device.dhcp_gateway));
  }
  std::wstring servers;
  for (const std::string& server : device.dns)
    servers += (servers.empty() ? L"" : L",") + Utf8ToWide(server);
  SeedRegistryStringForTesting(hklm, interface_key, L"NameServer", servers);
}

void MachineState::ReloadFromRegistry(EmulatedDevice* device) {
  const std::wstring key = InterfaceKeyPath(device->guid);
  if (!device->has_adapter || !RegistryKeyExistsForTesting(RegistryRoot::kLocalMachine, key)) {
    return;
  }
  uint32_t enable_dhcp = 1;
  ReadRegistryDwordForTesting(RegistryRoot::kLocalMachine, key, L"EnableDHCP", &enable_dhcp);
  device->dhcp = enable_dhcp != 0;
  if (device->dhcp) {
    device->address = device->dhcp_address;
    device->mask = device->dhcp_mask;
    device->gateway = device->dhcp_gateway;
  } else {
    std::wstring text;
    device->address = ReadText(key, L"IPAddress", &text) ? WideToUtf8(text) : "";
    device->mask = ReadText(key, L"SubnetMask", &text) ? WideToUtf8(text) : "";
    device->gateway = ReadText(key, L"DefaultGateway", &text) ? WideToUtf8(text) : "";
  }
  std::wstring servers;
  device->dns.clear();
  if (ReadText(key, L"NameServer", &servers)) {
    size_t start = 0;
    while (start < servers.size()) {
      size_t end = servers.find_first_of(L", ", start);
      if (end == std::wstring::npos) end = servers.size();
      if (end > start) device->dns.push_back(WideToUtf8(servers.substr(start, end - start)));
      start = end + 1;
    }
  }
}

std::wstring MachineState::InstancePath(size_t index) const {
  return L"\\\\KUVO-PC\\root\\cimv2:Win32_NetworkAdapterConfiguration.Index=" +
         std::to_wstring(index);
}

int MachineState::ComDepth() const {
  const auto thread = com_threads.find(std::this_thread::get_id());
  return thread == com_threads.end() ? 0 : thread->second.first;
}

EmulatedMachine::EmulatedMachine() : state_(std::make_unique<MachineState>()) {
  ResetRegistryForTesting();
}

EmulatedMachine::~EmulatedMachine() = default;

AdapterServices EmulatedMachine::Services() {
  AdapterServices services;
  services.devices = state_->device_service.get();
  services.ip = state_->ip_service.get();
  services.registry = &ProcessMachineRegistry();
  services.wmi = state_->wmi_service.get();
  services.last_error = &ProcessLastError();
  services.sleeper = state_->sleeper_service.get();
  return services;
}

FaultPlan& EmulatedMachine::faults() {
  return state_->faults;
}

void EmulatedMachine::AddDevice(const EmulatedDevice& device) {
  size_t adapters = 0;
  for (const EmulatedDevice& held : state_->devices) adapters += held.has_adapter ? 1 : 0;
  state_->devices.push_back(device);
  if (device.has_adapter) state_->WriteAdapterKeys(state_->devices.size() - 1, adapters);
}

void EmulatedMachine::SetDnsServers(const std::vector<std::string>& servers) {
  state_->dns_servers = servers;
}

std::vector<EmulatedDevice>& EmulatedMachine::devices() {
  return state_->devices;
}

EmulatedDevice* EmulatedMachine::FindAdapter(const std::string& guid) {
  for (EmulatedDevice& device : state_->devices) {
    if (device.has_adapter && device.guid == guid) return &device;
  }
  return nullptr;
}

void EmulatedMachine::ScriptMethodResult(const std::wstring& method, uint32_t value) {
  state_->scripted_results[method] = value;
}

const EmulatedComCalls& EmulatedMachine::com_calls() const {
  return state_->com_calls;
}

const std::vector<EmulatedStateChange>& EmulatedMachine::state_changes() const {
  return state_->state_changes;
}

const std::vector<uint32_t>& EmulatedMachine::adapters_info_sizes() const {
  return state_->adapters_info_sizes;
}

const std::vector<uint32_t>& EmulatedMachine::network_params_sizes() const {
  return state_->network_params_sizes;
}

uint64_t EmulatedMachine::slept_milliseconds() const {
  return state_->slept;
}

size_t EmulatedMachine::live_com_objects() const {
  return state_->objects.size();
}

size_t EmulatedMachine::live_device_lists() const {
  return state_->lists.size();
}

size_t EmulatedMachine::live_safe_arrays() const {
  return state_->arrays.size();
}

size_t EmulatedMachine::live_bstrs() const {
  return state_->bstrs.size();
}

int EmulatedMachine::com_init_depth() const {
  return state_->ComDepth();
}

}  // namespace platform
