// The emulation's own rules: scripted icons, failed calls, overrides, threads that end.
#include <gtest/gtest.h>

#include <thread>

#include "platform/system.h"
#include "platform/testing/fault_plan.h"
#include "platform/testing/system_override.h"
#include "platform/testing/window_emulation.h"
#include "platform/windowing.h"

namespace {

platform::MessageResult PLATFORM_WINAPI Plain(platform::WindowHandle window, uint32_t message,
                                              platform::MessageWParam wparam,
                                              platform::MessageLParam lparam) {
  return platform::CurrentWindows().DefaultProcedure(window, message, wparam, lparam);
}

void RegisterPlain() {
  platform::WindowClass window_class;
  window_class.name = L"KuvoEmulationTest";
  window_class.procedure = &Plain;
  platform::CurrentWindows().RegisterWindowClass(window_class);
}

TEST(WindowEmulationTest, MainExecutableIconsAreTheScriptedOnes) {
  platform::Windows& windows = platform::CurrentWindows();
  platform::SetMainExecutableIconsForTesting({});
  EXPECT_EQ(windows.LoadMainExecutableIcon(6000, true), nullptr);
  platform::SetMainExecutableIconsForTesting({6000});
  platform::IconHandle big = windows.LoadMainExecutableIcon(6000, true);
  platform::IconHandle small = windows.LoadMainExecutableIcon(6000, false);
  uint32_t id = 0;
  bool is_big = false;
  ASSERT_TRUE(platform::DescribeIconForTesting(big, &id, &is_big));
  EXPECT_EQ(id, 6000u);
  EXPECT_TRUE(is_big);
  ASSERT_TRUE(platform::DescribeIconForTesting(small, &id, &is_big));
  EXPECT_FALSE(is_big);
  EXPECT_EQ(windows.LoadMainExecutableIcon(6001, true), nullptr);
  platform::SetMainExecutableIconsForTesting({});
}

TEST(WindowEmulationTest, FaultPlanFailsTheNamedAndTheNumberedCalls) {
  RegisterPlain();
  platform::Windows& windows = platform::CurrentWindows();
  platform::ScopedFaultPlan plan;
  plan.FailEveryCallNamed("CreateWindowExW");
  EXPECT_EQ(windows.CreateTopLevelWindow(L"KuvoEmulationTest", L"x", 0), nullptr);
  plan.FailCallNumber(3);
  platform::SetMainExecutableIconsForTesting({1});
  EXPECT_NE(windows.LoadMainExecutableIcon(1, true), nullptr);  // call 2
  EXPECT_EQ(windows.LoadMainExecutableIcon(1, true), nullptr);  // call 3
  EXPECT_EQ(plan.log(), (std::vector<std::string>{"CreateWindowExW", "LoadImageW", "LoadImageW"}));
  EXPECT_EQ(plan.failed(), (std::vector<std::string>{"CreateWindowExW", "LoadImageW"}));
  platform::SetMainExecutableIconsForTesting({});
}

class CountingWindows final : public platform::Windows {
 public:
  int shown = 0;
  bool RegisterWindowClass(const platform::WindowClass&) override { return false; }
  platform::WindowHandle CreateTopLevelWindow(const wchar_t*, const wchar_t*, uint32_t) override {
    return nullptr;
  }
  bool DestroyWindow(platform::WindowHandle) override { return false; }
  bool IsLiveWindow(platform::WindowHandle) override { return false; }
  bool ShowWindow(platform::WindowHandle, int) override { return false; }
  bool RepaintWindow(platform::WindowHandle) override { return false; }
  bool GetClientRect(platform::WindowHandle, platform::WindowRect*) override { return false; }
  std::wstring GetWindowTitle(platform::WindowHandle) override { return std::wstring(); }
  bool UnregisterWindowClass(const wchar_t*) override { return false; }
  platform::WindowProcedure RegisteredClassProcedure(const wchar_t*) override { return nullptr; }
  bool SendNotifyWindowMessage(platform::WindowHandle, uint32_t, platform::MessageWParam,
                               platform::MessageLParam) override {
    return false;
  }
  platform::MessageResult SendWindowMessage(platform::WindowHandle, uint32_t,
                                            platform::MessageWParam,
                                            platform::MessageLParam) override {
    return 0;
  }
  bool PostWindowMessage(platform::WindowHandle, uint32_t, platform::MessageWParam,
                         platform::MessageLParam) override {
    return false;
  }
  int GetThreadMessage(platform::WindowMessage*) override { return -1; }
  platform::MessageResult DispatchThreadMessage(const platform::WindowMessage&) override {
    return 0;
  }
  void PostQuit(int) override {}
  platform::MessageResult DefaultProcedure(platform::WindowHandle, uint32_t,
                                           platform::MessageWParam,
                                           platform::MessageLParam) override {
    return 0;
  }
  bool InSentMessage() override { return false; }
  void WaitHandlingSentMessages(bool (*)(void*), void*, uint32_t) override {}
  platform::IconHandle LoadMainExecutableIcon(uint32_t, bool) override { return nullptr; }
  bool DestroyIcon(platform::IconHandle) override { return false; }
  int ShowMessageBox(platform::WindowHandle, const wchar_t*, const wchar_t*, uint32_t) override {
    ++shown;
    return platform::kIdYes;
  }
};

TEST(WindowEmulationTest, OverrideIsInForceForItsScope) {
  CountingWindows fake;
  {
    platform::System system;
    system.windows = &fake;
    platform::ScopedSystemOverride in_force(system);
    EXPECT_EQ(platform::CurrentWindows().ShowMessageBox(nullptr, L"t", L"c", 0), platform::kIdYes);
  }
  EXPECT_EQ(fake.shown, 1);
  EXPECT_EQ(&platform::CurrentWindows(), platform::DefaultSystem().windows);
}

TEST(WindowEmulationTest, WindowsOfAnEndedThreadAreGone) {
  RegisterPlain();
  platform::Windows& windows = platform::CurrentWindows();
  const size_t before = platform::LiveWindowCountForTesting();
  platform::WindowHandle window = nullptr;
  std::thread([&] { window = windows.CreateTopLevelWindow(L"KuvoEmulationTest", L"x", 0); }).join();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(windows.IsLiveWindow(window));
  EXPECT_EQ(windows.SendWindowMessage(window, platform::kWmClose, 0, 0), 0);
  EXPECT_EQ(platform::LiveWindowCountForTesting(), before);
}

TEST(WindowEmulationTest, OnlyTheOwnerDestroys) {
  RegisterPlain();
  platform::Windows& windows = platform::CurrentWindows();
  platform::WindowHandle window = windows.CreateTopLevelWindow(L"KuvoEmulationTest", L"x", 0);
  bool destroyed_elsewhere = true;
  std::thread([&] { destroyed_elsewhere = windows.DestroyWindow(window); }).join();
  EXPECT_FALSE(destroyed_elsewhere);
  EXPECT_TRUE(windows.DestroyWindow(window));
  EXPECT_FALSE(windows.IsLiveWindow(window));
}

}  // namespace
