// Every fallible window call of a controlling-side session, failed in turn through the emulation's
// fault plan: the session goes on as far as it can, nothing hangs, nothing is raised twice.
#include <algorithm>
#include <string>

#include "desk_fixture.h"
#include "platform/testing/fault_plan.h"
#include "platform/testing/window_emulation.h"

namespace kuvo_test {
namespace {

using Events = std::vector<HostEvent>;

class FaultsTest : public DeskTest {
 protected:
  // Start, connect, then the user closes and answers Yes. Returns the window (null when none).
  platform::WindowHandle RunSession() {
    SetCallback();
    Master();
    sl_control::RaiseRemoteEvent(sl_control::LastRemoteSession(), SLREMOTE_EVENT_CONNECTED);
    Settle();
    platform::WindowHandle window = Window();
    if (window != nullptr) {
      big_icon_ = windows_.SendWindowMessage(window, platform::kWmGetIcon, platform::kIconBig, 0);
      small_icon_ =
          windows_.SendWindowMessage(window, platform::kWmGetIcon, platform::kIconSmall, 0);
      windows_.SendWindowMessage(window, platform::kWmClose, 0, 0);
    }
    return window;
  }
  // Back to a just-loaded library with a fresh SDK, log and class table.
  void Restart() {
    KuvoSetRemoteControlCallback(0, nullptr);
    window_thread_.Run([] { KuvoDeskReloadForTesting(); });
    sl_control::Reset();
    g_host->Clear();
    platform::UnregisterWindowClassesForTesting();
    AnswerBoxes({platform::kIdYes});
  }
  // The fallible calls of the session itself (the test's own posts to its thread left out).
  static std::vector<std::pair<size_t, std::string>> SessionCalls(
      const std::vector<std::string>& calls) {
    std::vector<std::pair<size_t, std::string>> own;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i] != "PostMessageW") own.emplace_back(i + 1, calls[i]);
    }
    return own;
  }

  platform::MessageResult big_icon_ = 0;
  platform::MessageResult small_icon_ = 0;
};

TEST_F(FaultsTest, EachWindowCallFailedInTurn) {
  std::vector<std::pair<size_t, std::string>> calls;
  {
    Restart();
    platform::ScopedFaultPlan counting;
    ASSERT_NE(RunSession(), nullptr);
    calls = SessionCalls(counting.log());
    EXPECT_NE(big_icon_, 0);
    EXPECT_EQ(platform::LoadedIconCountForTesting(), 0u);  // both icons went with the window
  }
  std::vector<std::string> names;
  for (const auto& call : calls) names.push_back(call.second);
  ASSERT_EQ(names, (std::vector<std::string>{"RegisterClassW", "CreateWindowExW", "LoadImageW",
                                             "LoadImageW", "MessageBoxW"}));

  for (size_t k = 0; k < calls.size(); ++k) {
    SCOPED_TRACE(calls[k].second + " #" + std::to_string(k));
    Restart();
    big_icon_ = small_icon_ = 0;
    platform::ScopedFaultPlan plan;
    plan.FailCallNumber(calls[k].first);
    platform::WindowHandle window = RunSession();
    ASSERT_EQ(plan.failed(), (std::vector<std::string>{calls[k].second}));
    if (k <= 1) {  // no class, or no window: the SDK refuses the missing window
      EXPECT_EQ(window, nullptr);
      const auto lines = LogLinesOf("CKuvoXrk::MasterStartSession");
      EXPECT_EQ(
          lines.back(),
          "ERROR [0] CKuvoXrk::MasterStartSession: [XRK]设置远程桌面窗口失败 ProcessId=" + Pid());
      if (k == 0) {  // a class that cannot be registered is no window
        EXPECT_NE(
            std::find(lines.begin(), lines.end(),
                      "ERROR [0] CKuvoXrk::MasterStartSession: [XRK]注册窗口类KuvoRemote失败"),
            lines.end());
      }
      EXPECT_EQ(g_host->events(), (Events{{kRcMasterConnected, L""}}));
      continue;
    }
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(windows_.IsLiveWindow(window));
    EXPECT_EQ(platform::LoadedIconCountForTesting(), 0u);  // the icons went with the window
    EXPECT_EQ(big_icon_ != 0, k != 2);
    EXPECT_EQ(small_icon_ != 0, k != 3);
    // A box that cannot be shown is no "No": the window closes.
    EXPECT_EQ(g_host->events(), (Events{{kRcMasterConnected, L""},
                                        {kRcMasterWindowClosed, L""},
                                        {kRcMasterWindowClosed, L""}}));
  }
}

}  // namespace
}  // namespace kuvo_test
