// The program run as a process on an emulated machine, as Windows would start it.
#include <gtest/gtest.h>

#include <filesystem>

#include "elevation.h"
#include "platform/testing/emulated_process.h"
#include "program_run.h"

namespace assist_test {
namespace {

constexpr char kPhoneGuid[] = "{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}";
constexpr char kTypeLibKey[] = "TypeLib\\{5A169E82-FE20-40B0-B906-B73B91D1FFAF}\\1.0]";
constexpr char kUserClasses[] = "[HKEY_CURRENT_USER\\Software\\Classes\\";
constexpr char kClassesRoot[] = "[HKEY_CLASSES_ROOT\\";
constexpr long long kTypeERegistryAccess = static_cast<int32_t>(0x8002801Cu);

constexpr char kNotElevated[] = "elevated = no\nrunas = accept\n";
constexpr char kElevated[] = "elevated = yes\n";

std::string Phone(const std::string& settings) {
  return "[adapter]\n"
         "instance_id = USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000\n"
         "guid = {6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}\n"
         "description = Remote NDIS based Internet Sharing Device\n" +
         settings;
}

const std::string kConfigured = Phone("address = 192.168.225.5\nmask = 255.255.255.0\ngateway =\n");
const std::string kWrongSettings =
    "dhcp = yes\ndhcp_address = 192.168.225.34\ndhcp_mask = 255.255.0.0\n"
    "dhcp_gateway = 192.168.225.1\naddress = 192.168.225.34\nmask = 255.255.0.0\n"
    "gateway = 192.168.225.1\n";
const std::string kWrong = Phone(kWrongSettings);

constexpr char kEnableLine[] =
    "INFO  [22521] CModifyAdapterInfo::CheckEnableAdapter: name:Net, "
    "instanceId1:USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000";
constexpr char kFoundLine[] =
    "INFO  [22521] CModifyAdapterInfo::GetAdapterInfoByDescription: 网卡1, 网卡描述：Remote NDIS "
    "based Internet Sharing Device, 网卡名称：{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}";
constexpr char kRestartLine[] =
    "INFO  [22521] CModifyAdapterInfo::ResetAdapterState: name:Net, "
    "instanceId1:USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000";

bool Repaired(const std::string& machine) {
  const std::string block = AdapterBlock(machine, kPhoneGuid);
  return block.find("address = 192.168.225.21\n") != std::string::npos &&
         block.find("mask = 255.255.255.0\n") != std::string::npos &&
         block.find("gateway = 0.0.0.0\n") != std::string::npos &&
         block.find("dhcp = no\n") != std::string::npos;
}

TEST(ProgramProcess, AConfiguredAdapterIsLeftAlone) {
  ProgramRun run(kNotElevated, kConfigured);
  EXPECT_EQ(0, run.Run({}));
  EXPECT_TRUE(run.Launches().empty());
  EXPECT_EQ(std::vector<long long>{0}, run.ExitCodes());
  const std::string log = run.Log();
  EXPECT_EQ(1u, Count(log, kEnableLine)) << log;
  EXPECT_EQ(1u, Count(log, kFoundLine)) << log;
  EXPECT_EQ(0u, Count(log, "ResetAdapterState")) << log;
  EXPECT_NE(std::string::npos,
            AdapterBlock(run.Machine(), kPhoneGuid).find("address = 192.168.225.5\n"));
}

TEST(ProgramProcess, AWrongAdapterWithoutElevationRelaunchesOnceAndTheSecondInstanceRepairs) {
  ProgramRun run(kNotElevated, kWrong);
  // The first instance ends without waiting for the second.
  EXPECT_EQ(0, run.Run({"/Embedding", "a b"}, 7));
  const std::vector<Launch> launches = run.Launches();
  ASSERT_EQ(1u, launches.size());
  EXPECT_EQ("runas", launches[0].verb);
  EXPECT_EQ("/Embedding \"a b\"", launches[0].parameters);
  EXPECT_EQ(7, launches[0].show);
  run.WaitForLaunched();

  EXPECT_EQ(1u, run.Launches().size());  // the elevated instance did not relaunch again
  EXPECT_EQ((std::vector<long long>{0, 0}), run.ExitCodes());
  EXPECT_TRUE(Repaired(run.Machine())) << run.Machine();
  const std::string log = run.Log();
  EXPECT_EQ(1u, Count(log, kRestartLine)) << log;
  EXPECT_EQ(2u, Count(log, kFoundLine)) << log;
}

TEST(ProgramProcess, ASecondInstanceDoesNotRelaunchWhileTheFirstHoldsTheMarker) {
  ProgramRun run("elevated = no\nrunas = ask\n", kWrong);
  const int first = run.Start({});
  run.AwaitPrompt();  // the first instance holds the marker while the user is asked

  // Meanwhile a second start runs to its end: no relaunch, and its word is handled.
  EXPECT_EQ(0, run.Run({"/RegServer"}));
  EXPECT_TRUE(run.Launches().empty());
  EXPECT_NE(std::string::npos, run.Machine().find(std::string(kClassesRoot) + kTypeLibKey));

  run.AnswerPrompt("accept");
  EXPECT_EQ(0, run.Wait(first));
  EXPECT_TRUE(run.WaitForLaunched());
  EXPECT_EQ(1u, run.Launches().size());
  EXPECT_EQ((std::vector<long long>{0, 0, 0}), run.ExitCodes());
  // Each process wrote back its own changes: the registration and the repair both stay.
  EXPECT_TRUE(Repaired(run.Machine())) << run.Machine();
  EXPECT_NE(std::string::npos, run.Machine().find(std::string(kClassesRoot) + kTypeLibKey));
}

TEST(ProgramProcess, ARelaunchChainHoldsOneRelaunchWhateverTheRelaunchedInstanceFinds) {
  // The relaunched instance is not elevated either: its token cannot be opened, "runas" starts
  // it unelevated (a standard user with the prompt switched off), or the system is older than
  // Vista, where no token counts as elevated. It starts its work after its parent has ended and
  // released the marker.
  for (const char* process : {"token = no\nrunas = accept\n", "elevated = no\nrunas = unelevated\n",
                              "version = 5.1\nelevated = yes\nrunas = accept\n"}) {
    SCOPED_TRACE(process);
    ProgramRun run(std::string(process) + "slow_start = yes\n", kWrong);
    EXPECT_EQ(0, run.Run({"/Embedding"}, 3));
    EXPECT_TRUE(run.WaitForLaunched());
    ASSERT_EQ(1u, run.Launches().size());
    EXPECT_EQ("/Embedding", run.Launches()[0].parameters);
    EXPECT_EQ((std::vector<long long>{0, 0}), run.ExitCodes());
    EXPECT_FALSE(Repaired(run.Machine()));
    EXPECT_EQ(0u, Count(run.Log(), "ResetAdapterState"));
  }
}

TEST(ProgramProcess, AWrongAdapterWhenElevatedIsRepairedOnceAndTheWordIsStillHandled) {
  ProgramRun run(kElevated, kWrong);
  EXPECT_EQ(0, run.Run({"/RegServer"}));
  EXPECT_TRUE(run.Launches().empty());
  EXPECT_TRUE(Repaired(run.Machine())) << run.Machine();
  EXPECT_EQ(1u, Count(run.Log(), kRestartLine)) << run.Log();
  // The repair left COM in the multithreaded apartment; the module still registered.
  EXPECT_EQ(std::vector<long long>{0}, run.ExitCodes());
  EXPECT_NE(std::string::npos, run.Machine().find(std::string(kClassesRoot) + kTypeLibKey));

  // The next start finds it configured and ends.
  EXPECT_EQ(0, run.Run({}));
  EXPECT_EQ(1u, Count(run.Log(), kRestartLine));
}

TEST(ProgramProcess, AnAbsentPhoneAlsoRelaunchesAndTheRepairOnlyLogsItsFailures) {
  ProgramRun run(kNotElevated, "[device]\ninstance_id = USB\\ROOT_HUB30\\4&1&0&0\nclass = USB\n");
  EXPECT_EQ(0, run.Run({}));
  ASSERT_EQ(1u, run.Launches().size());
  run.WaitForLaunched();
  EXPECT_EQ((std::vector<long long>{0, 0}), run.ExitCodes());
  EXPECT_EQ(1u, Count(run.Log(),
                      "ERROR [22521] CModifyAdapterInfo::ResetKaerAdapterCfg: "
                      "AdaperCfg SetIPConfig Failed!"))
      << run.Log();
}

TEST(ProgramProcess, DecliningElevationMeansNoRelaunch) {
  ProgramRun run("elevated = no\nrunas = 1223\n", kWrong);
  EXPECT_EQ(0, run.Run({}));
  EXPECT_TRUE(run.Launches().empty());
  EXPECT_EQ(std::vector<long long>{0}, run.ExitCodes());
  EXPECT_FALSE(Repaired(run.Machine()));
  EXPECT_EQ(0u, Count(run.Log(), "ResetAdapterState"));
}

// A disabled device is present (SetupDiGetClassDevs with DIGCF_PRESENT lists devices that are
// attached, enabled or not: https://learn.microsoft.com/en-us/windows/win32/api/setupapi/
// nf-setupapi-setupdigetclassdevsw), so the start-up enables the phone before it checks it.
TEST(ProgramProcess, ADisabledConfiguredPhoneIsEnabledAndLeftAlone) {
  ProgramRun run(kNotElevated, Phone("enabled = no\naddress = 192.168.225.5\n"
                                     "mask = 255.255.255.0\ngateway =\n"));
  EXPECT_EQ(0, run.Run({}));
  EXPECT_TRUE(run.Launches().empty());
  const std::string block = AdapterBlock(run.Machine(), kPhoneGuid);
  EXPECT_NE(std::string::npos, block.find("enabled = yes\n")) << block;
  EXPECT_NE(std::string::npos, block.find("address = 192.168.225.5\n")) << block;
  EXPECT_EQ(1u, Count(run.Log(), kEnableLine)) << run.Log();
  EXPECT_EQ(1u, Count(run.Log(), kFoundLine)) << run.Log();
  EXPECT_EQ(0u, Count(run.Log(), "ResetAdapterState"));
}

TEST(ProgramProcess, ADisabledMisconfiguredPhoneIsEnabledAndRepaired) {
  ProgramRun run(kElevated, Phone("enabled = no\n" + kWrongSettings));
  EXPECT_EQ(0, run.Run({}));
  EXPECT_TRUE(run.Launches().empty());
  EXPECT_TRUE(Repaired(run.Machine())) << run.Machine();
  EXPECT_NE(std::string::npos, AdapterBlock(run.Machine(), kPhoneGuid).find("enabled = yes\n"));
  EXPECT_EQ(1u, Count(run.Log(), kEnableLine)) << run.Log();
  EXPECT_EQ(1u, Count(run.Log(), kRestartLine)) << run.Log();
}

TEST(ProgramProcess, UnderTheSystemProfileTheLogGoesToTheUsersPersonalFolder) {
  // The shell answers the system profile's documents folder; the current user's "Personal"
  // shell folder takes its place.
  kuvo_test::TempFolder user;
  const std::string personal = user.narrow() + "/My Documents";
  ProgramRun run(kNotElevated,
                 kConfigured +
                     "\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                     "Explorer\\Shell Folders]\n\"Personal\"=sz:\"" +
                     personal + "\"\n");
  run.set_documents(run.run_folder() + "/config/systemprofile/Documents");
  EXPECT_EQ(0, run.Run({}));
  EXPECT_EQ(1u, Count(run.Log(personal), kFoundLine)) << run.Log(personal);
  EXPECT_TRUE(run.Log().empty());
}

// The program runs with administrator rights: a logging library in the working folder or on the
// library path is never loaded, only one beside the program.
TEST(ProgramProcess, AKuvotraceOutsideTheProgramsFolderIsNotLoaded) {
  namespace fs = std::filesystem;
  const fs::path bin = fs::path(KUVO_ASSIST_PROGRAM).parent_path();
  kuvo_test::TempFolder program_folder;
  kuvo_test::TempFolder planted;
  fs::copy_file(KUVO_ASSIST_PROGRAM, program_folder.path() / "KuvoAssist");
  fs::copy_file(bin / "libkuvo_platform.so", program_folder.path() / "libkuvo_platform.so");
  fs::copy_file(bin / "libKuvotrace.so", planted.path() / "libKuvotrace.so");

  ProgramRun run(kNotElevated, kConfigured);
  run.set_program((program_folder.path() / "KuvoAssist").string());
  run.set_working_folder(planted.narrow());
  run.add_environment("LD_LIBRARY_PATH=" + planted.narrow());
  EXPECT_EQ(0, run.Run({"/RegServer"}));
  EXPECT_TRUE(run.Log().empty()) << run.Log();  // silent, and the run went on
  EXPECT_NE(std::string::npos, run.Machine().find(std::string(kClassesRoot) + kTypeLibKey));

  // Beside the program it is loaded.
  fs::copy_file(bin / "libKuvotrace.so", program_folder.path() / "libKuvotrace.so");
  EXPECT_EQ(0, run.Run({}));
  EXPECT_EQ(1u, Count(run.Log(), kFoundLine)) << run.Log();
}

TEST(ProgramProcess, RegistrationWordsWithEitherPrefixAndAnyCase) {
  ProgramRun run(kNotElevated, kConfigured);
  const std::string machine_wide = std::string(kClassesRoot) + kTypeLibKey;
  const std::string per_user = std::string(kUserClasses) + kTypeLibKey;

  EXPECT_EQ(0, run.Run({"-regserver"}));
  EXPECT_NE(std::string::npos, run.Machine().find(machine_wide));
  EXPECT_NE(std::string::npos, run.Machine().find("@=sz:\"KuvoAssistLibW\""));
  EXPECT_EQ(std::string::npos, run.Machine().find(per_user));
  EXPECT_EQ(0, run.Run({"/UNREGSERVER"}));
  EXPECT_EQ(std::string::npos, run.Machine().find(machine_wide));

  EXPECT_EQ(0, run.Run({"/RegServerPerUser"}));
  EXPECT_NE(std::string::npos, run.Machine().find(per_user));
  EXPECT_EQ(std::string::npos, run.Machine().find(machine_wide));
  EXPECT_EQ(0, run.Run({"-unregSERVERperUSER"}));
  EXPECT_EQ(std::string::npos, run.Machine().find(per_user));

  // Removing what is not registered fails with the type library's answer.
  EXPECT_NE(0, run.Run({"-UnregServer"}));
  EXPECT_EQ(kTypeERegistryAccess, run.ExitCodes().back());
  EXPECT_TRUE(run.Launches().empty());
}

TEST(ProgramProcess, LongerWordsAndWordsWithoutPrefixDoNothing) {
  ProgramRun run(kNotElevated, kConfigured);
  EXPECT_EQ(0, run.Run({"/RegServerNow"}));
  EXPECT_EQ(0, run.Run({"RegServer"}));
  EXPECT_EQ(0, run.Run({"-RegServerPerUserX", "UnregServer"}));
  EXPECT_EQ(std::string::npos, run.Machine().find("TypeLib"));
  EXPECT_EQ((std::vector<long long>{0, 0, 0}), run.ExitCodes());
}

TEST(EmulatedProcessEvents, ANameExistsWhileSomeHandleIsOpen) {
  kuvo_test::TempFolder folder;
  auto first = std::make_unique<platform::EmulatedProcess>(
      platform::ProcessScenario{}, folder.narrow(), "a", std::vector<std::string>{});
  platform::EmulatedProcess second({}, folder.narrow(), "b", {});
  ASSERT_NE(nullptr, first->CreateNamedEvent(false, false, L"{X}"));
  EXPECT_EQ(platform::kErrorSuccess, first->LastErrorCode());
  ASSERT_NE(nullptr, second.CreateNamedEvent(false, false, L"{X}"));
  EXPECT_EQ(platform::kErrorAlreadyExists, second.LastErrorCode());
  first.reset();  // the second handle keeps the event
  platform::EmulatedProcess third({}, folder.narrow(), "c", {});
  third.CreateNamedEvent(false, false, L"{X}");
  EXPECT_EQ(platform::kErrorAlreadyExists, third.LastErrorCode());
  third.CreateNamedEvent(false, false, L"{Y}");
  EXPECT_EQ(platform::kErrorSuccess, third.LastErrorCode());
}

TEST(EmulatedProcessEvents, NoRunFolderNoEvent) {
  platform::EmulatedProcess process({}, "", "a", {});
  EXPECT_EQ(nullptr, process.CreateNamedEvent(false, false, L"{X}"));
  EXPECT_EQ(platform::kErrorPathNotFound, process.LastErrorCode());
}

TEST(EmulatedProcessScenario, CommandLinesSplitAndJoinAsWindowsDoes) {
  const std::vector<std::string> arguments = {"/RegServer", "a b", "say \"hi\"",
                                              "C:\\x\\",    "",    "tail\\\\"};
  EXPECT_EQ(arguments, platform::SplitCommandLine(platform::JoinCommandLine(arguments)));
  EXPECT_EQ((std::vector<std::string>{"a\\\\b", "c\"d", "e f"}),
            platform::SplitCommandLine("a\\\\b c\\\"d \"e f\""));
  EXPECT_TRUE(platform::SplitCommandLine(" \t ").empty());
}

TEST(EmulatedProcessScenario, TheProcessSectionIsTakenOut) {
  platform::ProcessScenario process;
  std::string rest, error;
  ASSERT_TRUE(platform::SplitProcessScenario(
      "[network]\nhost_name = A\n[process]\nversion = 10.0\nelevated = yes\nrunas = 1223\n"
      "[device]\nclass = USB\n",
      &process, &rest, &error))
      << error;
  EXPECT_EQ(0x000Au, process.version);
  EXPECT_TRUE(process.elevated);
  EXPECT_FALSE(process.runas_accepted);
  EXPECT_EQ(1223u, process.runas_error);
  EXPECT_EQ("[network]\nhost_name = A\n[device]\nclass = USB\n", rest);
  for (const char* bad :
       {"[process]\nversion = 6\n", "[process]\nversion = 300.1\n", "[process]\nrunas = maybe\n",
        "[process]\nwho = me\n", "[process]\nelevated\n"}) {
    EXPECT_FALSE(platform::SplitProcessScenario(bad, &process, &rest, &error)) << bad;
  }
}

}  // namespace
}  // namespace assist_test
