// The registry side of the repair: the interface key's values and layout, the read limit, and
// the settings read back by instance id.
#include <gtest/gtest.h>

#include <cwchar>

#include "machine_fixture.h"
#include "modify_adapter_info.h"
#include "platform/registry_data.h"

namespace assist_test {
namespace {

constexpr wchar_t kPhoneClassKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";

class AdapterRegistryTest : public MachineTest {
 protected:
  void SetUp() override { Load("phone-misconfigured"); }
  std::vector<uint8_t> Raw(const wchar_t* name, uint32_t* type) {
    std::vector<uint8_t> data;
    EXPECT_TRUE(platform::ReadRegistryValueForTesting(platform::RegistryRoot::kLocalMachine,
                                                      InterfaceKey(kPhoneGuid), name, type, &data));
    return data;
  }
};

TEST_F(AdapterRegistryTest, InterfaceKeyGetsTheValueTableWithItsTypesAndLayout) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  info.ipAddress = L"192.168.225.21";
  info.subnetMask = L"255.255.255.0";
  info.defaultGateway = L"0.0.0.0";
  info.dnsServer1 = L"8.8.8.8";  // not written: the name server is cleared
  ASSERT_TRUE(modify.SetRegeditAdapterInfo(
      info, std::wstring(kPhoneGuid, kPhoneGuid + sizeof(kPhoneGuid) - 1)));
  uint32_t type = 0;
  EXPECT_EQ(Raw(L"EnableDHCP", &type), platform::EncodeRegistryDword(0));
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(Raw(L"IPAddress", &type), platform::EncodeRegistryMultiString({L"192.168.225.21"}));
  EXPECT_EQ(type, platform::kRegMultiSz);
  EXPECT_EQ(Raw(L"DefaultGateway", &type), platform::EncodeRegistryMultiString({L"0.0.0.0"}));
  // The empty list is a single terminator.
  EXPECT_EQ(Raw(L"DefaultGatewayMetric", &type), std::vector<uint8_t>(sizeof(wchar_t), 0));
  EXPECT_EQ(type, platform::kRegMultiSz);
  EXPECT_EQ(Raw(L"InterfaceMetric", &type), platform::EncodeRegistryDword(9999));
  EXPECT_EQ(Raw(L"NameServer", &type), platform::EncodeRegistryString(L""));
  EXPECT_EQ(type, platform::kRegSz);
  ExpectNothingHeld();
}

TEST_F(AdapterRegistryTest, StringValuesKeepAtMost127Characters) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  info.ipAddress = std::wstring(200, L'1');
  ASSERT_TRUE(modify.SetRegeditAdapterInfo(info, L"{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}"));
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{std::wstring(127, L'1')});
}

TEST_F(AdapterRegistryTest, InterfaceKeyFailuresHaveTheirTexts) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  EXPECT_FALSE(modify.SetRegeditAdapterInfo(info, L"{MISSING}"));
  platform::DenyRegistryWriteForTesting(platform::RegistryRoot::kLocalMachine,
                                        InterfaceKey(kPhoneGuid), true);
  EXPECT_FALSE(modify.SetRegeditAdapterInfo(info, L"{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}"));
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{
                "ERROR [0] CModifyAdapterInfo::SetRegeditAdapterInfo: Open adapter key err2!",
                "ERROR [0] CModifyAdapterInfo::SetRegeditAdapterInfo: CRegKey open failed："
                "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
                "{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}, Err:5"}));
  ExpectNothingHeld();
}

TEST_F(AdapterRegistryTest, ValuesLongerThan256BytesCountAsAbsent) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  info.ipAddress = L"10.0.0.1";
  // 128 characters and a terminator: 258 bytes of UTF-16.
  const std::wstring long_description =
      std::wstring(assist::kPhoneAdapterDescription) +
      std::wstring(128 - std::wcslen(assist::kPhoneAdapterDescription), L'x');
  ASSERT_EQ(long_description.size(), 128u);
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kLocalMachine, kPhoneClassKey,
                                         L"DriverDesc", long_description);
  EXPECT_TRUE(
      modify.SetAdapterInfo(info, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_NE(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"10.0.0.1"});
  // 127 characters fit.
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kLocalMachine, kPhoneClassKey,
                                         L"DriverDesc", long_description.substr(0, 127));
  EXPECT_TRUE(
      modify.SetAdapterInfo(info, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"10.0.0.1"});
}

TEST_F(AdapterRegistryTest, LowerRangeMustContainEthernet) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  info.ipAddress = L"10.0.0.1";
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kLocalMachine,
                                         std::wstring(kPhoneClassKey) + L"\\Ndi\\Interfaces",
                                         L"LowerRange", L"Ethernet,wan");
  EXPECT_TRUE(
      modify.SetAdapterInfo(info, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"0.0.0.0"});  // unchanged
}

TEST_F(AdapterRegistryTest, ClassKeyFailureIsLoggedAndFalse) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  machine_.faults().FailNamedCall("RegOpenKeyExW", 1, 5);
  EXPECT_FALSE(
      modify.SetAdapterInfo({}, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_EQ(log_.Lines(),
            std::vector<std::string>{"ERROR [0] CModifyAdapterInfo::SetAdapterInfo: RegOpenKeyEx "
                                     "Failed, Err:5"});
}

TEST_F(AdapterRegistryTest, InfoByInstanceIdPrefersDhcpValuesAndReadsAllDnsServers) {
  machine_.SetDnsServers({"192.168.1.1", "8.8.8.8", "1.1.1.1"});  // more than FIXED_INFO holds
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  ASSERT_TRUE(modify.GetAdapterInfoByInstanceID(&info, assist::kPhoneInstancePrefix,
                                                assist::kPhoneAdapterDescription));
  EXPECT_EQ(info.ipAddress, L"192.168.225.34");
  EXPECT_EQ(info.subnetMask, L"255.255.0.0");
  EXPECT_EQ(info.defaultGateway, L"192.168.225.1");
  EXPECT_EQ(info.dnsServer1, L"192.168.1.1");
  EXPECT_EQ(info.dnsServer2, L"8.8.8.8");
  EXPECT_EQ(machine_.faults().CountOf("GetNetworkParams"), 2u);

  // Static values when there are no DHCP ones.
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  assist::AdapterInfo repaired;
  repaired.ipAddress = L"192.168.225.21";
  repaired.subnetMask = L"255.255.255.0";
  ASSERT_TRUE(modify.SetRegeditAdapterInfo(repaired, L"{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}"));
  platform::LoadRegistryScenarioForTesting(
      "[HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\"
      "{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}]\n\"DhcpIPAddress\"=dword:1\n",
      nullptr);
  assist::AdapterInfo read;
  ASSERT_TRUE(modify.GetAdapterInfoByInstanceID(&read, assist::kPhoneInstancePrefix,
                                                assist::kPhoneAdapterDescription));
  EXPECT_EQ(read.ipAddress, L"192.168.225.21");  // a DWORD is not an address text
  EXPECT_EQ(read.subnetMask, L"255.255.0.0");    // the DHCP mask is still there
  ExpectNothingHeld();
}

TEST_F(AdapterRegistryTest, InfoByInstanceIdFailures) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  // The last error is the walk's end.
  EXPECT_FALSE(modify.GetAdapterInfoByInstanceID(&info, L"USB\\VID_FFFF", L"Nothing"));
  // The first ask fails, the retry with FIXED_INFO's size is too small for three servers.
  machine_.SetDnsServers({"192.168.1.1", "8.8.8.8", "1.1.1.1"});
  machine_.faults().FailNamedCall("GetNetworkParams", 1);
  EXPECT_FALSE(modify.GetAdapterInfoByInstanceID(&info, assist::kPhoneInstancePrefix,
                                                 assist::kPhoneAdapterDescription));
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{
                "ERROR [0] CModifyAdapterInfo::GetAdapterInfoByInstanceID: Failed to get network "
                "config, Err:259",
                "ERROR [0] CModifyAdapterInfo::GetAdapterInfoByInstanceID: Get Dns server failed, "
                "111"}));
  ExpectNothingHeld();
}

TEST_F(AdapterRegistryTest, InfoByInstanceIdLogsUnderItsOwnNameAndIsSilentWithoutInterfaceKey) {
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  machine_.faults().FailNamedCall("RegOpenKeyExW", 1, 5);
  EXPECT_FALSE(modify.GetAdapterInfoByInstanceID(&info, assist::kPhoneInstancePrefix,
                                                 assist::kPhoneAdapterDescription));
  EXPECT_EQ(log_.Lines(),
            std::vector<std::string>{"ERROR [0] CModifyAdapterInfo::GetAdapterInfoByInstanceID: "
                                     "RegOpenKeyEx Failed, Err:5"});

  // The adapter passes the walk but has no TCP/IP interface key: false, nothing logged.
  ASSERT_EQ(platform::DeleteRegistryTree(platform::RootKey(platform::RegistryRoot::kLocalMachine),
                                         InterfaceKey(kPhoneGuid).c_str()),
            0u);
  EXPECT_FALSE(modify.GetAdapterInfoByInstanceID(&info, assist::kPhoneInstancePrefix,
                                                 assist::kPhoneAdapterDescription));
  EXPECT_EQ(log_.Lines().size(), 1u) << log_.Text();
  EXPECT_EQ(machine_.faults().CountOf("GetNetworkParams"), 0u);
  ExpectNothingHeld();
}

}  // namespace
}  // namespace assist_test
