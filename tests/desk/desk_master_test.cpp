// The controlling side through the exports: the SDK sequence, the window, the titles, stopping,
// and the failures of each step.
#include <algorithm>
#include <fstream>

#include "desk_fixture.h"
#include "platform/system.h"

namespace kuvo_test {
namespace {

using Args = std::vector<std::string>;

class MasterTest : public DeskTest {};

TEST_F(MasterTest, StartRunsTheSdkSequenceAndShowsTheWindow) {
  SetCallback();
  Master("198.51.100.4:4118", "desk-77", "");
  platform::WindowHandle window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(windows_.IsLiveWindow(window));
  EXPECT_EQ(windows_.GetWindowTitle(window), L"Kuvo远程协助");

  const SLSESSION session = sl_control::LastRemoteSession();
  const auto calls = sl_control::Calls();
  ASSERT_GE(calls.size(), 7u);
  const std::string remote = calls[2].args.at(0);
  std::vector<std::string> names;
  for (const auto& call : calls) names.push_back(call.name);
  const std::vector<std::string> head(names.begin(), names.begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"SLInitialize", "SLCreateRemote", "SLSetRemoteCallback",
                                            "SLOpenRemoteLog", "SLCreateRemoteEmptySession",
                                            "SLSetRemoteSessionOpt", "SLSetRemoteSessionOpt"}));
  const std::string log_folder = calls[3].args.at(1);
  const std::string tail = std::string("Kuvo 10.0") + (sizeof(wchar_t) == 2 ? "\\" : "/") + "Log" +
                           (sizeof(wchar_t) == 2 ? "\\" : "/") + "Remote";
  EXPECT_EQ(log_folder.substr(log_folder.size() - std::min(log_folder.size(), tail.size())), tail);
  EXPECT_EQ(calls[3].args.at(2), "sunlogin_remote.log");
  EXPECT_EQ(calls[4].args, (Args{remote, "0"}));
  const std::string id = std::to_string(session);
  EXPECT_EQ(calls[5].args, (Args{remote, id, "1", HandleText(window), "4"}));
  EXPECT_EQ(calls[6].args,
            (Args{remote, id, "2", "callback", std::to_string(sizeof(SLSESSION_CALLBACK_PROP))}));

  std::vector<std::string> hidden;
  for (const auto& call : sl_control::CallsNamed("SLHideRemoteDesktopToolbarItem")) {
    EXPECT_EQ(call.args.at(1), id);
    hidden.push_back(call.args.at(2));
  }
  EXPECT_EQ(hidden, (Args{"2",  "3",  "4",  "5",  "6",  "7",  "8",  "10", "11", "12",
                          "13", "14", "15", "16", "17", "18", "19", "20", "21", "22"}));
  const auto connects = sl_control::CallsNamed("SLConnectRemoteSession");
  ASSERT_EQ(connects.size(), 1u);
  EXPECT_EQ(connects[0].args, (Args{remote, id, "198.51.100.4:4118", "desk-77"}));
  EXPECT_EQ(calls.back().name, "SLConnectRemoteSession");
  EXPECT_EQ(sl_control::RemoteSessionWindow(session), reinterpret_cast<uintptr_t>(window));

  EXPECT_EQ(LogLines(), (Args{"INFO  [0] CKuvoXrk::RemoteControlInit: [XRK] 初始化完成",
                              "INFO  [0] CKuvoXrk::MasterStartSession: [XRK]创建远程桌面空会话",
                              "INFO  [0] CKuvoXrk::MasterStartSession: [XRK]已连接远程桌面 "
                              "ProcessId=" +
                                  Pid()}));
  EXPECT_TRUE(g_host->events().empty());
}

TEST_F(MasterTest, WindowCarriesTheMainExecutablesIconBigAndSmall) {
  Master();
  platform::WindowHandle window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(windows_.SendWindowMessage(window, platform::kWmGetIcon, platform::kIconBig, 0), 0);
  EXPECT_NE(windows_.SendWindowMessage(window, platform::kWmGetIcon, platform::kIconSmall, 0), 0);
}

TEST_F(MasterTest, TitleCarriesTheDisplayNameBetweenTheNumberSigns) {
  Master("198.51.100.4:4118", "desk-77", "王小明");
  EXPECT_EQ(windows_.GetWindowTitle(Window()), L"Kuvo远程协助（#王小明#）");
}

TEST_F(MasterTest, SecondStartKeepsWindowAndTitleAndReplacesTheSession) {
  Master("198.51.100.4:4118", "desk-77", "first");
  platform::WindowHandle window = Window();
  const SLSESSION first = sl_control::LastRemoteSession();
  Master("198.51.100.5:4118", "desk-78", "second");
  EXPECT_EQ(Window(), window);
  EXPECT_EQ(windows_.GetWindowTitle(window), L"Kuvo远程协助（#first#）");
  const SLSESSION second = sl_control::LastRemoteSession();
  EXPECT_NE(second, first);
  const auto destroys = sl_control::CallsNamed("SLDestroyRemoteSession");
  ASSERT_EQ(destroys.size(), 1u);
  EXPECT_EQ(destroys[0].args.at(1), std::to_string(first));
  EXPECT_FALSE(sl_control::RemoteSessionExists(first));
  EXPECT_TRUE(sl_control::RemoteSessionExists(second));
  EXPECT_EQ(sl_control::CallsNamed("SLInitialize").size(), 1u);
  EXPECT_EQ(sl_control::RemoteSessionWindow(second), reinterpret_cast<uintptr_t>(window));
}

TEST_F(MasterTest, TwoStopsPassTheSameSessionAndTheWindowStays) {
  Master();
  const SLSESSION session = sl_control::LastRemoteSession();
  window_thread_.Run([] {
    KuvoMasterStopSession();
    KuvoMasterStopSession();
  });
  const auto destroys = sl_control::CallsNamed("SLDestroyRemoteSession");
  ASSERT_EQ(destroys.size(), 2u);
  EXPECT_EQ(destroys[0].args.at(1), std::to_string(session));
  EXPECT_EQ(destroys[1].args.at(1), std::to_string(session));
  EXPECT_TRUE(windows_.IsLiveWindow(Window()));
  EXPECT_EQ(LogLinesOf("CKuvoXrk::MasterStopSession"),
            (Args{"INFO  [0] CKuvoXrk::MasterStopSession: [XRK]已关闭远程桌面:0",
                  "ERROR [0] CKuvoXrk::MasterStopSession: [XRK]关闭远程桌面失败 ProcessId=" +
                      Pid() + ",0"}));
}

TEST_F(MasterTest, EachFailingStepIsLoggedAndEndsTheStart) {
  struct Case {
    const char* call;
    const char* text;
    size_t connects;
  };
  const Case cases[] = {
      {"SLCreateRemoteEmptySession", "[XRK]启动远程桌面空会话失败", 0},
      {"SLSetRemoteSessionOpt:1", "[XRK]设置远程桌面窗口失败", 0},
      {"SLSetRemoteSessionOpt:2", "[XRK]设置远程桌面会话回调失败", 0},
      {"SLConnectRemoteSession", "[XRK]连接远程桌面失败", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    sl_control::ClearCalls();
    sl_control::FailCall(c.call);
    Master();
    sl_control::FailCall(c.call, false);
    EXPECT_EQ(LogLines().back(), std::string("ERROR [0] CKuvoXrk::MasterStartSession: ") + c.text +
                                     " ProcessId=" + Pid());
    EXPECT_EQ(sl_control::CallsNamed("SLConnectRemoteSession").size(), c.connects);
    EXPECT_EQ(sl_control::CallsNamed("SLHideRemoteDesktopToolbarItem").empty(), c.connects == 0);
  }
}

TEST_F(MasterTest, FailedInitialisationIsLoggedAndTriedAgainByTheNextStart) {
  sl_control::FailCall("SLInitialize");
  Master();
  EXPECT_EQ(LogLines().front(), "ERROR [0] CKuvoXrk::RemoteControlInit: [XRK] 初始化API环境失败");
  sl_control::FailCall("SLInitialize", false);
  sl_control::FailCall("SLCreateRemote");
  Master();
  sl_control::FailCall("SLCreateRemote", false);
  sl_control::FailCall("SLSetRemoteCallback");
  Master();
  sl_control::FailCall("SLSetRemoteCallback", false);
  Master();
  EXPECT_EQ(LogLinesOf("CKuvoXrk::RemoteControlInit"),
            (Args{"ERROR [0] CKuvoXrk::RemoteControlInit: [XRK] 初始化API环境失败",
                  "ERROR [0] CKuvoXrk::RemoteControlInit: [XRK] 创建控制端失败",
                  "ERROR [0] CKuvoXrk::RemoteControlInit: [XRK] 设置控制端回调函数失败",
                  "INFO  [0] CKuvoXrk::RemoteControlInit: [XRK] 初始化完成"}));
  EXPECT_EQ(sl_control::CallsNamed("SLInitialize").size(), 4u);
  EXPECT_EQ(LogLinesOf("CKuvoXrk::MasterStartSession").back(),
            "INFO  [0] CKuvoXrk::MasterStartSession: [XRK]已连接远程桌面 ProcessId=" + Pid());
}

}  // namespace
}  // namespace kuvo_test
