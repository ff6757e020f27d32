// The methods of Win32_NetworkAdapterConfiguration on the emulated machine, with the return
// values Windows documents for them.
#include <cwctype>

#include "emulated_services.h"
#include "platform/registry_data.h"
#include "platform/testing/registry_emulation.h"
#include "scenario_text.h"

namespace platform {

namespace {

constexpr uint32_t kDone = 0;
constexpr uint32_t kNotSupported = 64;  // SetGateways while the adapter is in DHCP mode
constexpr uint32_t kInvalidMask = 66;
constexpr uint32_t kInvalidInput = 68;
constexpr uint32_t kTooManyGateways = 69;
constexpr uint32_t kInvalidAddress = 70;
constexpr uint32_t kInvalidGateway = 71;
constexpr uint32_t kIpNotEnabled = 84;

bool Dotted(const std::wstring& text, uint32_t* value) {
  uint32_t result = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    if (i >= text.size() || !std::iswdigit(static_cast<wint_t>(text[i]))) return false;
    uint32_t part = 0;
    size_t digits = 0;
    while (i < text.size() && std::iswdigit(static_cast<wint_t>(text[i]))) {
      part = part * 10 + static_cast<uint32_t>(text[i++] - L'0');
      if (++digits > 3 || part > 255) return false;
    }
    result = (result << 8) | part;
    if (++parts < 4) {
      if (i >= text.size() || text[i] != L'.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  *value = result;
  return true;
}

// The strings of an array parameter; null, absent or not an array gives false.
bool Strings(const EmuObject* in, const wchar_t* name, std::vector<std::wstring>* out) {
  if (in == nullptr) return false;
  const auto found = in->properties.find(name);
  if (found == in->properties.end() || found->second.type != (kVtArray | kVtBstr)) return false;
  *out = found->second.list;
  return true;
}

// The provider's own write into the adapter's TCP/IP key: no call of the program's, so the fault
// plan does not see it.
void WriteInterfaceValue(const std::string& guid, const wchar_t* name, uint32_t type,
                         const std::vector<uint8_t>& data) {
  const std::wstring key = MachineState::InterfaceKeyPath(guid);
  if (RegistryKeyExistsForTesting(RegistryRoot::kLocalMachine, key)) {
    SeedRegistryValueForTesting(RegistryRoot::kLocalMachine, key, name, type, data);
  }
}

}  // namespace

bool IsIpv4Address(const std::wstring& text) {
  uint32_t value = 0;
  return Dotted(text, &value);
}

bool IsIpv4Mask(const std::wstring& text) {
  uint32_t value = 0;
  if (!Dotted(text, &value) || value == 0) return false;
  const uint32_t inverted = ~value;
  return (inverted & (inverted + 1)) == 0;  // ones, then zeros
}

bool EmulatedMethodParameters(const std::wstring& method, std::vector<std::wstring>* names) {
  if (method == L"EnableStatic") {
    *names = {L"IPAddress", L"SubnetMask"};
  } else if (method == L"SetGateways") {
    *names = {L"DefaultIPGateway", L"GatewayCostMetric"};
  } else if (method == L"SetDNSServerSearchOrder") {
    *names = {L"DNSServerSearchOrder"};
  } else if (method == L"EnableDHCP") {
    names->clear();
  } else {
    return false;
  }
  return true;
}

uint32_t EmulatedWmi::RunMethod(const std::wstring& method, size_t index, const EmuObject* in) {
  const auto scripted = state_->scripted_results.find(method);
  if (scripted != state_->scripted_results.end() && scripted->second > 1) return scripted->second;
  const uint32_t done = scripted != state_->scripted_results.end() ? scripted->second : kDone;
  EmulatedDevice& device = state_->devices[index];
  if (!device.enabled) return kIpNotEnabled;

  if (method == L"EnableStatic") {
    std::vector<std::wstring> addresses;
    std::vector<std::wstring> masks;
    if (!Strings(in, L"IPAddress", &addresses) || !Strings(in, L"SubnetMask", &masks) ||
        addresses.empty() || addresses.size() != masks.size()) {
      return kInvalidInput;
    }
    for (size_t i = 0; i < addresses.size(); ++i) {
      if (!IsIpv4Address(addresses[i])) return kInvalidAddress;
      if (!IsIpv4Mask(masks[i])) return kInvalidMask;
    }
    device.dhcp = false;
    device.address = WideToUtf8(addresses[0]);
    device.mask = WideToUtf8(masks[0]);
    WriteInterfaceValue(device.guid, L"EnableDHCP", kRegDword, EncodeRegistryDword(0));
    WriteInterfaceValue(device.guid, L"IPAddress", kRegMultiSz,
                        EncodeRegistryMultiString(addresses));
    WriteInterfaceValue(device.guid, L"SubnetMask", kRegMultiSz, EncodeRegistryMultiString(masks));
    return done;
  }
  if (method == L"SetGateways") {
    if (device.dhcp) return kNotSupported;
    std::vector<std::wstring> gateways;
    if (!Strings(in, L"DefaultIPGateway", &gateways) || gateways.empty()) return kInvalidInput;
    if (gateways.size() > 5) return kTooManyGateways;
    for (const std::wstring& gateway : gateways) {
      if (!IsIpv4Address(gateway)) return kInvalidGateway;
    }
    std::vector<std::wstring> metrics;
    const auto metric = in->properties.find(L"GatewayCostMetric");
    if (metric != in->properties.end() && metric->second.type != kVtNull &&
        metric->second.type != kVtEmpty) {
      metrics.push_back(std::to_wstring(metric->second.integer));
    }
    device.gateway = WideToUtf8(gateways[0]);
    WriteInterfaceValue(device.guid, L"DefaultGateway", kRegMultiSz,
                        EncodeRegistryMultiString(gateways));
    WriteInterfaceValue(device.guid, L"DefaultGatewayMetric", kRegMultiSz,
                        EncodeRegistryMultiString(metrics));
    return done;
  }
  if (method == L"SetDNSServerSearchOrder") {
    std::vector<std::wstring> servers;
    Strings(in, L"DNSServerSearchOrder", &servers);  // null or absent clears the list
    std::wstring joined;
    for (const std::wstring& server : servers) {
      if (!IsIpv4Address(server)) return kInvalidAddress;
      joined += (joined.empty() ? L"" : L",") + server;
    }
    device.dns.clear();
    for (const std::wstring& server : servers) device.dns.push_back(WideToUtf8(server));
    WriteInterfaceValue(device.guid, L"NameServer", kRegSz, EncodeRegistryString(joined));
    return done;
  }
  // EnableDHCP
  device.dhcp = true;
  device.address = device.dhcp_address;
  device.mask = device.dhcp_mask;
  device.gateway = device.dhcp_gateway;
  WriteInterfaceValue(device.guid, L"EnableDHCP", kRegDword, EncodeRegistryDword(1));
  return done;
}

}  // namespace platform
