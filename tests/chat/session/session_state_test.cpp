// Init, login and logout through the exports: the set-up calls, the login state machine and the
// connection reports that it acts on or swallows.
#include <string>
#include <vector>

#include "chat_session_fixture.h"
#include "kuvocore_control.h"
#include "platform/file_system.h"

namespace kuvo_test {
namespace {

using tim_control::CallsNamed;
using tim_control::CountCalls;

std::vector<std::string> CallNames() {
  std::vector<std::string> names;
  for (const auto& call : tim_control::CallLog()) names.push_back(call.name);
  return names;
}

TEST_F(ChatSessionTest, InitRegistersTheRoutinesThenSetsTheSdkUp) {
  ASSERT_TRUE(Init());
  const std::vector<std::string> expected = {"TIMSetConnCallBack",
                                             "TIMSetKickOfflineCallBack",
                                             "TIMSetUserSigExpiredCallBack",
                                             "TIMSetRefreshListener",
                                             "TIMSetMessageCallBack",
                                             "TIMSetPath",
                                             "TIMSetLogLevel",
                                             "TIMDisableAutoReport",
                                             "TIMSetMode",
                                             "TIMInit",
                                             "TIMDisableRecentContactNotify"};
  EXPECT_EQ(CallNames(), expected);
  const std::wstring path = DataPath();
  EXPECT_EQ(CallsNamed("TIMSetPath")[0].args[0], std::string(path.begin(), path.end()));
  EXPECT_EQ(CallsNamed("TIMSetLogLevel")[0].args[0], "3");
  EXPECT_EQ(CallsNamed("TIMSetMode")[0].args[0], "1");
  EXPECT_TRUE(platform::PathExists(path.c_str()));
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Init]Init result:0"));
}

#if !defined(_WIN32)
TEST_F(ChatSessionTest, TheDataPathReachesTheSdkInTheAnsiCodePage) {
  // Outside Windows the ANSI code page is UTF-8.
  const std::wstring base = DataPath();
  const std::wstring path = base + L"/\u00e9t\u00e9";
  ASSERT_TRUE(Im_Init(kAppId, 0, path.c_str()));
  EXPECT_EQ(CallsNamed("TIMSetPath")[0].args[0],
            std::string(base.begin(), base.end()) + "/\xc3\xa9t\xc3\xa9");
  EXPECT_TRUE(platform::PathExists(path.c_str()));
}
#endif

TEST_F(ChatSessionTest, RepeatedInitAnswersTrueAndChangesNothing) {
  ASSERT_TRUE(Init());
  tim_control::ClearCallLog();
  EXPECT_TRUE(Im_Init(555, 0, DataPath().c_str()));
  EXPECT_TRUE(CallNames().empty());
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Init]Repetitive initialization"));
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  const auto login = CallsNamed("TIMLogin");
  ASSERT_EQ(login.size(), 1u);
  EXPECT_EQ(login[0].args[2], std::to_string(kAppId));  // the first app id stays
}

TEST_F(ChatSessionTest, InitWithoutTheBaseLibraryObjectFailsBeforeTouchingTheSdk) {
  Kuvocore_Shutdown();
  EXPECT_FALSE(Init());
  EXPECT_TRUE(CallNames().empty());
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Init]Base com uninit"));
  ASSERT_TRUE(Kuvocore_Startup());
}

TEST_F(ChatSessionTest, FailedSdkInitRefusesLoginAndUnInitSkipsTheSdk) {
  tim_control::SetInitResult(6013);
  EXPECT_FALSE(Init());
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Init]Init result:6013"));
  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig"));
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Login]Please init"));
  EXPECT_EQ(CountCalls("TIMLogin"), 0u);

  KuvocoreTest_ResetCounters();
  Im_UnInit();
  EXPECT_EQ(KuvocoreTest_RemoveCalls(), 1);  // the timer sink goes
  EXPECT_EQ(CountCalls("TIMUninit"), 0u);
  EXPECT_TRUE(DebugOutputReader::LinesStartingWith("[IM][CImMgr::UnInit]").empty());

  // The SDK still holds the routines registered before TIMInit failed; reports reaching them
  // after the manager is gone are dropped without harm.
  Im_RegConnCallBack(&conn_);
  tim_control::RaiseConnected();
  tim_control::RaiseKickOffline();
  Settle();
  EXPECT_TRUE(conn_.events().empty());
}

TEST_F(ChatSessionTest, LoginPassesTheUserRecordAndLogsTheRequest) {
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "the-signature"));
  EXPECT_EQ(CallsNamed("TIMSetClientVersion")[0].args[0], "11151");
  const auto login = CallsNamed("TIMLogin");
  ASSERT_EQ(login.size(), 1u);
  const std::vector<std::string> expected = {std::to_string(static_cast<int>(kAppId)),
                                             "36862",
                                             std::to_string(kAppId),
                                             std::to_string(kUserId),
                                             "0",
                                             "null",
                                             "null",
                                             "the-signature",
                                             "ptr"};
  EXPECT_EQ(login[0].args, expected);
  EXPECT_TRUE(
      DebugOutputReader::Contains("[IM][CImMgr::Login]Start login,appid=" + std::to_string(kAppId) +
                                  ",user=" + std::to_string(kUserId) + ",code=0"));
}

TEST_F(ChatSessionTest, LoginBeforeInitAnswersFalseAndRaisesNothing) {
  Im_RegConnCallBack(&conn_);
  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  EXPECT_TRUE(conn_.events().empty());
  EXPECT_EQ(CountCalls("TIMLogin"), 0u);
}

TEST_F(ChatSessionTest, LoginWhileLoggingInOrLoggedInIsRefusedWithoutSdkCalls) {
  Im_RegConnCallBack(&conn_);
  tim_control::LoginScript held;
  held.hold = true;
  tim_control::SetLoginScript(held);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig"));
  EXPECT_TRUE(
      DebugOutputReader::Contains("[IM][CImMgr::Login]Current login state:1 connect state:0"));
  ASSERT_TRUE(tim_control::CompleteHeldLogin(0));
  Settle();
  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig"));
  EXPECT_TRUE(
      DebugOutputReader::Contains("[IM][CImMgr::Login]Current login state:0 connect state:1"));
  EXPECT_EQ(CountCalls("TIMLogin"), 1u);
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImLogin] errorcode:0"));
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{0, "tim login success"}}));
}

TEST_F(ChatSessionTest, RefusedLoginMayBeRetriedAtOnceAndRaisesNothing) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  tim_control::LoginScript refused;
  refused.result = 70001;
  tim_control::SetLoginScript(refused);
  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig"));
  EXPECT_EQ(DebugOutputReader::LinesStartingWith("[IM][CImMgr::Login]Start login").back(),
            "[IM][CImMgr::Login]Start login,appid=" + std::to_string(kAppId) +
                ",user=" + std::to_string(kUserId) + ",code=70001");
  tim_control::SetLoginScript({});
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{0, "tim login success"}}));
}

TEST_F(ChatSessionTest, FailedLoginOutcomeRaisesLoginErrorAndAllowsANewLogin) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  tim_control::LoginScript failing;
  failing.outcome = 6206;
  tim_control::SetLoginScript(failing);
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImLogin] errorcode:6206"));
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{-4, "tim login error"}}));
  tim_control::SetLoginScript({});
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));
}

TEST_F(ChatSessionTest, LoginSuccessArrivingAfterALogoutIsReportedButLogsNobodyIn) {
  Im_RegConnCallBack(&conn_);
  tim_control::LoginScript held;
  held.hold = true;
  tim_control::SetLoginScript(held);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Im_Loginout();
  ASSERT_TRUE(tim_control::CompleteHeldLogin(0));
  Settle();
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{0, "tim login success"}}));
  // Still logged out: a new login is accepted.
  tim_control::SetLoginScript({});
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));
}

TEST_F(ChatSessionTest, LogoutCallsTheSdkOnlyWhenLoggingInOrLoggedIn) {
  Im_Loginout();
  ASSERT_TRUE(Init());
  Im_Loginout();
  EXPECT_EQ(CountCalls("TIMLogout"), 0u);

  LoginToLoggedIn();
  Im_Loginout();
  Settle();
  EXPECT_EQ(CountCalls("TIMLogout"), 1u);
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Login]Loginout,login state:0 state:1"));
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImLoginout] errorcode:0"));

  tim_control::LogoutScript failing;
  failing.outcome = 0;
  tim_control::SetLogoutScript(failing);
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));  // logged out again: accepted
}

TEST_F(ChatSessionTest, LogoutFailureIsOnlyLogged) {
  tim_control::LogoutScript failing;
  failing.outcome = 6014;
  tim_control::SetLogoutScript(failing);
  Im_RegConnCallBack(&conn_);
  LoginToLoggedIn();
  Im_Loginout();
  Settle();
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImLoginout] errorcode:6014"));
  EXPECT_TRUE(conn_.events().empty());
}

TEST_F(ChatSessionTest, ConnectionSuccessWhileLoggedOutLogsOutAgainSilently) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  tim_control::RaiseConnected();
  Settle();
  EXPECT_TRUE(conn_.events().empty());
  EXPECT_EQ(CountCalls("TIMLogout"), 0u);
  EXPECT_TRUE(
      DebugOutputReader::Contains("[IM][CImMgr::OnImConnect] errorcode:0,receiveconnect:0,tag:0"));
  EXPECT_TRUE(DebugOutputReader::Contains(
      "[IM][CImMgr::OnImConnect]External call logout, which can respond to connection events"));
}

TEST_F(ChatSessionTest, ConnectionSuccessWhileLoggingInIsSwallowed) {
  Im_RegConnCallBack(&conn_);
  tim_control::LoginScript held;
  held.hold = true;
  tim_control::SetLoginScript(held);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  tim_control::RaiseConnected();
  Settle();
  EXPECT_TRUE(conn_.events().empty());
  EXPECT_TRUE(DebugOutputReader::Contains(
      "[IM][CImMgr::OnImConnect]Connection success status, no need to repeat notification"));
  ASSERT_TRUE(tim_control::CompleteHeldLogin(0));
  Settle();
}

TEST_F(ChatSessionTest, ConnectionSuccessWhileLoggedInIsReported) {
  Im_RegConnCallBack(&conn_);
  LoginToLoggedIn();
  tim_control::RaiseConnected();
  Settle();
  EXPECT_TRUE(
      DebugOutputReader::Contains("[IM][CImMgr::OnImConnect] errorcode:0,receiveconnect:1,tag:1"));
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{0, "tim connect success"}}));
}

TEST_F(ChatSessionTest, DataRefreshIsReportedAsEventOne) {
  Im_RegConnCallBack(&conn_);
  LoginToLoggedIn();
  tim_control::RaiseRefresh();
  Settle();
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImLoginRefresh]Data loaded"));
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{1, "tim data refresh success"}}));
}

}  // namespace
}  // namespace kuvo_test
