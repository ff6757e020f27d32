// AdapterInfo and the constants of the USB phone adapter repair.
#pragma once

#include <string>

namespace assist {

struct AdapterInfo {
  std::wstring ipAddress;
  std::wstring subnetMask;
  std::wstring defaultGateway;
  std::wstring dnsServer1;
  std::wstring dnsServer2;
  std::wstring description;
  std::wstring adapterName;  // GUID text in braces: NetCfgInstanceID, WMI SettingID
};

constexpr wchar_t kPhoneInstancePrefix[] = L"USB\\VID_2C7C&PID_0125&MI_00\\";
constexpr wchar_t kPhoneAdapterDescription[] = L"Remote NDIS based Internet Sharing Device";
constexpr char kPhoneAddress[] = "192.168.225.21";
constexpr char kPhoneMask[] = "255.255.255.0";
constexpr char kPhoneGateway[] = "0.0.0.0";
constexpr wchar_t kExpectedAddressPrefix[] = L"192.168.225.";

constexpr wchar_t kNetworkClassKey[] =
    L"System\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}";
constexpr wchar_t kTcpipInterfacesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr wchar_t kNetDeviceClass[] = L"Net";
constexpr wchar_t kEthernetLowerRange[] = L"ethernet";

}  // namespace assist
