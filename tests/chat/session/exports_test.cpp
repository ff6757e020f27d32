// Exports that hold no more than a forward: sequence numbers, withdrawal, the manager's life.
#include <string>

#include "chat_session_fixture.h"
#include "kuvocore_control.h"

namespace kuvo_test {
namespace {

TEST_F(ChatSessionTest, SequenceNumbersCountFromOnePerManager) {
  EXPECT_EQ(Im_CreateNewSeq(), 1u);
  EXPECT_EQ(Im_CreateNewSeq(), 2u);
  EXPECT_EQ(Im_CreateNewSeq(), 3u);
  Im_UnInit();
  EXPECT_EQ(Im_CreateNewSeq(), 1u);
}

TEST_F(ChatSessionTest, WithdrawalIsNeverOffered) {
  EXPECT_FALSE(Im_ReqWithdrawMsg(0, 0, 0, 0, 0, 0));
  EXPECT_FALSE(Im_ReqWithdrawMsg(1, 2, 3, 4, 5, 0xFFFFFFFFu));
  LoginToLoggedIn();
  tim_control::ClearCallLog();
  EXPECT_FALSE(Im_ReqWithdrawMsg(1, 1, 1, 1, 1, 1));
  EXPECT_TRUE(tim_control::CallLog().empty());
}

TEST_F(ChatSessionTest, UnInitLogsOutShutsTheSdkDownAndNeedsAFreshInit) {
  LoginToLoggedIn();
  tim_control::ClearCallLog();
  KuvocoreTest_ResetCounters();
  Im_UnInit();
  ASSERT_EQ(tim_control::CallLog().size(), 2u);
  EXPECT_EQ(tim_control::CallLog()[0].name, "TIMLogout");
  EXPECT_EQ(tim_control::CallLog()[1].name, "TIMUninit");
  EXPECT_EQ(KuvocoreTest_RemoveCalls(), 1);
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::UnInit]"));
  EXPECT_FALSE(tim_control::IsInitialized());

  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig"));
  ASSERT_TRUE(Init());
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));
}

TEST_F(ChatSessionTest, UnInitOnAFreshManagerTouchesNothing) {
  KuvocoreTest_ResetCounters();
  Im_UnInit();
  EXPECT_TRUE(tim_control::CallLog().empty());
  EXPECT_EQ(KuvocoreTest_RemoveCalls(), 0);
  EXPECT_TRUE(DebugOutputReader::Lines().empty());
}

}  // namespace
}  // namespace kuvo_test
