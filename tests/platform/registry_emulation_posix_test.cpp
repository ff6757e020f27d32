// The in-memory registry of POSIX builds: seeding, scenarios, read-only keys and bookkeeping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"
#include "platform/registry_data.h"
#include "platform/testing/registry_emulation.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace platform {
namespace {

using kuvo_test::ScopedEnvironment;
using kuvo_test::TempFolder;

constexpr RegistryRoot kLm = RegistryRoot::kLocalMachine;
const wchar_t kInterface[] = L"SYSTEM\\Tcpip\\Interfaces\\{1234}";

class RegistryEmulationTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRegistryForTesting(); }
  void TearDown() override { ResetRegistryForTesting(); }

  static RegistryKey Open(const wchar_t* path, uint32_t access) {
    RegistryKey key = nullptr;
    EXPECT_EQ(kErrorSuccess, OpenRegistryKey(RootKey(kLm), path, access, &key));
    return key;
  }
};

TEST_F(RegistryEmulationTest, SeededValuesAreSeenThroughTheSeam) {
  SeedRegistryStringForTesting(kLm, kInterface, L"NameServer", L"");
  SeedRegistryDwordForTesting(kLm, kInterface, L"EnableDHCP", 1);
  SeedRegistryMultiStringForTesting(kLm, kInterface, L"IPAddress", {L"10.1.2.3"});

  RegistryKey key = Open(kInterface, kKeyRead);
  uint32_t type = kRegNone;
  uint8_t data[64];
  uint32_t size = 2;  // too small for anything but the empty string's terminator
  EXPECT_EQ(kErrorMoreData, QueryRegistryValue(key, L"IPAddress", &type, data, &size));
  EXPECT_EQ(kRegMultiSz, type);
  EXPECT_EQ(EncodeRegistryMultiString({L"10.1.2.3"}).size(), size);
  size = sizeof(data);
  ASSERT_EQ(kErrorSuccess, QueryRegistryValue(key, L"EnableDHCP", &type, data, &size));
  uint32_t dword = 0;
  EXPECT_TRUE(DecodeRegistryDword(data, size, &dword));
  EXPECT_EQ(1u, dword);
  CloseRegistryKey(key);
  EXPECT_TRUE(RegistryKeyExistsForTesting(kLm, L"system\\TCPIP"));
}

TEST_F(RegistryEmulationTest, WritesThroughTheSeamReadBackForTesting) {
  SeedRegistryKeyForTesting(kLm, kInterface);
  RegistryKey key = Open(kInterface, kKeyAllAccess);
  const std::vector<uint8_t> metric = EncodeRegistryDword(9999);
  const std::vector<uint8_t> mask = EncodeRegistryMultiString({L"255.255.255.0"});
  ASSERT_EQ(kErrorSuccess, SetRegistryValue(key, L"InterfaceMetric", kRegDword, metric.data(), 4));
  ASSERT_EQ(kErrorSuccess, SetRegistryValue(key, L"SubnetMask", kRegMultiSz, mask.data(),
                                            static_cast<uint32_t>(mask.size())));
  EXPECT_EQ(0u, RegistryFlushCountForTesting());
  ASSERT_EQ(kErrorSuccess, FlushRegistryKey(key));
  EXPECT_EQ(1u, RegistryFlushCountForTesting());
  EXPECT_EQ(1u, OpenRegistryHandleCountForTesting());
  CloseRegistryKey(key);
  EXPECT_EQ(0u, OpenRegistryHandleCountForTesting());

  uint32_t value = 0;
  ASSERT_TRUE(ReadRegistryDwordForTesting(kLm, kInterface, L"InterfaceMetric", &value));
  EXPECT_EQ(9999u, value);
  std::vector<std::wstring> texts;
  ASSERT_TRUE(ReadRegistryMultiStringForTesting(kLm, kInterface, L"subnetmask", &texts));
  EXPECT_EQ(std::vector<std::wstring>{L"255.255.255.0"}, texts);
  std::wstring text;
  EXPECT_FALSE(ReadRegistryStringForTesting(kLm, kInterface, L"SubnetMask", &text));  // a list
}

TEST_F(RegistryEmulationTest, AReadOnlyKeyRefusesWriteAccess) {
  SeedRegistryStringForTesting(kLm, kInterface, L"IPAddress", L"x");
  DenyRegistryWriteForTesting(kLm, kInterface, true);
  RegistryKey key = nullptr;
  EXPECT_EQ(kErrorAccessDenied, OpenRegistryKey(RootKey(kLm), kInterface, kKeyAllAccess, &key));
  EXPECT_EQ(kErrorAccessDenied,
            CreateRegistryKey(RootKey(kLm), (std::wstring(kInterface) + L"\\Sub").c_str(), kKeyRead,
                              &key, nullptr));
  key = Open(kInterface, kKeyRead);  // reading stays possible
  CloseRegistryKey(key);
  DenyRegistryWriteForTesting(kLm, kInterface, false);
  key = Open(kInterface, kKeyAllAccess);
  CloseRegistryKey(key);
}

TEST_F(RegistryEmulationTest, ATreeDeleteStopsAtAReadOnlyKeyAsWindowsDoes) {
  // Tree\a\leaf, Tree\b (read-only, one value, one sub-key), Tree\c. Windows deletes depth
  // first, always the first sub-key left, and a key without DELETE right stops it there.
  SeedRegistryKeyForTesting(kLm, L"Tree\\a\\leaf");
  SeedRegistryKeyForTesting(kLm, L"Tree\\b\\below");
  SeedRegistryKeyForTesting(kLm, L"Tree\\c");
  SeedRegistryStringForTesting(kLm, L"Tree\\b", L"Kept", L"yes");
  DenyRegistryWriteForTesting(kLm, L"Tree\\b", true);
  RegistryKey open_below = Open(L"Tree\\b\\below", kKeyRead);

  EXPECT_EQ(kErrorAccessDenied, DeleteRegistryTree(RootKey(kLm), L"Tree"));
  EXPECT_FALSE(RegistryKeyExistsForTesting(kLm, L"Tree\\a"));
  EXPECT_FALSE(RegistryKeyExistsForTesting(kLm, L"Tree\\b\\below"));
  uint32_t size = 0;
  EXPECT_EQ(kErrorKeyDeleted, QueryRegistryValue(open_below, L"x", nullptr, nullptr, &size));
  CloseRegistryKey(open_below);
  std::wstring text;
  EXPECT_TRUE(ReadRegistryStringForTesting(kLm, L"Tree\\b", L"Kept", &text));
  EXPECT_EQ(L"yes", text);
  EXPECT_TRUE(RegistryKeyExistsForTesting(kLm, L"Tree\\c"));
  RegistryKey tree = Open(L"Tree", kKeyRead);  // still there, and not marked deleted
  EXPECT_EQ(kErrorFileNotFound, QueryRegistryValue(tree, L"x", nullptr, nullptr, &size));
  CloseRegistryKey(tree);

  EXPECT_EQ(kErrorAccessDenied, DeleteRegistryTree(RootKey(kLm), L"Tree\\b"));
  DenyRegistryWriteForTesting(kLm, L"Tree\\b", false);
  EXPECT_EQ(kErrorSuccess, DeleteRegistryTree(RootKey(kLm), L"Tree"));
  EXPECT_FALSE(RegistryKeyExistsForTesting(kLm, L"Tree"));
}

TEST_F(RegistryEmulationTest, BadHandlesAndPaths) {
  RegistryKey key = Open(L"", kKeyRead);  // a new handle to the root itself
  EXPECT_EQ(kErrorSuccess, CloseRegistryKey(key));
  uint32_t size = 0;
  EXPECT_EQ(kErrorInvalidHandle, QueryRegistryValue(key, L"x", nullptr, nullptr, &size));
  EXPECT_EQ(kErrorInvalidHandle, CloseRegistryKey(key));
  EXPECT_EQ(kErrorBadPathname, OpenRegistryKey(RootKey(kLm), L"\\SYSTEM", kKeyRead, &key));
  const std::wstring long_name(kMaxKeyNameLength + 1, L'k');
  EXPECT_EQ(kErrorInvalidParameter,
            CreateRegistryKey(RootKey(kLm), long_name.c_str(), kKeyAllAccess, &key, nullptr));
  key = Open(nullptr, kKeyQueryValue);  // no right to enumerate
  wchar_t name[8];
  uint32_t length = 8;
  EXPECT_EQ(kErrorAccessDenied, EnumRegistryKey(key, 0, name, &length));
  CloseRegistryKey(key);
}

TEST_F(RegistryEmulationTest, ScenarioTextAndDumpRoundTrip) {
  std::string error;
  ASSERT_TRUE(LoadRegistryScenarioForTesting(
      "[HKLM\\SYSTEM\\Class\\0001\\Ndi\\Interfaces]\n"
      "\"LowerRange\"=sz:\"ndis5,ethernet\"\n"
      "[HKLM\\SYSTEM\\Class\\0001]\n"
      "\"DriverDesc\"=sz:\"Remote NDIS based Internet Sharing Device\"\n"
      "!deny-write\n",
      &error))
      << error;
  std::wstring text;
  ASSERT_TRUE(ReadRegistryStringForTesting(kLm, L"SYSTEM\\Class\\0001\\Ndi\\Interfaces",
                                           L"LowerRange", &text));
  EXPECT_EQ(L"ndis5,ethernet", text);

  const std::string dump = DumpRegistryForTesting();
  ResetRegistryForTesting();
  EXPECT_FALSE(RegistryKeyExistsForTesting(kLm, L"SYSTEM"));
  ASSERT_TRUE(LoadRegistryScenarioForTesting(dump, &error)) << error << "\n" << dump;
  EXPECT_EQ(dump, DumpRegistryForTesting());
  RegistryKey key = nullptr;
  EXPECT_EQ(kErrorAccessDenied,
            OpenRegistryKey(RootKey(kLm), L"SYSTEM\\Class\\0001", kKeyWrite, &key));
}

TEST_F(RegistryEmulationTest, AFailedScenarioAddsNothing) {
  std::string error;
  EXPECT_FALSE(LoadRegistryScenarioForTesting("[HKLM\\A]\n\"V\"=dword:1\n\"W\"=bogus:1\n", &error));
  EXPECT_EQ("line 3: unknown value type \"bogus\"", error);
  EXPECT_FALSE(RegistryKeyExistsForTesting(kLm, L"A"));
}

TEST_F(RegistryEmulationTest, TheScenarioFileNamedByTheEnvironmentIsLoaded) {
  TempFolder folder;
  const std::string file = folder.narrow() + "/scenario.reg";
  std::ofstream(file) << "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                         "Explorer\\Shell Folders]\n"
                         "\"Personal\"=sz:\"/home/user/Documents\"\n";
  SeedRegistryKeyForTesting(kLm, L"Leftover");
  ScopedEnvironment environment;
  environment.Set("KUVO_REGISTRY_SCENARIO", file);
  std::string error;
  ASSERT_TRUE(ReloadRegistryFromEnvironmentForTesting(&error)) << error;
  EXPECT_FALSE(RegistryKeyExistsForTesting(kLm, L"Leftover"));
  std::wstring text;
  ASSERT_TRUE(ReadRegistryStringForTesting(
      RegistryRoot::kCurrentUser,
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"Personal",
      &text));
  EXPECT_EQ(L"/home/user/Documents", text);

  EXPECT_TRUE(LoadRegistryScenarioFileForTesting(file, &error)) << error;
  environment.Set("KUVO_REGISTRY_SCENARIO", folder.narrow() + "/missing.reg");
  EXPECT_FALSE(ReloadRegistryFromEnvironmentForTesting(&error));
  EXPECT_NE(std::string::npos, error.find("missing.reg: cannot read the file")) << error;
}

// Runs the probe program with KUVO_REGISTRY_SCENARIO set to `scenario`; its exit status, output
// and error output.
struct ProbeRun {
  int status = -1;
  std::string out;
  std::string err;
};
ProbeRun RunProbe(const TempFolder& folder, const std::string& scenario) {
  const std::string base = folder.narrow() + "/probe";
  const std::string command = "KUVO_REGISTRY_SCENARIO='" + scenario +
                              "' '" KUVO_REGISTRY_PROBE "' >'" + base + ".out' 2>'" + base +
                              ".err'; echo $? >'" + base + ".status'";
  ProbeRun run;
  if (std::system(command.c_str()) != 0) return run;
  const auto read = [](const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  };
  run.status = std::atoi(read(base + ".status").c_str());
  run.out = read(base + ".out");
  run.err = read(base + ".err");
  return run;
}

TEST(RegistryScenarioStartTest, AScenarioThatCannotBeLoadedStopsTheProcessAtTheFirstCall) {
  TempFolder folder;
  const std::string good = folder.narrow() + "/good.reg";
  std::ofstream(good) << "[HKLM\\Probe]\n\"V\"=dword:7\n";
  ProbeRun run = RunProbe(folder, good);
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ("V=7\n", run.out);

  const std::string broken = folder.narrow() + "/broken.reg";
  std::ofstream(broken) << "[HKLM\\Probe]\n\"V\"=dword:7\n\"W\"=bogus:1\n";
  run = RunProbe(folder, broken);
  EXPECT_EQ(3, run.status);
  EXPECT_EQ("", run.out) << "went on with an empty registry";
  EXPECT_EQ("registry scenario " + broken + ": line 3: unknown value type \"bogus\"; stopping\n",
            run.err);

  run = RunProbe(folder, folder.narrow() + "/missing.reg");
  EXPECT_EQ(3, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_NE(std::string::npos, run.err.find("missing.reg: cannot read the file")) << run.err;
}

}  // namespace
}  // namespace platform
