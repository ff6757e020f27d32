// The registry side of CModifyAdapterInfo: the network class key walk, the TCP/IP interface
// key of an adapter, and the adapter settings read back from the registry.
#include <cwctype>

#include "common/text_conversion.h"
#include "common/trace.h"
#include "modify_adapter_info.h"
#include "platform/code_page.h"
#include "registry_text.h"

namespace assist {

namespace {

constexpr uint32_t kReadLimit = 256;       // bytes of UTF-16 data per value
constexpr uint32_t kSubkeyNameSize = 256;  // characters, terminator included
constexpr size_t kWriteBufferSize = 128;   // characters, terminator included
constexpr uint32_t kInterfaceMetric = 9999;

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return text;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// A string value passes through a buffer of 128 characters.
std::wstring Bounded(const std::wstring& text) {
  return text.substr(0, kWriteBufferSize - 1);
}

}  // namespace

bool CModifyAdapterInfo::AdapterKeyPasses(platform::RegistryKey class_key, const wchar_t* subkey,
                                          const std::wstring& instance_prefix,
                                          const std::wstring& description, std::wstring* guid) {
  platform::MachineRegistry& registry = *services_.registry;
  platform::RegistryKey adapter = nullptr;
  if (registry.OpenKey(class_key, subkey, platform::kKeyRead, &adapter) !=
      platform::kErrorSuccess) {
    return false;
  }
  platform::RegistryKey interfaces = nullptr;
  bool passes = registry.OpenKey(adapter, L"Ndi\\Interfaces", platform::kKeyRead, &interfaces) ==
                platform::kErrorSuccess;
  std::wstring text;
  passes = passes && ReadRegistryText(registry, interfaces, L"LowerRange", kReadLimit, &text) &&
           Contains(text, kEthernetLowerRange);
  if (passes && ReadRegistryText(registry, adapter, L"DeviceInstanceID", kReadLimit, &text)) {
    // An adapter without this value goes on to the next test.
    passes = Contains(Upper(text), instance_prefix);
  }
  passes = passes && ReadRegistryText(registry, adapter, L"DriverDesc", kReadLimit, &text) &&
           Contains(text, description);
  passes = passes && ReadRegistryText(registry, adapter, L"NetCfgInstanceID", kReadLimit, guid);
  if (interfaces != nullptr) registry.CloseKey(interfaces);
  registry.CloseKey(adapter);
  return passes;
}

bool CModifyAdapterInfo::WalkAdapterKeys(
    const wchar_t* function, const std::wstring& instance_prefix, const std::wstring& description,
    const std::function<bool(const std::wstring& guid)>& found) {
  platform::MachineRegistry& registry = *services_.registry;
  platform::RegistryKey class_key = nullptr;
  if (registry.OpenKey(nullptr, kNetworkClassKey, platform::kKeyRead, &class_key) !=
      platform::kErrorSuccess) {
    kuvo::TraceError(function, L"RegOpenKeyEx Failed, Err:%d", LastError());
    return false;
  }
  for (uint32_t index = 0;; ++index) {
    wchar_t name[kSubkeyNameSize] = {};
    uint32_t length = kSubkeyNameSize;
    if (registry.EnumKey(class_key, index, name, &length) != platform::kErrorSuccess) break;
    std::wstring guid;
    if (AdapterKeyPasses(class_key, name, instance_prefix, description, &guid) && !found(guid)) {
      break;
    }
  }
  registry.CloseKey(class_key);
  return true;
}

bool CModifyAdapterInfo::SetAdapterInfo(const AdapterInfo& info,
                                        const std::wstring& instance_prefix,
                                        const std::wstring& description) {
  return WalkAdapterKeys(L"CModifyAdapterInfo::SetAdapterInfo", instance_prefix, description,
                         [&](const std::wstring& guid) {
                           SetRegeditAdapterInfo(info, guid);
                           return true;  // every adapter that passes is rewritten
                         });
}

bool CModifyAdapterInfo::SetRegeditAdapterInfo(const AdapterInfo& info,
                                               const std::wstring& adapter_guid) {
  constexpr wchar_t kFunction[] = L"CModifyAdapterInfo::SetRegeditAdapterInfo";
  platform::MachineRegistry& registry = *services_.registry;
  const std::wstring path = kTcpipInterfacesKey + adapter_guid;
  platform::RegistryKey read_key = nullptr;
  if (registry.OpenKey(nullptr, path.c_str(), platform::kKeyRead, &read_key) !=
      platform::kErrorSuccess) {
    kuvo::TraceError(kFunction, L"Open adapter key err%d!", LastError());
    return false;
  }
  platform::RegistryKey key = nullptr;
  if (registry.OpenKey(nullptr, path.c_str(), platform::kKeyAllAccess, &key) !=
      platform::kErrorSuccess) {
    kuvo::TraceError(kFunction, L"CRegKey open failed：%s, Err:%d", path.c_str(), LastError());
    registry.CloseKey(read_key);
    return false;
  }
  // A failed write is not fatal: the others still go in.
  WriteRegistryDword(registry, key, L"EnableDHCP", 0);
  WriteRegistryMultiString(registry, key, L"DefaultGateway", {Bounded(info.defaultGateway)});
  WriteRegistryMultiString(registry, key, L"DefaultGatewayMetric", {});
  WriteRegistryMultiString(registry, key, L"IPAddress", {Bounded(info.ipAddress)});
  WriteRegistryMultiString(registry, key, L"SubnetMask", {Bounded(info.subnetMask)});
  WriteRegistryDword(registry, key, L"InterfaceMetric", kInterfaceMetric);
  WriteRegistryString(registry, key, L"NameServer", L"");
  registry.FlushKey(key);
  registry.CloseKey(key);
  registry.CloseKey(read_key);
  return true;
}

bool CModifyAdapterInfo::GetAdapterInfoByInstanceID(AdapterInfo* info,
                                                    const std::wstring& instance_prefix,
                                                    const std::wstring& description) {
  constexpr wchar_t kFunction[] = L"CModifyAdapterInfo::GetAdapterInfoByInstanceID";
  std::wstring adapter_guid;
  bool matched = false;
  if (!WalkAdapterKeys(kFunction, instance_prefix, description, [&](const std::wstring& guid) {
        adapter_guid = guid;
        matched = true;
        return false;  // the first adapter that passes
      })) {
    return false;
  }
  if (!matched) {
    kuvo::TraceError(kFunction, L"Failed to get network config, Err:%d", LastError());
    return false;
  }
  platform::MachineRegistry& registry = *services_.registry;
  const std::wstring path = kTcpipInterfacesKey + adapter_guid;
  platform::RegistryKey key = nullptr;
  if (registry.OpenKey(nullptr, path.c_str(), platform::kKeyRead, &key) !=
      platform::kErrorSuccess) {
    return false;
  }
  auto read = [&](const wchar_t* dhcp_name, const wchar_t* static_name, std::wstring* out) {
    if (!ReadRegistryText(registry, key, dhcp_name, kReadLimit, out) &&
        !ReadRegistryText(registry, key, static_name, kReadLimit, out)) {
      out->clear();
    }
  };
  read(L"DhcpIPAddress", L"IPAddress", &info->ipAddress);
  read(L"DhcpSubnetMask", L"SubnetMask", &info->subnetMask);
  read(L"DhcpDefaultGateway", L"DefaultGateway", &info->defaultGateway);
  registry.CloseKey(key);

  uint32_t size = services_.ip->NetworkParamsSize();
  platform::NetworkParams params;
  if (services_.ip->GetNetworkParams(&size, &params) != platform::kErrorSuccess &&
      services_.ip->GetNetworkParams(&size, &params) != platform::kErrorSuccess) {
    kuvo::TraceError(kFunction, L"Get Dns server failed, %d", LastError());
    return false;
  }
  if (!params.dns_servers.empty()) {
    info->dnsServer1 = kuvo::NarrowToWide(params.dns_servers[0].c_str(), platform::kCodePageAcp);
  }
  if (params.dns_servers.size() > 1) {
    info->dnsServer2 = kuvo::NarrowToWide(params.dns_servers[1].c_str(), platform::kCodePageAcp);
  }
  return true;
}

}  // namespace assist
