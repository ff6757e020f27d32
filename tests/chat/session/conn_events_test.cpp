// Fan-out of connection events to the registered IConnCallBack interfaces, kick-off and
// signature expiry, and reports raised on the task runner's own thread.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "chat_session_fixture.h"
#include "kuvocore_control.h"

namespace kuvo_test {
namespace {

using Events = std::vector<std::pair<int32_t, std::string>>;

TEST_F(ChatSessionTest, EveryRegisteredCallbackGetsEachEventOnce) {
  RecordingConn a, b;
  Im_RegConnCallBack(&a);
  Im_RegConnCallBack(&b);
  Im_RegConnCallBack(&a);       // twice: still one entry
  Im_RegConnCallBack(nullptr);  // stored and skipped
  LoginToLoggedIn();
  EXPECT_EQ(a.events(), (Events{{0, "tim login success"}}));
  EXPECT_EQ(b.events(), (Events{{0, "tim login success"}}));
}

TEST_F(ChatSessionTest, RemovingAnUnregisteredCallbackChangesNothing) {
  RecordingConn stranger;
  Im_RemoveConnCallBack(&stranger);
  LoginToLoggedIn();
  tim_control::RaiseRefresh();
  Settle();
  EXPECT_EQ(conn_.events(), (Events{{1, "tim data refresh success"}}));
  EXPECT_TRUE(stranger.events().empty());
}

// Ascending key order is the order of the pointers' values.
std::pair<std::unique_ptr<RecordingConn>, std::unique_ptr<RecordingConn>> OrderedPair() {
  auto first = std::make_unique<RecordingConn>();
  auto second = std::make_unique<RecordingConn>();
  if (reinterpret_cast<intptr_t>(first.get()) > reinterpret_cast<intptr_t>(second.get())) {
    std::swap(first, second);
  }
  return {std::move(first), std::move(second)};
}

TEST_F(ChatSessionTest, ACallbackRemovedDuringAnEventIsNotCalledForItAnyMore) {
  // Named variables rather than a structured binding: the lambda below captures one by
  // reference, which C++17 does not allow for bindings.
  auto pair = OrderedPair();
  auto first = std::move(pair.first);
  auto second = std::move(pair.second);
  RecordingConn* later = second.get();
  // The host removes the later interface and destroys it at once (checked under ASan).
  first->set_hook([&second, later] {
    if (!second) return;
    Im_RemoveConnCallBack(later);
    second.reset();
  });
  Im_RegConnCallBack(first.get());
  Im_RegConnCallBack(second.get());
  LoginToLoggedIn();
  tim_control::RaiseRefresh();
  Settle();
  EXPECT_EQ(first->events().size(), 2u);
  EXPECT_EQ(second, nullptr);
  Im_RemoveConnCallBack(first.get());
}

TEST_F(ChatSessionTest, ACallbackRemovingItselfStillLetsTheOthersHearOfTheEvent) {
  auto [first, second] = OrderedPair();
  RecordingConn* self = first.get();
  first->set_hook([self] { Im_RemoveConnCallBack(self); });  // on the runner: must not wait
  Im_RegConnCallBack(first.get());
  Im_RegConnCallBack(second.get());
  LoginToLoggedIn();
  tim_control::RaiseRefresh();
  Settle();
  EXPECT_EQ(first->events(), (Events{{0, "tim login success"}}));
  EXPECT_EQ(second->events(), (Events{{0, "tim login success"}, {1, "tim data refresh success"}}));
  Im_RemoveConnCallBack(second.get());
}

TEST_F(ChatSessionTest, KickOffLogsOutBeforeReportingSoALoginFromTheCallbackIsAccepted) {
  LoginToLoggedIn();
  std::atomic<int> relogin{-1};
  conn_.set_hook([&] {
    if (relogin.load() == -1) relogin = Im_Login(kUserId, "36862", "sig") ? 1 : 0;
  });
  tim_control::RaiseKickOffline();
  Settle();
  conn_.set_hook(nullptr);
  EXPECT_EQ(relogin.load(), 1);
  const auto events = conn_.events();
  ASSERT_GE(events.size(), 1u);
  EXPECT_EQ(events[0], std::make_pair(-1, std::string("tim force offline")));
  const auto lines = DebugOutputReader::Lines();
  const auto kicked = std::find(lines.begin(), lines.end(), "[IM][CImMgr::OnImForceOffline]");
  ASSERT_NE(kicked, lines.end());
  ASSERT_NE(kicked + 1, lines.end());
  EXPECT_EQ(*(kicked + 1), "[IM][CImMgr::Login]Loginout,login state:0 state:1");
  EXPECT_EQ(tim_control::CountCalls("TIMLogout"), 1u);
  EXPECT_EQ(tim_control::CountCalls("TIMLogin"), 2u);
}

TEST_F(ChatSessionTest, SignatureExpiryLogsOutBeforeReporting) {
  LoginToLoggedIn();
  std::atomic<int> relogin{-1};
  conn_.set_hook([&] {
    if (relogin.load() == -1) relogin = Im_Login(kUserId, "36862", "sig") ? 1 : 0;
  });
  tim_control::RaiseDisconnected(6002);
  tim_control::RaiseUserSigExpired();
  Settle();
  conn_.set_hook(nullptr);
  EXPECT_EQ(relogin.load(), 1);
  EXPECT_EQ(conn_.events()[0], std::make_pair(-2, std::string("tim sig expired")));
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImUserSigExpired]"));
  // The logout also stopped the disconnect timer.
  EXPECT_EQ(KuvocoreTest_PendingTimerIds(nullptr, 0), 0u);
}

struct RunnerProbe {
  RecordingConn* conn;
  std::atomic<size_t> events_when_sdk_returned{0};
};

void RaiseConnectedOnRunner(RunnerProbe* probe) {
  tim_control::RaiseConnected();
  probe->events_when_sdk_returned = probe->conn->events().size();
}

TEST_F(ChatSessionTest, AReportRaisedOnTheRunnersThreadIsHandledBeforeTheSdkCallReturns) {
  LoginToLoggedIn();
  tim_control::SetSynchronousCallbacks(true);
  RunnerProbe probe{&conn_};
  void* object = nullptr;
  ASSERT_TRUE(GetKuvocoreObject(kKuvocoreTaskRunner, &object));
  static_cast<Base::ITaskRunner*>(object)->PostTask(
      Base::NewRunnableFunction(&RaiseConnectedOnRunner, &probe));
  Settle();
  EXPECT_EQ(probe.events_when_sdk_returned.load(), 1u);
  EXPECT_EQ(conn_.events(), (Events{{0, "tim connect success"}}));
}

TEST_F(ChatSessionTest, SynchronousSdkReportsFromHostThreadsStillReachTheRunner) {
  tim_control::SetSynchronousCallbacks(true);
  LoginToLoggedIn();
  tim_control::RaiseDisconnected(6002);
  tim_control::RaiseConnected();
  Settle();
  EXPECT_EQ(conn_.events(), (Events{{0, "tim connect success"}}));
}

TEST_F(ChatSessionTest, AReportQueuedWhenTheManagerIsDestroyedIsDropped) {
  LoginToLoggedIn();
  {
    RunnerBlocker blocker;
    tim_control::RaiseKickOffline();
    tim_control::WaitIdle();  // the report now waits in the runner's queue
    Im_UnInit();
  }
  Settle();
  EXPECT_TRUE(conn_.events().empty());
  EXPECT_TRUE(DebugOutputReader::LinesStartingWith("[IM][CImMgr::OnImForceOffline]").empty());
}

TEST_F(ChatSessionTest, ConversationRefreshReportsTheRecognisedPeers) {
  RecordingSession session;
  Im_RegSessionCallBack(&session);
  LoginToLoggedIn();
  tim_control::RaiseConversationRefresh({{kCnvGroup, "G5"},
                                         {kCnvC2C, "cscmd_1"},
                                         {kCnvSystem, "100"},
                                         {kCnvC2C, "777"},
                                         {kCnvGroup, "D5"}});
  tim_control::RaiseConversationRefresh({{kCnvC2C, "cscmd_1"}, {kCnvSystem, "100"}});
  Settle();
  const auto changes = session.changes();
  ASSERT_EQ(changes.size(), 1u);
  // Keyed by id alone: "D5" comes later than "G5" and wins.
  EXPECT_EQ(changes[0], (TimChangedPeers{{5, 3}, {777, 9}}));
  Im_RemoveSessionCallBack(&session);
}

TEST_F(ChatSessionTest, UnInitDropsRegistrations) {
  Im_RegConnCallBack(&conn_);
  Im_UnInit();
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  EXPECT_TRUE(conn_.events().empty());
}

}  // namespace
}  // namespace kuvo_test
