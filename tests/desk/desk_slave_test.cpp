// The controlled side through the exports: login, the session, the client and client-session
// events, stopping.
#include "desk_fixture.h"

namespace kuvo_test {
namespace {

using Args = std::vector<std::string>;
using Events = std::vector<HostEvent>;

constexpr char kAddress[] = "198.51.100.20:4118";

class SlaveTest : public DeskTest {
 protected:
  void SetUp() override {
    DeskTest::SetUp();
    sl_control::SetClientAddress(kAddress);
    sl_control::SetSessionName("会话-A");
  }
  // Init, then the SDK's connected and logged-in events.
  void LoggedIn() {
    SetCallback();
    KuvoSlaveInitSession("openid-1", "key-1");
    sl_control::RaiseClientEvent(SLCLIENT_EVENT_CONNECTED);
    sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
    Settle();
    session_ = sl_control::LastClientSession();
    ASSERT_EQ(g_host->events(),
              (Events{{kRcSlaveReady, Wide(std::string(kAddress) + "\n会话-A")}}));
    g_host->Clear();
  }
  std::string client() { return sl_control::CallsNamed("SLSetClientCallback").at(0).args.at(0); }

  SLSESSION session_ = SLSESSION_INVALID;
};

TEST_F(SlaveTest, InitBeforeTheLoginEventWaitsForItToRaiseEvent0) {
  SetCallback();
  KuvoSlaveInitSession("openid-1", "key-1");
  const auto calls = sl_control::Calls();
  std::vector<std::string> names;
  for (const auto& call : calls) names.push_back(call.name);
  EXPECT_EQ(names, (Args{"SLInitialize", "SLCreateClient", "SLOpenClientLog", "SLSetClientCallback",
                         "SLClientLoginWithOpenID", "SLCreateClientSession",
                         "SLSetClientSessionOpt", "SLGetClientSessionName"}));
  const std::string handle = calls[2].args.at(0);
  EXPECT_EQ(calls[2].args.at(2), "sunlogin_remote.log");
  EXPECT_EQ(calls[4].args, (Args{handle, "openid-1", "key-1", "", "1"}));
  EXPECT_EQ(calls[5].args, (Args{handle, "0"}));
  const std::string id = std::to_string(sl_control::LastClientSession());
  EXPECT_EQ(calls[6].args,
            (Args{handle, id, "2", "callback", std::to_string(sizeof(SLSESSION_CALLBACK_PROP))}));
  EXPECT_TRUE(g_host->events().empty());
  EXPECT_EQ(LogLines(), (Args{"INFO  [0] CKuvoXrk::RemoteControlInit: [XRK] 初始化完成"}));

  sl_control::RaiseClientEvent(SLCLIENT_EVENT_CONNECTED);
  Settle();
  EXPECT_TRUE(g_host->events().empty());  // logged only
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
  Settle();
  EXPECT_EQ(g_host->events(), (Events{{kRcSlaveReady, Wide(std::string(kAddress) + "\n会话-A")}}));
  EXPECT_EQ(LogLinesOf("CKuvoXrk::_clientCallback"),
            (Args{"INFO  [0] CKuvoXrk::_clientCallback: [XRK] 连接服务器成功",
                  "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 登录服务器成功"}));
}

// As a host meets the stand-in: nothing scripted, the login completes by itself. Event 0 carries
// the address and the session name (an earlier one may lack the name: the login event may run
// before the library has stored it, and the library then raises event 0 again itself).
TEST_F(SlaveTest, UnheldLoginReachesEvent0ByItself) {
  sl_control::HoldLogins(false);
  SetCallback();
  KuvoSlaveInitSession("openid-1", "key-1");
  Settle();
  const Events events = g_host->events();
  ASSERT_FALSE(events.empty());
  for (const HostEvent& event : events) EXPECT_EQ(event.code, kRcSlaveReady);
  EXPECT_EQ(events.back().text, Wide(std::string(kAddress) + "\n会话-A"));
  EXPECT_TRUE(sl_control::ClientLoggedIn());
}

TEST_F(SlaveTest, InitAfterTheLoginReplacesTheSessionAndRaisesEvent0Itself) {
  LoggedIn();
  sl_control::SetSessionName("会话-B");
  KuvoSlaveInitSession("openid-1", "key-1");
  const auto destroys = sl_control::CallsNamed("SLDestroyClientSession");
  ASSERT_EQ(destroys.size(), 1u);
  EXPECT_EQ(destroys[0].args.at(1), std::to_string(session_));
  EXPECT_FALSE(sl_control::ClientSessionExists(session_));
  EXPECT_EQ(g_host->events(), (Events{{kRcSlaveReady, Wide(std::string(kAddress) + "\n会话-B")}}));
  EXPECT_EQ(LogLinesOf("CKuvoXrk::SlaveInitSession"),
            (Args{"INFO  [0] CKuvoXrk::SlaveInitSession: [XRK] 创建会话-B会话成功"}));
  EXPECT_EQ(sl_control::CallsNamed("SLInitialize").size(), 1u);
}

TEST_F(SlaveTest, LoginRefusedIsLoggedAndNoSessionIsMade) {
  sl_control::FailCall("SLClientLoginWithOpenID");
  KuvoSlaveInitSession("openid-1", "key-1");
  EXPECT_TRUE(sl_control::CallsNamed("SLCreateClientSession").empty());
  EXPECT_EQ(LogLines().back(),
            "ERROR [0] CKuvoXrk::SlaveInitSession: [XRK]被控制端登录服务器失败 "
            "ProcessId=" +
                Pid() + ",0");
}

TEST_F(SlaveTest, InitFailuresOfTheControlledEndAreLogged) {
  sl_control::FailCall("SLCreateClient");
  KuvoSlaveInitSession("openid-1", "key-1");
  sl_control::FailCall("SLCreateClient", false);
  sl_control::FailCall("SLSetClientCallback");
  KuvoSlaveInitSession("openid-1", "key-1");
  EXPECT_EQ(LogLinesOf("CKuvoXrk::RemoteControlInit"),
            (Args{"ERROR [0] CKuvoXrk::RemoteControlInit: [XRK] 创建被控制端失败",
                  "ERROR [0] CKuvoXrk::RemoteControlInit: [XRK] 设置被控制端回调失败"}));
}

TEST_F(SlaveTest, ServerEventsEndTheLoginWithTheirNumber) {
  struct Case {
    int event;
    const char* line;  // null: no line
  };
  const Case cases[] = {
      {SLCLIENT_EVENT_DISCONNECTED, "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 与服务器断开连接"},
      {SLCLIENT_EVENT_LOGIN_FAILED, "ERROR [0] CKuvoXrk::_clientCallback: [XRK] 登录服务器失败"},
      {SLCLIENT_EVENT_CHANNELS_FULL, "ERROR [0] CKuvoXrk::_clientCallback: [XRK] 通道数已用完"},
      {SLCLIENT_EVENT_CHANNEL_CHECK_FAILED,
       "ERROR [0] CKuvoXrk::_clientCallback: [XRK] 服务器检查通道数失败"},
      {7, nullptr},
  };
  LoggedIn();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.event);
    sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
    Settle();
    g_host->Clear();
    sl_control::ClearCalls();
    const size_t lines = LogLines().size();
    sl_control::RaiseClientEvent(c.event);
    Settle();
    const auto all = LogLines();
    if (c.line != nullptr) {
      ASSERT_EQ(all.size(), lines + 1);
      EXPECT_EQ(all.back(), c.line);
    } else {
      EXPECT_EQ(all.size(), lines);
    }
    EXPECT_EQ(g_host->events(), (Events{{kRcSlaveEnded, L"erroCode=" + std::to_wstring(c.event)}}));
    // The disconnected and login-failed events log the client out themselves.
    const bool still_logged_in =
        c.event != SLCLIENT_EVENT_DISCONNECTED && c.event != SLCLIENT_EVENT_LOGIN_FAILED;
    EXPECT_EQ(sl_control::CallsNamed("SLClientLogout").size(), still_logged_in ? 1u : 0u);
    EXPECT_FALSE(sl_control::ClientLoggedIn());
  }
}

TEST_F(SlaveTest, UnknownClientEventWithoutAHostCallbackDoesNothingAtAll) {
  LoggedIn();
  KuvoSetRemoteControlCallback(0, nullptr);
  sl_control::ClearCalls();
  const size_t lines = LogLines().size();
  sl_control::RaiseClientEvent(7);
  Settle();
  EXPECT_TRUE(sl_control::Calls().empty());
  EXPECT_EQ(LogLines().size(), lines);
  EXPECT_TRUE(sl_control::ClientLoggedIn());
}

TEST_F(SlaveTest, PeerSessionConnectsStartsTheChatAndItsEndLogsOut) {
  LoggedIn();
  const std::string id = std::to_string(session_);
  sl_control::RaiseClientSessionEvent(session_, SLSESSION_EVENT_CONNECTED);
  Settle();
  const auto chats = sl_control::CallsNamed("SLClientStartChat");
  ASSERT_EQ(chats.size(), 1u);
  EXPECT_EQ(chats[0].args, (Args{client(), id, "0"}));
  EXPECT_TRUE(g_host->events().empty());
  sl_control::RaiseClientSessionEvent(session_, SLSESSION_EVENT_DISCONNECTED);
  Settle();
  EXPECT_EQ(g_host->events(), (Events{{kRcSlaveEnded, L"event=2"}}));
  EXPECT_FALSE(sl_control::ClientLoggedIn());
  EXPECT_EQ(LogLinesOf("CKuvoXrk::_clientCallback"),
            (Args{"INFO  [0] CKuvoXrk::_clientCallback: [XRK] 连接服务器成功",
                  "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 登录服务器成功",
                  "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 会话" + id + ":连接成功",
                  "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 会话" + id + ":连接断开"}));
  // A second end while not connected: logged, nothing else.
  g_host->Clear();
  sl_control::RaiseClientSessionEvent(session_, SLSESSION_EVENT_DISCONNECTED);
  Settle();
  EXPECT_TRUE(g_host->events().empty());
}

TEST_F(SlaveTest, EventsOfAnotherSessionAreLoggedAndIgnored) {
  LoggedIn();
  sl_control::ClearCalls();
  const SLSESSION other = session_ + 100;
  sl_control::RaiseClientSessionEvent(session_, SLSESSION_EVENT_CONNECTED, other);
  sl_control::RaiseClientSessionEvent(session_, SLSESSION_EVENT_DISCONNECTED, other);
  Settle();
  EXPECT_TRUE(sl_control::Calls().empty());
  EXPECT_TRUE(g_host->events().empty());
  const auto lines = LogLinesOf("CKuvoXrk::_clientCallback");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 会话" +
                                         std::to_string(other) + ":连接成功");
  EXPECT_EQ(lines.back(), "INFO  [0] CKuvoXrk::_clientCallback: [XRK] 会话" +
                              std::to_string(other) + ":连接断开");
}

TEST_F(SlaveTest, MasterStopOnTheControlledSideDestroysTheSessionAndLogsOut) {
  LoggedIn();
  KuvoMasterStopSession();
  const auto destroys = sl_control::CallsNamed("SLDestroyClientSession");
  ASSERT_EQ(destroys.size(), 1u);
  EXPECT_EQ(destroys[0].args.at(1), std::to_string(session_));
  EXPECT_EQ(sl_control::CallsNamed("SLClientLogout").size(), 1u);
  EXPECT_FALSE(sl_control::ClientLoggedIn());
  EXPECT_TRUE(sl_control::CallsNamed("SLDestroyRemoteSession").empty());
  // The session is gone now: a second stop fails on the destroy and says so.
  KuvoSlaveStopSession();
  EXPECT_EQ(sl_control::CallsNamed("SLDestroyClientSession").back().args.at(1),
            std::to_string(SLSESSION_INVALID));
  EXPECT_EQ(LogLines().back(),
            "ERROR [0] CKuvoXrk::SlaveStopSession: [XRK]销毁会话-A会话失败 "
            "ProcessId=" +
                Pid() + ",0");
}

TEST_F(SlaveTest, UnloadLogsTheClientOut) {
  LoggedIn();
  sl_control::ClearCalls();
  KuvoDeskReloadForTesting();
  EXPECT_EQ(sl_control::CallsNamed("SLClientLogout").size(), 1u);
  EXPECT_FALSE(sl_control::ClientLoggedIn());
  EXPECT_TRUE(g_host->events().empty());
}

}  // namespace
}  // namespace kuvo_test
