// The registrar over the process's emulated registry.
#include "registry_script.h"

#include <gtest/gtest.h>

#include "platform/com_module_services.h"
#include "platform/testing/fault_plan.h"
#include "platform/testing/registry_emulation.h"

namespace assist {
namespace {

using platform::RegistryRoot;

constexpr wchar_t kModuleScript[] = L"HKCR\r\n{\r\n}\r\n";

class RegistryScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetRegistryForTesting(); }
  void TearDown() override {
    EXPECT_EQ(0u, platform::OpenRegistryHandleCountForTesting());
    platform::ResetRegistryForTesting();
  }
  static std::wstring Text(RegistryRoot root, const std::wstring& path, const std::wstring& name) {
    std::wstring text;
    return platform::ReadRegistryStringForTesting(root, path, name, &text) ? text : L"<none>";
  }
};

TEST_F(RegistryScriptTest, TheModuleScriptCreatesAndRemovesNothing) {
  const std::string before = platform::DumpRegistryForTesting();
  EXPECT_EQ(platform::kSOk, RunRegistryScript(kModuleScript, {}, true, false));
  EXPECT_EQ(platform::kSOk, RunRegistryScript(kModuleScript, {}, false, false));
  EXPECT_EQ(before, platform::DumpRegistryForTesting());
  // Per user only the classes key of the user appears.
  EXPECT_EQ(platform::kSOk, RunRegistryScript(kModuleScript, {}, true, true));
  EXPECT_TRUE(
      platform::RegistryKeyExistsForTesting(RegistryRoot::kCurrentUser, L"Software\\Classes"));
}

constexpr wchar_t kScript[] =
    L"HKCR\n"
    L"{\n"
    L"  NoRemove AppID\n"
    L"  {\n"
    L"    '%APPID%' = s 'KuvoAssist'\n"
    L"    {\n"
    L"      val RunAs = s 'Interactive User'\n"
    L"      val Count = d 42\n"
    L"    }\n"
    L"    'KuvoAssist.exe'\n"
    L"    {\n"
    L"      val AppID = s '%APPID%'\n"
    L"    }\n"
    L"  }\n"
    L"  ForceRemove Kuvo.Assist = s 'It''s %Module%'\n"
    L"}\n";

const ScriptReplacements kReplacements = {
    {L"APPID", L"{CE03B2EF-4500-4B5A-928F-3B9C7AEB1D8A}"},
    {L"Module", L"C:\\Kuvo\\KuvoAssist.exe"},
};

TEST_F(RegistryScriptTest, RegistrationWritesKeysValuesAndReplacements) {
  platform::SeedRegistryStringForTesting(RegistryRoot::kClassesRoot, L"Kuvo.Assist\\Old", L"",
                                         L"stale");
  ASSERT_EQ(platform::kSOk, RunRegistryScript(kScript, kReplacements, true, false));
  const std::wstring app = L"AppID\\{CE03B2EF-4500-4B5A-928F-3B9C7AEB1D8A}";
  EXPECT_EQ(L"KuvoAssist", Text(RegistryRoot::kClassesRoot, app, L""));
  EXPECT_EQ(L"Interactive User", Text(RegistryRoot::kClassesRoot, app, L"RunAs"));
  uint32_t count = 0;
  EXPECT_TRUE(
      platform::ReadRegistryDwordForTesting(RegistryRoot::kClassesRoot, app, L"Count", &count));
  EXPECT_EQ(42u, count);
  EXPECT_EQ(L"{CE03B2EF-4500-4B5A-928F-3B9C7AEB1D8A}",
            Text(RegistryRoot::kClassesRoot, L"AppID\\KuvoAssist.exe", L"AppID"));
  EXPECT_EQ(L"It's C:\\Kuvo\\KuvoAssist.exe",
            Text(RegistryRoot::kClassesRoot, L"Kuvo.Assist", L""));
  // ForceRemove cleared the key before writing it.
  EXPECT_FALSE(
      platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"Kuvo.Assist\\Old"));
}

TEST_F(RegistryScriptTest, RemovalKeepsNoRemoveKeysAndDeletesTheRest) {
  platform::SeedRegistryStringForTesting(RegistryRoot::kClassesRoot, L"AppID\\{Other}", L"",
                                         L"someone else's");
  ASSERT_EQ(platform::kSOk, RunRegistryScript(kScript, kReplacements, true, false));
  ASSERT_EQ(platform::kSOk, RunRegistryScript(kScript, kReplacements, false, false));
  EXPECT_TRUE(platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"AppID"));
  EXPECT_TRUE(platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"AppID\\{Other}"));
  EXPECT_FALSE(platform::RegistryKeyExistsForTesting(
      RegistryRoot::kClassesRoot, L"AppID\\{CE03B2EF-4500-4B5A-928F-3B9C7AEB1D8A}"));
  EXPECT_FALSE(
      platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"AppID\\KuvoAssist.exe"));
  EXPECT_FALSE(platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"Kuvo.Assist"));
  // Removing again finds nothing to remove and is no failure.
  EXPECT_EQ(platform::kSOk, RunRegistryScript(kScript, kReplacements, false, false));
}

TEST_F(RegistryScriptTest, PerUserTheClassesRootIsTheUsersClassesKey) {
  ASSERT_EQ(platform::kSOk, RunRegistryScript(kScript, kReplacements, true, true));
  EXPECT_FALSE(platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"Kuvo.Assist"));
  EXPECT_EQ(L"It's C:\\Kuvo\\KuvoAssist.exe",
            Text(RegistryRoot::kCurrentUser, L"Software\\Classes\\Kuvo.Assist", L""));
  ASSERT_EQ(platform::kSOk, RunRegistryScript(kScript, kReplacements, false, true));
  EXPECT_FALSE(platform::RegistryKeyExistsForTesting(RegistryRoot::kCurrentUser,
                                                     L"Software\\Classes\\Kuvo.Assist"));
}

TEST_F(RegistryScriptTest, MalformedScriptsChangeNothing) {
  const wchar_t* const kBad[] = {
      L"HKCR {",                                // not closed
      L"HKCR { }}",                             // closed twice
      L"HKXX { }",                              // unknown root
      L"HKCR { 'open }",                        // unterminated text
      L"HKCR { K = s }",                        // value without data
      L"HKCR { K = x 'y' }",                    // unknown type
      L"HKCR { K { val N = d 99999999999 } }",  // beyond 32 bits
      L"HKCR { K { val N = d -1 } }",
      L"HKCR { val N = s 'v' }",  // a value outside a key
      L"HKCR { '%Unknown%' }",    // a replacement that was not given
      L"HKCR { '%APPID }",        // an unterminated replacement
      L"HKCR { NoRemove { } }",   // a flag without a key name
      L"HKCR { '' }",             // an empty key name
  };
  for (const wchar_t* script : kBad) {
    EXPECT_EQ(platform::kDispEException, RunRegistryScript(script, kReplacements, true, false))
        << std::string(script, script + std::wcslen(script));
  }
  EXPECT_FALSE(platform::RegistryKeyExistsForTesting(RegistryRoot::kClassesRoot, L"K"));
}

TEST_F(RegistryScriptTest, ARefusedWriteIsTheResult) {
  platform::SeedRegistryKeyForTesting(RegistryRoot::kClassesRoot, L"Locked");
  platform::DenyRegistryWriteForTesting(RegistryRoot::kClassesRoot, L"Locked", true);
  EXPECT_EQ(platform::HResultFromWin32(platform::kErrorAccessDenied),
            RunRegistryScript(L"HKCR { Locked { Inner } }", {}, true, false));
}

// Each registry call of a registration failed in turn is the result, and no key stays open.
TEST_F(RegistryScriptTest, EachFailedRegistryCallIsTheResult) {
  constexpr wchar_t kTreeScript[] = L"HKCU { ForceRemove K = s 'v' { Sub { val N = d 1 } } }";
  platform::ScopedFaultPlan plan;
  ASSERT_EQ(platform::kSOk, RunRegistryScript(kTreeScript, {}, true, false));
  const size_t calls = plan.calls();
  EXPECT_EQ(plan.CountOf("RegCreateKeyExW"), 2u);
  for (size_t number = 1; number <= calls; ++number) {
    plan.Reset();
    plan.FailCallNumber(number, 1000 + static_cast<uint32_t>(number));
    EXPECT_EQ(platform::HResultFromWin32(1000 + static_cast<uint32_t>(number)),
              RunRegistryScript(kTreeScript, {}, true, false))
        << "call " << number << ": " << plan.failed_call();
    EXPECT_EQ(0u, platform::OpenRegistryHandleCountForTesting()) << plan.failed_call();
  }
}

TEST_F(RegistryScriptTest, PercentPercentIsAPercentSign) {
  ASSERT_EQ(platform::kSOk, RunRegistryScript(L"HKCU { K = s '100%%' }", {}, true, false));
  EXPECT_EQ(L"100%", Text(RegistryRoot::kCurrentUser, L"K", L""));
}

}  // namespace
}  // namespace assist
