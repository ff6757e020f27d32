// Hosts as they are: a window procedure of the host's that calls the exports while handling a
// message another thread sent, exports called from inside every host event, on the thread that
// raised it. Each case runs under a time limit that reports "deadlock".
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "desk_fixture.h"

namespace kuvo_test {
namespace {

using Events = std::vector<HostEvent>;
using Action = std::pair<std::string, std::function<void()>>;

constexpr wchar_t kHostClass[] = L"KuvoDeskHostPatterns";
constexpr uint32_t kCallExport = platform::kWmApp + 7;
constexpr platform::MessageResult kHostAnswer = 42;

std::function<void()> g_in_procedure;  // what the host's procedure runs; set on the test thread

platform::MessageResult PLATFORM_WINAPI HostProcedure(platform::WindowHandle window,
                                                      uint32_t message,
                                                      platform::MessageWParam wparam,
                                                      platform::MessageLParam lparam) {
  if (message == kCallExport) {
    g_in_procedure();
    return kHostAnswer;
  }
  return platform::CurrentWindows().DefaultProcedure(window, message, wparam, lparam);
}

void Start() {
  KuvoMasterStartSession("203.0.113.7:4118", "session-9", "");
}

class HostPatternsTest : public DeskTest {
 protected:
  void TearDown() override {
    g_host->SetHook(nullptr);
    if (host_window_ != nullptr) {
      window_thread_.Run([this] { windows_.DestroyWindow(host_window_); });
    }
    DeskTest::TearDown();
  }
  // A session window, a connected peer; the events so far forgotten.
  void Connected() {
    session_ = StartConnected();
    g_host->Clear();
  }
  // A window of the host's on the session window's thread.
  void OpenHostWindow() {
    platform::WindowClass host_class;
    host_class.name = kHostClass;
    host_class.procedure = &HostProcedure;
    windows_.RegisterWindowClass(host_class);  // registered by an earlier case already: fine
    window_thread_.Run(
        [this] { host_window_ = windows_.CreateTopLevelWindow(kHostClass, L"host", 0); });
    ASSERT_NE(host_window_, nullptr);
  }
  // The peer disconnects; waits until the SDK's event and the window's thread are done.
  void Disconnect(const std::string& what) {
    WithinOrDeadlock(what, [this] {
      sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
      Settle();
      window_thread_.Run([] {});
    });
  }

  SLSESSION session_ = SLSESSION_INVALID;
  platform::WindowHandle host_window_ = nullptr;
};

// The library never answers a message it did not send: the sender gets what the host's
// procedure returns, after the export has finished.
TEST_F(HostPatternsTest, ExportInAMessageSentFromAnotherThreadLeavesTheAnswerToTheHost) {
  Connected();
  OpenHostWindow();
  const std::vector<Action> exports = {
      {"KuvoMasterStopSession", [] { KuvoMasterStopSession(); }},
      {"KuvoMasterStartSession", [] { Start(); }},
      {"KuvoSetRemoteControlCallback", [this] { SetCallback(); }},
      {"KuvoSlaveInitSession", [] { KuvoSlaveInitSession("openid", "key"); }},
      {"KuvoSlaveStopSession", [] { KuvoSlaveStopSession(); }},
  };
  for (const Action& call : exports) {
    bool returned = false;
    g_in_procedure = [&] {
      call.second();
      returned = true;
    };
    platform::MessageResult answer = 0;
    WithinOrDeadlock(call.first + " in a message sent to the host's window",
                     [&] { answer = windows_.SendWindowMessage(host_window_, kCallExport, 0, 0); });
    EXPECT_EQ(answer, kHostAnswer) << call.first;
    EXPECT_TRUE(returned) << call.first;
  }
  EXPECT_EQ(sl_control::CallsNamed("SLDestroyRemoteSession").size(), 2u);  // stop, then start
  EXPECT_TRUE(windows_.IsLiveWindow(Window()));
}

// Stop or start from inside the first (WM_CLOSE) or the second (WM_DESTROY) event 4 of the close
// that a disconnect's handler makes while it waits: the handler, the close and the export end.
TEST_F(HostPatternsTest, StopOrStartFromEitherEvent4OfADisconnectCompletes) {
  const std::vector<Action> exports = {{"stop", [] { KuvoMasterStopSession(); }},
                                       {"start", [] { Start(); }}};
  for (const Action& call : exports) {
    for (int which : {1, 2}) {
      const std::string what = call.first + " from event 4 number " + std::to_string(which);
      Connected();
      int seen = 0;  // window thread only
      g_host->SetHook([&](const HostEvent& event) {
        if (event.code == kRcMasterWindowClosed && ++seen == which) call.second();
      });
      Disconnect(what);
      g_host->SetHook(nullptr);
      EXPECT_EQ(g_host->events(), (Events{{kRcMasterDisconnected, L"event=1"},
                                          {kRcMasterWindowClosed, L""},
                                          {kRcMasterWindowClosed, L""}}))
          << what;
      EXPECT_FALSE(sl_control::RemoteSessionExists(session_)) << what;
    }
  }
  // The start inside the destroy opened a new window for its session.
  const auto window = reinterpret_cast<platform::WindowHandle>(
      sl_control::RemoteSessionWindow(sl_control::LastRemoteSession()));
  EXPECT_TRUE(windows_.IsLiveWindow(window));
  EXPECT_EQ(window, Window());
}

// Events 2 and 3 on the SDK's thread: stopping or starting there completes, and a stop in event
// 3 is followed by the window's close as always.
TEST_F(HostPatternsTest, StopOrStartFromTheControllingSidesSdkEventsCompletes) {
  const std::vector<Action> exports = {{"stop", [] { KuvoMasterStopSession(); }},
                                       {"start", [] { Start(); }}};
  for (const Action& call : exports) {
    for (int32_t code : {kRcMasterConnected, kRcMasterDisconnected}) {
      const std::string what = call.first + " from event " + std::to_string(code);
      SetCallback();
      Master();
      session_ = sl_control::LastRemoteSession();
      g_host->Clear();
      bool done = false;  // SDK thread only
      g_host->SetHook([&](const HostEvent& event) {
        if (event.code != code || done) return;
        done = true;
        call.second();
      });
      WithinOrDeadlock(what, [this] {
        sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_CONNECTED);
        sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
        Settle();
        window_thread_.Run([] {});
      });
      g_host->SetHook(nullptr);
      EXPECT_EQ(g_host->events(), (Events{{kRcMasterConnected, L""},
                                          {kRcMasterDisconnected, L"event=1"},
                                          {kRcMasterWindowClosed, L""},
                                          {kRcMasterWindowClosed, L""}}))
          << what;
      EXPECT_FALSE(sl_control::RemoteSessionExists(session_)) << what;
    }
  }
}

// Events 0 and 1 on the SDK's thread: the controlled side stops or opens again from there.
TEST_F(HostPatternsTest, StopOrInitFromTheControlledSidesSdkEventsCompletes) {
  SetCallback();
  const std::vector<Action> exports = {
      {"KuvoSlaveStopSession", [] { KuvoSlaveStopSession(); }},
      {"KuvoSlaveInitSession", [] { KuvoSlaveInitSession("openid", "key"); }}};
  for (const Action& call : exports) {
    for (int32_t code : {kRcSlaveReady, kRcSlaveEnded}) {
      const std::string what = call.first + " from event " + std::to_string(code);
      KuvoSlaveInitSession("openid", "key");
      g_host->Clear();
      bool done = false;  // SDK thread only
      g_host->SetHook([&](const HostEvent& event) {
        if (event.code != code || done) return;
        done = true;  // an init raises event 0 again once the address is known
        call.second();
      });
      WithinOrDeadlock(what, [this] {
        sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
        sl_control::RaiseClientEvent(7);  // not handled: logout, event 1
        Settle();
      });
      g_host->SetHook(nullptr);
      const Events events = g_host->events();
      ASSERT_FALSE(events.empty()) << what;
      EXPECT_EQ(events.front().code, kRcSlaveReady) << what;
      // (an init from event 1 raises event 0 again after it: the address is known)
      EXPECT_NE(std::find(events.begin(), events.end(), HostEvent{kRcSlaveEnded, L"erroCode=7"}),
                events.end())
          << what;
    }
  }
}

}  // namespace
}  // namespace kuvo_test
