// Threads: the disconnect that closes the window while the window's thread waits in the SDK,
// a stop from inside the close, and exports, events and the window racing (run under TSan).
#include <atomic>
#include <thread>

#include "desk_fixture.h"

namespace kuvo_test {
namespace {

using Events = std::vector<HostEvent>;

class ThreadsTest : public DeskTest {
 protected:
  void Connected() {
    session_ = StartConnected();
    g_host->Clear();
  }
  SLSESSION session_ = SLSESSION_INVALID;
  int i_ = 0;  // window thread only
};

// The disconnect handler raises event 3, then sends WM_CLOSE and waits for the window's thread;
// that thread is meanwhile inside KuvoMasterStopSession, whose SDK destroy waits for the very
// handler. The close must still happen, synchronously, and both must finish.
TEST_F(ThreadsTest, DisconnectClosesTheWindowWhileItsThreadWaitsInStop) {
  Connected();
  std::atomic<bool> stopped{false};
  g_host->SetHook([&](const HostEvent& event) {
    if (event.code != kRcMasterDisconnected) return;
    window_thread_.Post([&] {
      KuvoMasterStopSession();
      stopped = true;
    });
    // Hold the handler until the stop's destroy call waits for it.
    sl_control::WaitUntilCallWaitsForHandler();
  });
  sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
  Settle();
  window_thread_.Run([] {});  // the stop has returned
  EXPECT_TRUE(stopped.load());
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterDisconnected, L"event=1"},
                                      {kRcMasterWindowClosed, L""},
                                      {kRcMasterWindowClosed, L""}}));
  EXPECT_FALSE(windows_.IsLiveWindow(Window()));
  EXPECT_EQ(
      LogLinesOf("CKuvoXrk::MasterStopSession"),
      (std::vector<std::string>{"INFO  [0] CKuvoXrk::MasterStopSession: [XRK]已关闭远程桌面:0"}));
}

// The host stops the session from inside event 4 of a close that the disconnect handler sent:
// the handler waits for the close, the destroy for the handler.
TEST_F(ThreadsTest, StopFromInsideTheCloseOfADisconnectFinishes) {
  Connected();
  std::atomic<int> stops{0};
  g_host->SetHook([&](const HostEvent& event) {
    if (event.code == kRcMasterWindowClosed && stops.fetch_add(1) == 0) KuvoMasterStopSession();
  });
  sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
  Settle();
  window_thread_.Run([] {});
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterDisconnected, L"event=1"},
                                      {kRcMasterWindowClosed, L""},
                                      {kRcMasterWindowClosed, L""}}));
  EXPECT_FALSE(sl_control::RemoteSessionExists(session_));
  EXPECT_EQ(LogLinesOf("CKuvoXrk::MasterStopSession").size(), 1u);
}

// The controlled side's stop on the host's thread while a client handler runs: the logout and
// destroy wait for it, no lock of the library is held meanwhile, and the handler's own logout
// goes through.
TEST_F(ThreadsTest, SlaveStopWaitsForARunningClientHandler) {
  SetCallback();
  KuvoSlaveInitSession("openid", "key");
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
  Settle();
  std::atomic<bool> stopper_started{false};
  std::thread stopper;
  g_host->SetHook([&](const HostEvent& event) {
    if (event.code != kRcSlaveEnded) return;
    stopper = std::thread([&] { KuvoSlaveStopSession(); });
    stopper_started = true;
    sl_control::WaitUntilCallWaitsForHandler();
    KuvoSetRemoteControlCallback(kUserData, nullptr);  // the library's lock is free
  });
  sl_control::RaiseClientSessionEvent(sl_control::LastClientSession(), SLSESSION_EVENT_CONNECTED);
  sl_control::RaiseClientSessionEvent(sl_control::LastClientSession(),
                                      SLSESSION_EVENT_DISCONNECTED);
  Settle();
  ASSERT_TRUE(stopper_started.load());
  stopper.join();
  EXPECT_FALSE(sl_control::ClientSessionExists(sl_control::LastClientSession()));
  EXPECT_FALSE(sl_control::ClientLoggedIn());
}

// Exports on several threads, SDK events and window messages at once: every shared field is
// touched from each side.
TEST_F(ThreadsTest, ExportsEventsAndTheWindowRace) {
  SetCallback();
  Master();
  std::atomic<bool> done{false};
  std::thread events([&] {
    for (int i = 0; i < 50; ++i) {
      const SLSESSION session = sl_control::LastRemoteSession();
      sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_CONNECTED);
      sl_control::RaiseRemoteSessionEvent(session, SLSESSION_EVENT_DISPLAY_CHANGED);
      if (i % 10 == 9) sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_DISCONNECTED);
    }
    done = true;
  });
  std::thread host([&] {
    for (int i = 0; !done.load(); ++i) {
      KuvoSetRemoteControlCallback(
          kUserData, i % 2 == 0 ? nullptr : +[](uint32_t, int32_t, std::wstring) {});
    }
  });
  for (int i = 0; i < 20; ++i) {
    window_thread_.Run([] { KuvoMasterStartSession("203.0.113.7:4118", "s", ""); });
    window_thread_.Run([this] {
      if (platform::WindowHandle window = Window()) {
        windows_.ShowWindow(window, i_ % 2 == 0 ? platform::kSwMinimize : platform::kSwRestore);
      }
      ++i_;
    });
  }
  events.join();
  host.join();
  Settle();
  SetCallback();
  window_thread_.Run([] { KuvoMasterStopSession(); });
  EXPECT_EQ(sl_control::CallsNamed("SLDestroyRemoteSession").back().args.at(1),
            std::to_string(sl_control::LastRemoteSession()));
}

}  // namespace
}  // namespace kuvo_test
