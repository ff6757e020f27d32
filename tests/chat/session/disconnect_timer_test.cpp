// The 30-second disconnect timer, on Kuvocore's manual clock.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/task_runner.h"
#include "chat_session_fixture.h"
#include "host_ui_thread.h"
#include "kuvocore_control.h"

namespace kuvo_test {
namespace {

using Events = std::vector<std::pair<int32_t, std::string>>;

size_t PendingTimers() {
  return KuvocoreTest_PendingTimerIds(nullptr, 0);
}

size_t CountLosses(const Events& events) {
  size_t n = 0;
  for (const auto& e : events) n += e.first == -3 ? 1 : 0;
  return n;
}

TEST_F(ChatSessionTest, ReconnectionWithinThirtySecondsReportsOnlyTheReconnection) {
  LoginToLoggedIn();
  tim_control::RaiseDisconnected(6002);
  Settle();
  EXPECT_EQ(PendingTimers(), 1u);
  EXPECT_TRUE(DebugOutputReader::Contains(
      "[IM][CImMgr::OnImConnect] errorcode:6002,receiveconnect:1,tag:1"));
  ASSERT_TRUE(AdvanceClock(29999));
  EXPECT_TRUE(conn_.events().empty());
  tim_control::RaiseConnected();
  Settle();
  EXPECT_EQ(PendingTimers(), 0u);
  ASSERT_TRUE(AdvanceClock(60000));
  EXPECT_EQ(conn_.events(), (Events{{0, "tim connect success"}}));
}

TEST_F(ChatSessionTest, LastingDisconnectionIsReportedOnceHoweverManyNoticesArrive) {
  LoginToLoggedIn();
  KuvocoreTest_ResetCounters();
  tim_control::RaiseDisconnected(6002);
  tim_control::RaiseDisconnected(6002);
  tim_control::RaiseDisconnected(0);  // an error reported with code 0 arrives as 1
  Settle();
  EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 1);
  EXPECT_EQ(DebugOutputReader::LinesStartingWith(
                "[IM][CImMgr::OnImConnect]The disconnection event has been responded to")
                .size(),
            2u);
  EXPECT_TRUE(
      DebugOutputReader::Contains("[IM][CImMgr::OnImConnect] errorcode:1,receiveconnect:1,tag:1"));
  ASSERT_TRUE(AdvanceClock(30000));
  ASSERT_TRUE(AdvanceClock(120000));
  EXPECT_EQ(CountLosses(conn_.events()), 1u);
  EXPECT_EQ(conn_.events().size(), 1u);
  EXPECT_EQ(DebugOutputReader::LinesStartingWith(
                "[IM][CImMgr::OnTimerEvent][wisp]The connection was disconnected")
                .size(),
            1u);
}

TEST_F(ChatSessionTest, ADisconnectionAfterTheTimerFiredStartsANewOne) {
  LoginToLoggedIn();
  tim_control::RaiseDisconnected(6002);
  Settle();
  ASSERT_TRUE(AdvanceClock(30000));
  tim_control::RaiseDisconnected(6002);
  Settle();
  EXPECT_EQ(PendingTimers(), 1u);
  ASSERT_TRUE(AdvanceClock(30000));
  EXPECT_EQ(CountLosses(conn_.events()), 2u);
}

TEST_F(ChatSessionTest, LogoutStopsTheDisconnectTimer) {
  LoginToLoggedIn();
  tim_control::RaiseDisconnected(6002);
  Settle();
  Im_Loginout();
  EXPECT_EQ(PendingTimers(), 0u);
  ASSERT_TRUE(AdvanceClock(60000));
  EXPECT_TRUE(conn_.events().empty());
}

TEST_F(ChatSessionTest, ATimerNotificationThatIsNoLongerCurrentIsIgnored) {
  LoginToLoggedIn();
  tim_control::RaiseDisconnected(6002);
  Settle();
  {
    // The timer fires while the runner is busy, so its notification waits in the queue; the
    // logout then makes it stale before it is handled.
    RunnerBlocker blocker;
    ASSERT_TRUE(KuvocoreTest_AdvanceClock(30000));
    EXPECT_EQ(KuvocoreTest_TimersFired(), 1);
    Im_Loginout();
  }
  Settle();
  EXPECT_TRUE(conn_.events().empty());
  EXPECT_TRUE(DebugOutputReader::LinesStartingWith("[IM][CImMgr::OnTimerEvent]").empty());
}

TEST_F(ChatSessionTest, DisconnectionWhileLoggedOutStillArmsTheTimer) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  tim_control::RaiseDisconnected(6002);
  Settle();
  ASSERT_TRUE(AdvanceClock(30000));
  EXPECT_EQ(CountLosses(conn_.events()), 1u);
}

}  // namespace
}  // namespace kuvo_test

namespace kuvo_test {
namespace {

TEST_F(ChatSessionTest, TheLossIsReportedOnTheRunnersThreadNotTheTimers) {
  LoginToLoggedIn();
  void* object = nullptr;
  ASSERT_TRUE(GetKuvocoreObject(kKuvocoreTaskRunner, &object));
  auto* runner = static_cast<Base::ITaskRunner*>(object);
  std::atomic<int> on_runner{-1};
  conn_.set_hook([&] { on_runner = runner->IsCurrentThread() ? 1 : 0; });
  tim_control::RaiseDisconnected(6002);
  Settle();
  ASSERT_TRUE(AdvanceClock(30000));
  conn_.set_hook(nullptr);
  EXPECT_EQ(conn_.events(),
            (std::vector<std::pair<int32_t, std::string>>{{-3, "tim connection lost"}}));
  EXPECT_EQ(on_runner.load(), 1);
}

}  // namespace
}  // namespace kuvo_test

namespace kuvo_test {
namespace {

// A Kuvocore that fires timers on its task runner and whose StopTimerEx and RemoveTimerCallBack
// wait for a running OnTimer: a logout or shut-down on another thread, begun while OnTimer runs
// there, must not deadlock, and the timer it stopped reports nothing.
TEST_F(ChatSessionTest, StoppingTheTimerWhileOnTimerRunsOnTheRunnerDoesNotDeadlock) {
  for (const bool uninit : {false, true}) {
    SCOPED_TRACE(uninit ? "Im_UnInit" : "Im_Loginout");
    LoginToLoggedIn();
    ASSERT_TRUE(KuvocoreTest_FireTimersOnRunner(true));
    ASSERT_TRUE(KuvocoreTest_HoldTimerCalls(true));
    tim_control::RaiseDisconnected(6002);
    Settle();
    ASSERT_TRUE(KuvocoreTest_AdvanceClock(30000));
    // OnTimer has begun on the runner; it goes on once the stop waits for it.
    ASSERT_TRUE(KuvocoreTest_WaitTimerCallHeld(30000));
    std::thread host([uninit] { uninit ? Im_UnInit() : Im_Loginout(); });
    {
      DeadlockWatchdog watchdog(uninit ? "Im_UnInit while OnTimer runs on the runner"
                                       : "Im_Loginout while OnTimer runs on the runner");
      host.join();
    }
    KuvocoreTest_HoldTimerCalls(false);
    Settle();
    EXPECT_EQ(CountLosses(conn_.events()), 0u) << "the stopped timer reported";
    EXPECT_EQ(PendingTimers(), 0u);
    KuvocoreTest_FireTimersOnRunner(false);
    Im_UnInit();
    Settle();
  }
}

}  // namespace
}  // namespace kuvo_test
