// The session window and the controlling side's SDK events: closing with and without the
// question, disconnects, resizing.
#include <algorithm>

#include "desk_fixture.h"
#include "platform/system.h"

namespace kuvo_test {
namespace {

using Args = std::vector<std::string>;
using Events = std::vector<HostEvent>;

class WindowTest : public DeskTest {
 protected:
  // Started and connected: event 2 recorded and cleared.
  void Connected() {
    session_ = StartConnected();
    ASSERT_EQ(g_host->events(), (Events{{kRcMasterConnected, L""}}));
    g_host->Clear();
  }
  // The user closes the window (WM_CLOSE from outside, as the title bar's button does).
  void UserCloses() { windows_.SendWindowMessage(window(), platform::kWmClose, 0, 0); }
  platform::WindowHandle window() { return window_ != nullptr ? window_ : (window_ = Window()); }

  SLSESSION session_ = SLSESSION_INVALID;
  platform::WindowHandle window_ = nullptr;
};

TEST_F(WindowTest, ConnectedEventRaisesEvent2AndIsLogged) {
  Connected();
  EXPECT_EQ(LogLinesOf("CKuvoXrk::_remoteCallback"),
            (Args{"INFO  [0] CKuvoXrk::_remoteCallback: [XRK] 会话" + std::to_string(session_) +
                  ":连接成功"}));
}

TEST_F(WindowTest, UserCloseWithAPeerAsksAndNoKeepsTheWindow) {
  Connected();
  AnswerBoxes({platform::kIdNo});
  UserCloses();
  EXPECT_TRUE(windows_.IsLiveWindow(window()));
  EXPECT_TRUE(g_host->events().empty());
  const auto boxes = ShownBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"是否结束远程协助?");
  EXPECT_EQ(boxes[0].caption, L"结束远程");
  EXPECT_TRUE(boxes[0].yes_no);
  EXPECT_FALSE(boxes[0].has_owner);
}

TEST_F(WindowTest, UserCloseAnsweredYesRaisesEvent4OnCloseAndOnDestroy) {
  Connected();
  AnswerBoxes({platform::kIdYes});
  UserCloses();
  EXPECT_FALSE(windows_.IsLiveWindow(window()));
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterWindowClosed, L""}, {kRcMasterWindowClosed, L""}}));
  EXPECT_EQ(ShownBoxes().size(), 1u);
  EXPECT_EQ(Window(), nullptr);
}

TEST_F(WindowTest, PeerDisconnectClosesWithoutAQuestion) {
  Connected();
  AnswerBoxes({});
  sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
  Settle();
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterDisconnected, L"event=1"},
                                      {kRcMasterWindowClosed, L""},
                                      {kRcMasterWindowClosed, L""}}));
  EXPECT_FALSE(windows_.IsLiveWindow(window()));
  EXPECT_TRUE(ShownBoxes().empty());
  EXPECT_EQ(
      LogLinesOf("CKuvoXrk::_remoteCallback").back(),
      "ERROR [0] CKuvoXrk::_remoteCallback: [XRK] 会话" + std::to_string(session_) + ":连接断开");
}

TEST_F(WindowTest, DisconnectWhileNotConnectedDoesNothing) {
  SetCallback();
  Master();
  const size_t lines = LogLines().size();
  sl_control::RaiseRemoteEvent(sl_control::LastRemoteSession(), SLREMOTE_EVENT_DISCONNECTED);
  sl_control::RaiseRemoteEvent(sl_control::LastRemoteSession(), 9);
  Settle();
  EXPECT_TRUE(g_host->events().empty());
  EXPECT_TRUE(windows_.IsLiveWindow(Window()));
  EXPECT_EQ(LogLines().size(), lines);
}

TEST_F(WindowTest, ConnectionLimitDisconnectsEvenWhenNotConnected) {
  SetCallback();
  Master();
  const SLSESSION session = sl_control::LastRemoteSession();
  sl_control::RaiseRemoteEvent(session + 40, SLREMOTE_EVENT_LIMITED);
  Settle();
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterDisconnected, L"event=2"},
                                      {kRcMasterWindowClosed, L""},
                                      {kRcMasterWindowClosed, L""}}));
  // The manager's own session id is logged, not the event's.
  EXPECT_EQ(LogLinesOf("CKuvoXrk::_remoteCallback").back(),
            "ERROR [0] CKuvoXrk::_remoteCallback: [XRK]会话" + std::to_string(session) +
                ":连接断开（连接数已满） ProcessId=" + Pid());
  EXPECT_EQ(Window(), nullptr);
}

TEST_F(WindowTest, AfterADisconnectAUserCloseOfANewWindowAsksAgainOnceConnected) {
  Connected();
  sl_control::RaiseRemoteEvent(session_, SLREMOTE_EVENT_DISCONNECTED);
  Settle();
  g_host->Clear();
  window_ = nullptr;
  Master();  // a new window
  ASSERT_NE(Window(), nullptr);
  sl_control::RaiseRemoteEvent(sl_control::LastRemoteSession(), SLREMOTE_EVENT_CONNECTED);
  Settle();
  AnswerBoxes({platform::kIdNo});
  UserCloses();
  EXPECT_EQ(ShownBoxes().size(), 1u);
  EXPECT_TRUE(windows_.IsLiveWindow(window()));
}

TEST_F(WindowTest, MinimiseDoesNotResizeTheRemoteViewRestoreDoes) {
  Master();
  const SLSESSION session = sl_control::LastRemoteSession();
  sl_control::ClearCalls();
  window_thread_.Run([this] { windows_.ShowWindow(Window(), platform::kSwMinimize); });
  EXPECT_TRUE(sl_control::CallsNamed("SLSetDesktopSessionPos").empty());
  window_thread_.Run([this] { windows_.ShowWindow(Window(), platform::kSwRestore); });
  platform::WindowRect rect;
  ASSERT_TRUE(windows_.GetClientRect(Window(), &rect));
  const auto moves = sl_control::CallsNamed("SLSetDesktopSessionPos");
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().args,
            (Args{moves.back().args.at(0), std::to_string(session), "0", "0",
                  std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)}));
}

TEST_F(WindowTest, DisplayChangeLogsTheDesktopSizeAndResizes) {
  Master();
  const SLSESSION session = sl_control::LastRemoteSession();
  sl_control::SetDesktopSize(1600, 900);
  sl_control::ClearCalls();
  sl_control::RaiseRemoteSessionEvent(session, SLSESSION_EVENT_CONNECTED);  // ignored
  Settle();
  EXPECT_TRUE(sl_control::Calls().empty());
  sl_control::RaiseRemoteSessionEvent(session, SLSESSION_EVENT_DISPLAY_CHANGED);
  Settle();
  EXPECT_EQ(LogLinesOf("CKuvoXrk::_masterCallback"),
            (Args{"INFO  [0] CKuvoXrk::_masterCallback: [XRK] 远程桌面大小( 1600 X 900 )"}));
  EXPECT_EQ(sl_control::CallsNamed("SLSetDesktopSessionPos").size(), 1u);

  // No size from the SDK: no line, no resize.
  sl_control::FailCall("SLGetDesktopSessionOriginSize");
  sl_control::ClearCalls();
  sl_control::RaiseRemoteSessionEvent(session, SLSESSION_EVENT_DISPLAY_CHANGED);
  Settle();
  EXPECT_EQ(LogLinesOf("CKuvoXrk::_masterCallback").size(), 1u);
  EXPECT_TRUE(sl_control::CallsNamed("SLSetDesktopSessionPos").empty());
}

TEST_F(WindowTest, UnloadClosesTheWindowWithoutAQuestion) {
  Connected();
  AnswerBoxes({});
  window_thread_.Run([] { KuvoDeskReloadForTesting(); });
  EXPECT_FALSE(windows_.IsLiveWindow(window()));
  EXPECT_TRUE(ShownBoxes().empty());
  EXPECT_EQ(g_host->events(), (Events{{kRcMasterWindowClosed, L""}, {kRcMasterWindowClosed, L""}}));
}

platform::MessageResult PLATFORM_WINAPI OtherProcedure(platform::WindowHandle window,
                                                       uint32_t message,
                                                       platform::MessageWParam wparam,
                                                       platform::MessageLParam lparam) {
  return platform::CurrentWindows().DefaultProcedure(window, message, wparam, lparam);
}

// "KuvoRemote" held by a live window with another procedure cannot be replaced: no session window,
// and the failed registration is logged rather than ignored.
TEST_F(WindowTest, AClassHeldByAnotherProcedureOpensNoWindow) {
  platform::WindowClass other;
  other.name = L"KuvoRemote";
  other.procedure = &OtherProcedure;
  platform::WindowHandle holder = nullptr;
  window_thread_.Run([&] {
    windows_.UnregisterWindowClass(L"KuvoRemote");  // left by an earlier case: no windows
    ASSERT_TRUE(windows_.RegisterWindowClass(other));
    holder = windows_.CreateTopLevelWindow(L"KuvoRemote", L"other", 0);
  });
  ASSERT_NE(holder, nullptr);
  SetCallback();
  Master();
  EXPECT_EQ(Window(), nullptr);
  const auto lines = LogLinesOf("CKuvoXrk::MasterStartSession");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "ERROR [0] CKuvoXrk::MasterStartSession: [XRK]注册窗口类KuvoRemote失败"),
            lines.end());
  window_thread_.Run([&] {
    windows_.DestroyWindow(holder);
    windows_.UnregisterWindowClass(L"KuvoRemote");
  });
}

TEST_F(WindowTest, WithoutAHostCallbackClosingRaisesNothing) {
  Master();
  AnswerBoxes({platform::kIdYes});
  UserCloses();  // ask-before-closing is set from the start
  EXPECT_FALSE(windows_.IsLiveWindow(window()));
  EXPECT_EQ(ShownBoxes().size(), 1u);
  EXPECT_TRUE(g_host->events().empty());
}

}  // namespace
}  // namespace kuvo_test
