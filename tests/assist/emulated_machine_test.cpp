// The emulated machine keeps devices, adapters, registry and WMI consistent, and survives a
// trip through a scenario file.
#include "platform/testing/emulated_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "adapter_cfg.h"
#include "machine_fixture.h"
#include "modify_adapter_info.h"
#include "platform/program_entry.h"
#include "platform/system.h"
#include "platform/testing/emulated_process.h"
#include "scoped_environment.h"

namespace assist_test {
namespace {

using EmulatedMachineTest = MachineTest;

std::vector<platform::IpAdapter> Adapters(platform::EmulatedMachine& machine) {
  uint32_t size = 0;
  std::vector<platform::IpAdapter> adapters;
  platform::IpHelper* ip = machine.Services().ip;
  if (ip->GetAdaptersInfo(&size, &adapters) == platform::kErrorBufferOverflow) {
    EXPECT_EQ(size % ip->AdapterInfoSize(), 0u);
    EXPECT_EQ(ip->GetAdaptersInfo(&size, &adapters), 0u);
  }
  return adapters;
}

TEST_F(EmulatedMachineTest, EveryShippedScenarioLoadsAndRoundTrips) {
  for (const char* name : {"phone-absent", "phone-configured", "phone-misconfigured", "two-phones",
                           "phone-without-instance-id", "phone-not-ethernet"}) {
    SCOPED_TRACE(name);
    Load(name);
    const std::string saved = machine_.SaveScenario();
    platform::EmulatedMachine reloaded;
    std::string error;
    ASSERT_TRUE(reloaded.LoadScenario(saved, &error)) << error;
    EXPECT_EQ(reloaded.SaveScenario(), saved);
  }
}

TEST_F(EmulatedMachineTest, ScenarioErrorsNameTheLine) {
  platform::EmulatedMachine machine;
  std::string error;
  EXPECT_FALSE(machine.LoadScenario("[adapter]\nguid = {A}\ncolour = red\n", &error));
  EXPECT_EQ(error, "line 3: bad device key or value: colour");
  EXPECT_FALSE(machine.LoadScenario("[device]\nguid = {A}\n", &error));  // not an adapter key
  EXPECT_FALSE(machine.LoadScenario("dns = 1.1.1.1\n", &error));
  EXPECT_TRUE(machine.devices().empty());
}

// Found by fuzzing: these loaded, then the saved machine could not be read back.
TEST_F(EmulatedMachineTest, ValuesTheSavedTextCouldNotHoldAreRefused) {
  platform::EmulatedMachine machine;
  std::string error;
  EXPECT_FALSE(machine.LoadScenario("[adapter]\nguid = {6E1B\x06-4E8A}\n", &error));
  EXPECT_EQ(error, "line 2: control character in the value of guid");
  EXPECT_FALSE(machine.LoadScenario("[network]\nhost_name = PC\x7f\n", &error));
  EXPECT_EQ(error, "line 2: control character in the value of host_name");
  EXPECT_FALSE(machine.LoadScenario("[adapter]\nguid = {6E1B[dev]ce}\n", &error));
  EXPECT_EQ(error, "line 2: bad device key or value: guid");
  EXPECT_FALSE(machine.LoadScenario("[adapter]\nguid = {A}\\{B}\n", &error));
  EXPECT_TRUE(machine.devices().empty());
  EXPECT_TRUE(machine.LoadScenario("[adapter]\nguid = {6E1B-[4E8A}\n", &error)) << error;
  platform::EmulatedMachine reloaded;
  ASSERT_TRUE(reloaded.LoadScenario(machine.SaveScenario(), &error)) << error;
  EXPECT_NE(reloaded.FindAdapter("{6E1B-[4E8A}"), nullptr);
}

TEST_F(EmulatedMachineTest, ARunsChangesComeBackThroughTheScenarioFile) {
  Load("phone-misconfigured");
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  ASSERT_TRUE(cfg.EnableStatic("192.168.225.21", "255.255.255.0"));
  cfg.Disconnect();
  const std::string file = (log_.folder().path() / "after.machine").string();
  ASSERT_TRUE(machine_.SaveScenarioFile(file));

  platform::EmulatedMachine other;
  std::string error;
  ASSERT_TRUE(other.LoadScenarioFile(file, &error)) << error;
  const platform::EmulatedDevice* phone = other.FindAdapter(kPhoneGuid);
  ASSERT_NE(phone, nullptr);
  EXPECT_FALSE(phone->dhcp);
  EXPECT_EQ(phone->address, "192.168.225.21");
  EXPECT_EQ(Multi(kPhoneGuid, L"IPAddress"), std::vector<std::wstring>{L"192.168.225.21"});
}

TEST_F(EmulatedMachineTest, DisabledDeviceLeavesTheAdapterListUntilEnabledAndThenReadsItsKey) {
  Load("phone-misconfigured");
  platform::DeviceInstaller* devices = machine_.Services().devices;
  auto present = [&] {
    const platform::DeviceList list =
        devices->GetClassDevs(platform::kDigcfPresent | platform::kDigcfAllClasses);
    uint32_t count = 0;
    platform::DeviceEntry entry;
    while (devices->EnumDeviceInfo(list, count, &entry)) ++count;
    EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorNoMoreItems);
    devices->DestroyDeviceInfoList(list);
    return count;
  };
  ASSERT_EQ(present(), 3u);
  const platform::DeviceList list =
      devices->GetClassDevs(platform::kDigcfPresent | platform::kDigcfAllClasses);
  platform::DeviceEntry phone;
  ASSERT_TRUE(devices->EnumDeviceInfo(list, 2, &phone));
  platform::PropertyChangeParams change;
  change.state_change = platform::kDicsDisable;
  ASSERT_TRUE(devices->SetClassInstallParams(list, phone, change));
  ASSERT_TRUE(devices->ChangeState(list, phone));
  EXPECT_EQ(present(), 3u);  // present means attached, enabled or not
  EXPECT_EQ(Adapters(machine_).size(), 1u);

  // The driver takes its settings from the registry when it starts again.
  platform::SeedRegistryDwordForTesting(platform::RegistryRoot::kLocalMachine,
                                        InterfaceKey(kPhoneGuid), L"EnableDHCP", 0);
  platform::SeedRegistryMultiStringForTesting(platform::RegistryRoot::kLocalMachine,
                                              InterfaceKey(kPhoneGuid), L"IPAddress",
                                              {L"192.168.225.21"});
  platform::SeedRegistryMultiStringForTesting(platform::RegistryRoot::kLocalMachine,
                                              InterfaceKey(kPhoneGuid), L"SubnetMask",
                                              {L"255.255.255.0"});
  change.state_change = platform::kDicsEnable;
  ASSERT_TRUE(devices->SetClassInstallParams(list, phone, change));
  ASSERT_TRUE(devices->ChangeState(list, phone));
  devices->DestroyDeviceInfoList(list);
  const std::vector<platform::IpAdapter> adapters = Adapters(machine_);
  ASSERT_EQ(adapters.size(), 2u);
  EXPECT_EQ(adapters[1].addresses[0].address, "192.168.225.21");
  EXPECT_EQ(adapters[1].gateway, "");
}

// Wine's WMI has no methods; the emulated ones answer as Windows documents them ("EnableStatic
// method of the Win32_NetworkAdapterConfiguration class", Microsoft Learn): 64 method not
// supported on this platform, 66 invalid subnet mask, 70 invalid IP address, 84 IP not enabled
// on adapter.
TEST_F(EmulatedMachineTest, MethodsOnADisabledAdapterAnswerIpNotEnabled) {
  Load("phone-configured");
  machine_.FindAdapter(kPhoneGuid)->enabled = false;
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  EXPECT_FALSE(cfg.EnableStatic("192.168.225.21", "255.255.255.0"));
  EXPECT_TRUE(log_.Has("ERROR [0] CAdapterCfg::ExecMethod: Failed, result:84"));
}

TEST_F(EmulatedMachineTest, EnableStaticChecksAddressAndMask) {
  Load("phone-configured");
  assist::CAdapterCfg cfg(machine_.Services().wmi);
  cfg.SetSettingID(kPhoneGuid);
  EXPECT_FALSE(cfg.EnableStatic("192.168.225.21", "255.0.255.0"));
  EXPECT_FALSE(cfg.EnableStatic("192.168.225", "255.255.255.0"));
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{"ERROR [0] CAdapterCfg::ExecMethod: Failed, result:66",
                                      "ERROR [0] CAdapterCfg::ExecMethod: Failed, result:70"}));
}

}  // namespace
}  // namespace assist_test

namespace assist_test {
namespace {

// A program run on a scenario file finds the machine in CurrentSystem() and writes its changes
// back into the file.
TEST(ProgramEntryTest, TheProgramsServicesComeFromTheScenarioAndGoBackToIt) {
  TraceLog log;
  const std::string out = (log.folder().path() / "run.machine").string();
  std::filesystem::copy_file(ScenarioPath("phone-misconfigured"), out);
  kuvo_test::ScopedEnvironment environment;
  environment.Set("KUVO_MACHINE_SCENARIO", out);
  char name[] = "kuvo";
  char* argv[] = {name, nullptr};
  const int code = platform::RunProgram(1, argv, {}, [](const std::string&) {
    assist::CModifyAdapterInfo modify(platform::CurrentSystem().adapter);
    EXPECT_FALSE(modify.CheckKaerAdapterCfg());
    return modify.ResetKaerAdapterCfg() ? 0 : 1;
  });
  ASSERT_EQ(code, 0);
  std::ifstream file(out, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  platform::ProcessScenario process;
  std::string machine, error;
  ASSERT_TRUE(platform::SplitProcessScenario(text, &process, &machine, &error)) << error;
  platform::EmulatedMachine after;
  ASSERT_TRUE(after.LoadScenario(machine, &error)) << error;
  const platform::EmulatedDevice* phone = after.FindAdapter(kPhoneGuid);
  ASSERT_NE(phone, nullptr);
  EXPECT_EQ(phone->address, "192.168.225.21");
  EXPECT_EQ(phone->mask, "255.255.255.0");
  EXPECT_EQ(phone->gateway, "0.0.0.0");
  EXPECT_FALSE(phone->dhcp);
  EXPECT_EQ(log.ErrorCount(), 0u) << log.Text();
}

}  // namespace
}  // namespace assist_test
