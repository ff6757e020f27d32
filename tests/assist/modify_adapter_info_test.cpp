// CModifyAdapterInfo on the emulated machine: the check, the repair and the device walks.
#include "modify_adapter_info.h"

#include <gtest/gtest.h>

#include "machine_fixture.h"

namespace assist_test {
namespace {

constexpr char kPhoneWalkLine[] =
    "INFO  [0] CModifyAdapterInfo::CheckEnableAdapter: name:Net, "
    "instanceId1:USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000";

class ModifyAdapterInfoTest : public MachineTest {
 protected:
  platform::EmulatedDevice* Phone() { return machine_.FindAdapter(kPhoneGuid); }
};

TEST_F(ModifyAdapterInfoTest, ConfiguredPhonePassesTheCheck) {
  Load("phone-configured");
  assist::CModifyAdapterInfo modify(machine_.Services());
  EXPECT_TRUE(modify.CheckEnableAdapter());
  EXPECT_TRUE(modify.CheckKaerAdapterCfg());
  // Walk lines for the network devices only, the wired one first; the USB hub is skipped.
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 3u) << log_.Text();
  EXPECT_EQ(lines[0],
            "INFO  [0] CModifyAdapterInfo::CheckEnableAdapter: name:Net, "
            "instanceId1:PCI\\VEN_8086&DEV_15B8&SUBSYS_86721043&REV_00\\3&11583659&0&FE");
  EXPECT_EQ(lines[1], kPhoneWalkLine);
  EXPECT_EQ(lines[2],
            "INFO  [0] CModifyAdapterInfo::GetAdapterInfoByDescription: 网卡2, "
            "网卡描述：Remote NDIS based Internet Sharing Device, "
            "网卡名称：{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}");
  ASSERT_EQ(machine_.state_changes().size(), 1u);
  EXPECT_EQ(machine_.state_changes()[0].state_change, platform::kDicsEnable);
  EXPECT_EQ(machine_.state_changes()[0].scope, platform::kDicsFlagConfigSpecific);
  EXPECT_EQ(machine_.state_changes()[0].hardware_profile, 0u);
  ExpectNothingHeld();
}

TEST_F(ModifyAdapterInfoTest, CheckAcceptsAnyAddressOfTheNetworkAndNoGatewayOnly) {
  Load("phone-configured");
  assist::CModifyAdapterInfo modify(machine_.Services());
  Phone()->address = "192.168.225.5";
  Phone()->gateway = "";
  EXPECT_TRUE(modify.CheckKaerAdapterCfg());
  Phone()->gateway = "0.0.0.0";
  EXPECT_TRUE(modify.CheckKaerAdapterCfg());
  Phone()->gateway = "192.168.225.1";
  EXPECT_FALSE(modify.CheckKaerAdapterCfg());
  Phone()->gateway = "";
  Phone()->mask = "255.255.0.0";
  EXPECT_FALSE(modify.CheckKaerAdapterCfg());
  Phone()->mask = "255.255.255.0";
  Phone()->address = "192.168.2.21";
  EXPECT_FALSE(modify.CheckKaerAdapterCfg());
  Phone()->address = "";  // no address: Windows lists 0.0.0.0
  EXPECT_FALSE(modify.CheckKaerAdapterCfg());
}

TEST_F(ModifyAdapterInfoTest, RepairWritesRegistryAndWmiAndRestartsTheDevice) {
  Load("phone-misconfigured");
  assist::CModifyAdapterInfo modify(machine_.Services());
  ASSERT_TRUE(modify.CheckEnableAdapter());
  ASSERT_FALSE(modify.CheckKaerAdapterCfg());
  EXPECT_TRUE(modify.ResetKaerAdapterCfg());
  EXPECT_EQ(log_.ErrorCount(), 0u) << log_.Text();

  EXPECT_EQ(Dword(kPhoneGuid, L"EnableDHCP"), 0u);
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"192.168.225.21"});
  EXPECT_EQ(Multi(kPhoneGuid, L"SubnetMask"), std::vector<std::wstring>{L"255.255.255.0"});
  EXPECT_EQ(Multi(kPhoneGuid, L"DefaultGateway"), std::vector<std::wstring>{L"0.0.0.0"});
  EXPECT_EQ(Dword(kPhoneGuid, L"InterfaceMetric"), 9999u);
  std::wstring name_server = L"?";
  EXPECT_TRUE(platform::ReadRegistryStringForTesting(platform::RegistryRoot::kLocalMachine,
                                                     InterfaceKey(kPhoneGuid), L"NameServer",
                                                     &name_server));
  EXPECT_EQ(name_server, L"");
  EXPECT_GE(platform::RegistryFlushCountForTesting(), 1u);
  // The wired adapter is left alone.
  EXPECT_EQ(Dword(kWiredGuid, L"EnableDHCP"), 1u);

  // Restart: enable (the check), disable, 1000 ms, enable.
  ASSERT_EQ(machine_.state_changes().size(), 3u);
  EXPECT_EQ(machine_.state_changes()[1].state_change, platform::kDicsDisable);
  EXPECT_EQ(machine_.state_changes()[2].state_change, platform::kDicsEnable);
  EXPECT_EQ(machine_.slept_milliseconds(), 1000u);
  EXPECT_TRUE(
      log_.Has("INFO  [0] CModifyAdapterInfo::ResetAdapterState: name:Net, "
               "instanceId1:USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000"));

  EXPECT_TRUE(modify.CheckKaerAdapterCfg());
  EXPECT_FALSE(Phone()->dhcp);
}

TEST_F(ModifyAdapterInfoTest, TwoPhonesAreBothRewrittenWhileTheWalksActOnTheFirst) {
  Load("two-phones");
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  ASSERT_TRUE(modify.GetAdapterInfoByDescription(&info, assist::kPhoneAdapterDescription));
  EXPECT_EQ(info.adapterName, L"{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}");
  EXPECT_EQ(info.ipAddress, L"192.168.225.34");
  EXPECT_EQ(info.defaultGateway, L"192.168.225.1");

  EXPECT_TRUE(modify.ResetKaerAdapterCfg());
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"192.168.225.21"});
  EXPECT_EQ(Multi(kSecondPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"192.168.225.21"});
  ASSERT_EQ(machine_.state_changes().size(), 2u);
  for (const platform::EmulatedStateChange& change : machine_.state_changes()) {
    EXPECT_EQ(change.instance_id, L"USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000");
  }
}

TEST_F(ModifyAdapterInfoTest, AdapterWithoutInstanceIdValueIsRewritten) {
  Load("phone-without-instance-id");
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  info.ipAddress = L"192.168.225.21";
  EXPECT_TRUE(
      modify.SetAdapterInfo(info, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"192.168.225.21"});
}

TEST_F(ModifyAdapterInfoTest, InstanceIdIsComparedInUpperCaseAndMustCarryThePrefix) {
  Load("phone-misconfigured");
  const std::wstring class_key =
      L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  info.ipAddress = L"10.1.1.1";
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kLocalMachine, class_key,
                                         L"DeviceInstanceID",
                                         L"usb\\vid_2c7c&pid_0125&mi_00\\6&2f6a1b3c&0&0000");
  EXPECT_TRUE(
      modify.SetAdapterInfo(info, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"10.1.1.1"});

  info.ipAddress = L"10.2.2.2";
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kLocalMachine, class_key,
                                         L"DeviceInstanceID",
                                         L"USB\\VID_2C7C&PID_0126&MI_00\\6&2F6A1B3C&0&0000");
  EXPECT_TRUE(
      modify.SetAdapterInfo(info, assist::kPhoneInstancePrefix, assist::kPhoneAdapterDescription));
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"10.1.1.1"});
}

TEST_F(ModifyAdapterInfoTest, NonEthernetRecordIsSkippedButCounted) {
  Load("phone-not-ethernet");
  // A second phone record of the right type after it.
  platform::EmulatedDevice second = *Phone();
  second.type = platform::kMibIfTypeEthernet;
  second.guid = kSecondPhoneGuid;
  second.instance_id = L"USB\\VID_2C7C&PID_0125&MI_00\\6&3A7B2C4D&0&0000";
  machine_.AddDevice(second);
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  ASSERT_TRUE(modify.GetAdapterInfoByDescription(&info, assist::kPhoneAdapterDescription));
  EXPECT_EQ(info.adapterName, L"{9A3C5E7F-1B2D-4F60-8A9B-0C1D2E3F4A5B}");
  EXPECT_EQ(log_.Lines(), std::vector<std::string>{
                              "INFO  [0] CModifyAdapterInfo::GetAdapterInfoByDescription: 网卡3, "
                              "网卡描述：Remote NDIS based Internet Sharing Device, "
                              "网卡名称：{9A3C5E7F-1B2D-4F60-8A9B-0C1D2E3F4A5B}"});
}

TEST_F(ModifyAdapterInfoTest, NotEthernetPhoneAloneFailsTheCheck) {
  Load("phone-not-ethernet");
  assist::CModifyAdapterInfo modify(machine_.Services());
  EXPECT_FALSE(modify.CheckKaerAdapterCfg());
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(ModifyAdapterInfoTest, ClassNameInOtherLetterCaseDoesNotMatch) {
  Load("phone-absent");
  platform::EmulatedDevice device;
  device.instance_id = L"USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000";
  device.class_name = L"NET";
  machine_.AddDevice(device);
  assist::CModifyAdapterInfo modify(machine_.Services());
  EXPECT_FALSE(modify.CheckEnableAdapter());
  EXPECT_TRUE(machine_.state_changes().empty());
  for (const std::string& line : log_.Lines()) EXPECT_EQ(line.find("VID_2C7C"), std::string::npos);
}

// SetupDiGetClassDevs with DIGCF_PRESENT lists the devices that are attached, enabled or not
// (https://learn.microsoft.com/en-us/windows/win32/api/setupapi/nf-setupapi-setupdigetclassdevsw):
// the enable step finds a disabled phone, whose adapter is missing from the IP helper's list
// until then.
TEST_F(ModifyAdapterInfoTest, ADisabledPhoneIsPresentAndTheEnableStepBringsItsAdapterBack) {
  Load("phone-configured");
  Phone()->enabled = false;
  assist::CModifyAdapterInfo modify(machine_.Services());
  assist::AdapterInfo info;
  EXPECT_FALSE(modify.GetAdapterInfoByDescription(&info, assist::kPhoneAdapterDescription));
  EXPECT_TRUE(modify.CheckEnableAdapter());
  EXPECT_TRUE(log_.Has(kPhoneWalkLine)) << log_.Text();
  EXPECT_TRUE(Phone()->enabled);
  EXPECT_TRUE(modify.CheckKaerAdapterCfg());
}

TEST_F(ModifyAdapterInfoTest, DeviceAbsentPathStepByStep) {
  Load("phone-absent");
  const std::string before = platform::DumpRegistryForTesting();
  assist::CModifyAdapterInfo modify(machine_.Services());
  EXPECT_FALSE(modify.CheckEnableAdapter());
  EXPECT_EQ(log_.ErrorCount(), 0u);

  EXPECT_FALSE(modify.CheckKaerAdapterCfg());
  EXPECT_EQ(machine_.faults().CountOf("CoInitializeEx"), 0u);  // no SetSettingID, no WMI

  EXPECT_FALSE(modify.ResetKaerAdapterCfg());
  EXPECT_EQ(platform::DumpRegistryForTesting(), before);  // nothing written
  EXPECT_EQ(machine_.com_calls().queries,
            std::vector<std::wstring>{
                L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE SettingID = \"\""});
  EXPECT_EQ(log_.ErrorCount(), 1u) << log_.Text();
  EXPECT_TRUE(
      log_.Has("ERROR [0] CModifyAdapterInfo::ResetKaerAdapterCfg: AdaperCfg SetIPConfig Failed!"));
  EXPECT_TRUE(machine_.state_changes().empty());
  EXPECT_EQ(machine_.slept_milliseconds(), 0u);
}

TEST_F(ModifyAdapterInfoTest, DeviceListFailureIsLoggedWithTheLastError) {
  Load("phone-configured");
  assist::CModifyAdapterInfo modify(machine_.Services());
  machine_.faults().FailNamedCall("SetupDiGetClassDevsW", 1, 13);
  EXPECT_FALSE(modify.CheckEnableAdapter());
  machine_.faults().FailNamedCall("SetupDiGetClassDevsW", 1, 5);
  EXPECT_FALSE(modify.ResetAdapterState(assist::kPhoneInstancePrefix, L""));
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{"ERROR [0] CModifyAdapterInfo::CheckEnableAdapter: Err:13",
                                      "ERROR [0] CModifyAdapterInfo::ResetAdapterState: Err:5"}));
}

TEST_F(ModifyAdapterInfoTest, RestartDoesNotRepeatAStaleChangeWhenItsParametersFail) {
  Load("phone-configured");
  assist::CModifyAdapterInfo modify(machine_.Services());
  machine_.faults().FailNamedCall("SetupDiSetClassInstallParamsW", 2);  // the enable
  EXPECT_TRUE(modify.ResetAdapterState(assist::kPhoneInstancePrefix, L""));
  // Only the disable ran: the device's old parameters were not applied a second time.
  ASSERT_EQ(machine_.state_changes().size(), 1u);
  EXPECT_EQ(machine_.state_changes()[0].state_change, platform::kDicsDisable);
  EXPECT_FALSE(Phone()->enabled);
}

TEST_F(ModifyAdapterInfoTest, AnInstanceIdThatCannotBeReadIsLoggedEmptyAndMatchesNothing) {
  Load("phone-absent");
  platform::EmulatedDevice device;
  device.instance_id = L"USB\\VID_2C7C&PID_0125&MI_00\\" + std::wstring(120, L'A');
  machine_.AddDevice(device);
  assist::CModifyAdapterInfo modify(machine_.Services());
  EXPECT_FALSE(modify.CheckEnableAdapter());
  EXPECT_TRUE(machine_.state_changes().empty());
  EXPECT_TRUE(log_.Has("INFO  [0] CModifyAdapterInfo::CheckEnableAdapter: name:Net, instanceId1:"))
      << log_.Text();
}

}  // namespace
}  // namespace assist_test
