// The adapter side against the real APIs (run under wine64). Where wine lacks a method or a
// real device (EnableStatic, SetGateways, state changes) the test says so; the emulation covers
// those paths on the other systems.
#include <iphlpapi.h>
#include <setupapi.h>
#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cwchar>
#include <string>

#include "adapter_cfg.h"
#include "adapter_test_support.h"
#include "modify_adapter_info.h"
#include "platform/program_entry.h"
#include "platform/registry_data.h"

namespace {

const std::wstring kTestGuid = L"{5A0C7E2B-9D41-4F3A-8C6E-2B7D1E0F9A35}";

std::wstring TestInterfaceKey() {
  return std::wstring(assist::kTcpipInterfacesKey) + kTestGuid;
}

std::vector<uint8_t> ReadRaw(const wchar_t* name, uint32_t* type) {
  platform::RegistryKey key = nullptr;
  EXPECT_EQ(platform::OpenRegistryKey(platform::RootKey(platform::RegistryRoot::kLocalMachine),
                                      TestInterfaceKey().c_str(), platform::kKeyRead, &key),
            0u);
  std::vector<uint8_t> data(1024);
  uint32_t size = static_cast<uint32_t>(data.size());
  EXPECT_EQ(platform::QueryRegistryValue(key, name, type, data.data(), &size), 0u);
  data.resize(size);
  platform::CloseRegistryKey(key);
  return data;
}

class AdapterWinTest : public ::testing::Test {
 protected:
  platform::AdapterServices services_ = platform::ProgramSystem().adapter;
  assist_test::TraceLog log_;
};

TEST_F(AdapterWinTest, StructureSizesComeFromTheRealStructures) {
  EXPECT_EQ(services_.ip->AdapterInfoSize(), sizeof(IP_ADAPTER_INFO));
  EXPECT_EQ(services_.ip->NetworkParamsSize(), sizeof(FIXED_INFO));
  static_assert(sizeof(SP_CLASSINSTALL_HEADER) == 8, "header");
  static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20, "property change");
#if defined(_WIN64)
  static_assert(sizeof(SP_DEVINFO_DATA) == 32, "x64 device entry");
#else
  static_assert(sizeof(SP_DEVINFO_DATA) == 28, "x86 device entry");
  // The system's record is 648 bytes: the build's 64-bit time_t gives the lease times the
  // system's layout.
  static_assert(offsetof(IP_ADAPTER_INFO, LeaseObtained) == 632, "x86 adapter record");
  static_assert(sizeof(IP_ADAPTER_INFO) == 648, "x86 adapter record");
  static_assert(sizeof(FIXED_INFO) == 584, "x86 network parameters");
#endif
}

TEST_F(AdapterWinTest, InterfaceKeyWritesReadBackWithTheirTypesAndLayout) {
  platform::RegistryKey created = nullptr;
  ASSERT_EQ(platform::CreateRegistryKey(platform::RootKey(platform::RegistryRoot::kLocalMachine),
                                        TestInterfaceKey().c_str(), platform::kKeyAllAccess,
                                        &created, nullptr),
            0u);
  platform::CloseRegistryKey(created);
  assist::CModifyAdapterInfo modify(services_);
  assist::AdapterInfo info;
  info.ipAddress = L"192.168.225.21";
  info.subnetMask = L"255.255.255.0";
  info.defaultGateway = L"0.0.0.0";
  ASSERT_TRUE(modify.SetRegeditAdapterInfo(info, kTestGuid));

  uint32_t type = 0;
  EXPECT_EQ(ReadRaw(L"EnableDHCP", &type), platform::EncodeRegistryDword(0));
  EXPECT_EQ(type, static_cast<uint32_t>(REG_DWORD));
  EXPECT_EQ(ReadRaw(L"IPAddress", &type), platform::EncodeRegistryMultiString({L"192.168.225.21"}));
  EXPECT_EQ(type, static_cast<uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(ReadRaw(L"SubnetMask", &type), platform::EncodeRegistryMultiString({L"255.255.255.0"}));
  EXPECT_EQ(ReadRaw(L"DefaultGateway", &type), platform::EncodeRegistryMultiString({L"0.0.0.0"}));
  EXPECT_EQ(ReadRaw(L"DefaultGatewayMetric", &type), std::vector<uint8_t>(2, 0));
  EXPECT_EQ(type, static_cast<uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(ReadRaw(L"InterfaceMetric", &type), platform::EncodeRegistryDword(9999));
  EXPECT_EQ(ReadRaw(L"NameServer", &type), std::vector<uint8_t>(2, 0));
  EXPECT_EQ(type, static_cast<uint32_t>(REG_SZ));
  EXPECT_EQ(log_.ErrorCount(), 0u) << log_.Text();

  // A missing key: the failure and the system's last error are logged.
  EXPECT_FALSE(modify.SetRegeditAdapterInfo(info, L"{00000000-0000-0000-0000-00000000DEAD}"));
  EXPECT_TRUE(
      log_.Has("ERROR [0] CModifyAdapterInfo::SetRegeditAdapterInfo: Open adapter key "
               "err2!"))
      << log_.Text();
  EXPECT_EQ(platform::DeleteRegistryTree(platform::RootKey(platform::RegistryRoot::kLocalMachine),
                                         TestInterfaceKey().c_str()),
            0u);
}

// The SettingID of every configuration instance, through the same seam.
std::vector<std::string> WmiSettingIds(platform::Wmi& wmi) {
  std::vector<std::string> ids;
  EXPECT_TRUE(platform::Succeeded(wmi.CoInitializeEx(platform::kCoinitMultithreaded)));
  wmi.CoInitializeSecurity(platform::ComSecurity{});
  platform::ComObject locator = nullptr;
  platform::ComObject services = nullptr;
  platform::ComObject enumerator = nullptr;
  if (platform::Succeeded(wmi.CreateLocator(&locator)) &&
      platform::Succeeded(wmi.ConnectServer(locator, L"ROOT\\CIMV2", &services)) &&
      platform::Succeeded(wmi.ExecQuery(services, L"WQL",
                                        L"SELECT * FROM Win32_NetworkAdapterConfiguration", 0x30,
                                        &enumerator))) {
    platform::ComObject object = nullptr;
    uint32_t returned = 0;
    while (platform::Succeeded(wmi.Next(enumerator, platform::kWbemInfinite, &object, &returned)) &&
           returned == 1) {
      platform::Variant id;
      if (platform::Succeeded(wmi.Get(object, L"SettingID", &id)) && id.type == platform::kVtBstr) {
        ids.push_back(std::string(id.text.begin(), id.text.end()));
      }
      wmi.Release(object);
    }
  }
  for (platform::ComObject held : {enumerator, services, locator}) {
    if (held != nullptr) wmi.Release(held);
  }
  wmi.CoUninitialize();
  return ids;
}

bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST_F(AdapterWinTest, ConnectWmiFindsWineAdaptersBySettingId) {
  const std::vector<std::string> ids = WmiSettingIds(*services_.wmi);
  if (ids.empty()) GTEST_SKIP() << "no Win32_NetworkAdapterConfiguration instance here";
  assist::CAdapterCfg cfg(services_.wmi);
  cfg.SetSettingID(ids.back());
  ASSERT_TRUE(cfg.ConnectWmi()) << ids.back();
  // A second object in the same process connects as well: security is set once per process.
  assist::CAdapterCfg second(services_.wmi);
  second.SetSettingID(ids.front());
  EXPECT_TRUE(second.ConnectWmi());
  second.SetSettingID("{00000000-0000-0000-0000-00000000DEAD}");
  EXPECT_FALSE(second.ConnectWmi());  // no object at the Next step
  EXPECT_TRUE(cfg.connected());
  if (UnderWine()) {
    // Wine's class has no EnableStatic or SetGateways (GetMethod answers WBEM_E_NOT_FOUND): the
    // runner fails before ExecMethod, without a log line. The emulation covers these methods.
    EXPECT_FALSE(cfg.EnableStatic("192.168.225.21", "255.255.255.0"));
    EXPECT_FALSE(cfg.SetGateways("0.0.0.0"));
    EXPECT_TRUE(log_.Lines().empty()) << log_.Text();
  }
}

TEST_F(AdapterWinTest, SecondCoInitializeSecurityDoesNotFailAConnection) {
  platform::Wmi& wmi = *services_.wmi;
  ASSERT_TRUE(platform::Succeeded(wmi.CoInitializeEx(platform::kCoinitMultithreaded)));
  const platform::HResult first = wmi.CoInitializeSecurity(platform::ComSecurity{});
  const platform::HResult second = wmi.CoInitializeSecurity(platform::ComSecurity{});
  wmi.CoUninitialize();
  std::printf("CoInitializeSecurity answers 0x%08lx, then 0x%08lx\n",
              static_cast<unsigned long>(first), static_cast<unsigned long>(second));
  if (UnderWine()) {
    // Wine accepts every call (S_OK); Windows answers RPC_E_TOO_LATE after the first.
    EXPECT_EQ(second, platform::kSOk);
  } else {
    EXPECT_EQ(second, platform::kRpcETooLate);
  }
  const std::vector<std::string> ids = WmiSettingIds(wmi);
  if (ids.empty()) return;
  assist::CAdapterCfg cfg(services_.wmi);
  cfg.SetSettingID(ids.front());
  EXPECT_TRUE(cfg.ConnectWmi());
}

TEST_F(AdapterWinTest, DeviceWalkEndsWithNoMoreItemsAndFindsNoPhone) {
  platform::DeviceInstaller& devices = *services_.devices;
  const platform::DeviceList list =
      devices.GetClassDevs(platform::kDigcfPresent | platform::kDigcfAllClasses);
  ASSERT_NE(list, nullptr);
  uint32_t index = 0;
  platform::DeviceEntry entry;
  while (devices.EnumDeviceInfo(list, index, &entry)) {
    wchar_t name[128] = {};
    uint32_t required = 0;
    if (devices.ClassNameFromGuid(entry.class_guid, name, 128, &required)) {
      EXPECT_EQ(std::wcslen(name) + 1, required);
    }
    ++index;
  }
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_TRUE(devices.DestroyDeviceInfoList(list));
  std::printf("wine: %u present devices\n", index);

  assist::CModifyAdapterInfo modify(services_);
  EXPECT_FALSE(modify.CheckEnableAdapter());  // no phone; state changes are not real here
  EXPECT_EQ(log_.ErrorCount(), 0u) << log_.Text();
}

}  // namespace
