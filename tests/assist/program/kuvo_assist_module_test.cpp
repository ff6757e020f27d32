#include "kuvo_assist_module.h"

#include <gtest/gtest.h>

#include "fake_services.h"

namespace assist {
namespace {

using assist_test::FakeComModule;
using assist_test::FakeProcess;
using Calls = std::vector<std::string>;

constexpr char kScript[] = "resource:REGISTRY:101";

int RunModule(FakeComModule* com, FakeProcess* process, const std::wstring& arguments) {
  process->command_line = L"\"" + process->path + L"\" " + arguments;
  CKuvoAssistModule module(com, process);
  return module.WinMain(1);
}

TEST(KuvoAssistModule, WithoutCommandWordItEndsAtOnceWithZero) {
  FakeComModule com;
  FakeProcess process;
  EXPECT_EQ(0, RunModule(&com, &process, L"RegServer /other"));
  EXPECT_EQ((Calls{"lock", "init:sta", "uninit"}), com.calls);
}

TEST(KuvoAssistModule, ItsOwnInitialisationFailureIsMinusOne) {
  FakeComModule com;
  FakeProcess process;
  com.lock_succeeds = false;
  EXPECT_EQ(-1, RunModule(&com, &process, L"/RegServer"));
  EXPECT_EQ(Calls{"lock"}, com.calls);
}

TEST(KuvoAssistModule, AComFailureIsTheExitCode) {
  FakeComModule com;
  FakeProcess process;
  com.init_result = platform::kEOutOfMemory;
  EXPECT_EQ(platform::kEOutOfMemory, RunModule(&com, &process, L"/RegServer"));
  EXPECT_EQ((Calls{"lock", "init:sta"}), com.calls);
}

TEST(KuvoAssistModule, AThreadInTheMultithreadedApartmentStillHandlesItsWords) {
  FakeComModule com;
  FakeProcess process;
  com.init_result = platform::kRpcEChangedMode;
  EXPECT_EQ(0, RunModule(&com, &process, L"/RegServer"));
  // The module did not initialise COM, so it does not uninitialise it either.
  EXPECT_EQ((Calls{"lock", "init:sta", kScript, "typelib:register"}), com.calls);
}

TEST(KuvoAssistModule, RegServerRunsTheScriptThenRegistersTheTypeLibrary) {
  FakeComModule com;
  FakeProcess process;
  com.init_result = platform::kSFalse;  // already initialised: still undone once
  EXPECT_EQ(0, RunModule(&com, &process, L"/RegServer"));
  EXPECT_EQ((Calls{"lock", "init:sta", kScript, "typelib:register", "uninit"}), com.calls);
  EXPECT_EQ(std::vector<std::wstring>{process.path}, com.paths);
}

TEST(KuvoAssistModule, UnregServerUnregistersTheTypeLibraryThenRunsTheScript) {
  FakeComModule com;
  FakeProcess process;
  EXPECT_EQ(0, RunModule(&com, &process, L"-unregserver"));
  EXPECT_EQ((Calls{"lock", "init:sta", "typelib:unregister", kScript, "uninit"}), com.calls);
}

TEST(KuvoAssistModule, PerUserWordsUseThePerUserRegistration) {
  FakeComModule com;
  FakeProcess process;
  EXPECT_EQ(0, RunModule(&com, &process, L"/RegServerPerUser"));
  EXPECT_EQ((Calls{"lock", "init:sta", kScript, "typelib:register:user", "uninit"}), com.calls);
  com.calls.clear();
  EXPECT_EQ(0, RunModule(&com, &process, L"/UnregServerPerUser"));
  EXPECT_EQ((Calls{"lock", "init:sta", "typelib:unregister:user", kScript, "uninit"}), com.calls);
}

TEST(KuvoAssistModule, TheFirstFailingHresultIsTheExitCode) {
  FakeComModule com;
  FakeProcess process;
  com.unregister_result = platform::kTypeERegistryAccess;
  EXPECT_EQ(platform::kTypeERegistryAccess, RunModule(&com, &process, L"/UnregServer"));
  EXPECT_EQ((Calls{"lock", "init:sta", "typelib:unregister", "uninit"}), com.calls);

  com.calls.clear();
  com.has_script = false;  // no script resource: the type library is not registered
  EXPECT_EQ(platform::kDispEException, RunModule(&com, &process, L"/RegServer"));
  EXPECT_EQ((Calls{"lock", "init:sta", kScript, "uninit"}), com.calls);

  com.calls.clear();
  com.has_script = true;
  com.register_result = platform::kEFail;
  EXPECT_EQ(platform::kEFail, RunModule(&com, &process, L"/RegServer"));

  com.calls.clear();
  com.script = "HKCR {";  // a script that cannot be parsed
  EXPECT_EQ(platform::kDispEException, RunModule(&com, &process, L"/RegServer"));
}

TEST(KuvoAssistModule, DelayedShutdownIsTurnedOffWhenNothingIsRegistered) {
  FakeComModule com;
  FakeProcess process;
  process.command_line = L"KuvoAssist.exe";
  CKuvoAssistModule module(&com, &process);
  EXPECT_EQ(4242u, module.settings().main_thread_id);
  EXPECT_TRUE(module.settings().delay_shutdown);
  EXPECT_EQ(5000u, module.settings().shutdown_timeout_ms);
  EXPECT_EQ(1000u, module.settings().pause_ms);
  EXPECT_EQ(0, module.WinMain(1));
  EXPECT_FALSE(module.settings().delay_shutdown);
  EXPECT_FALSE(module.settings().com_initialized);
}

}  // namespace
}  // namespace assist
