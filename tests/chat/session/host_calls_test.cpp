// When the host may be called: login outcomes reported from inside TIMLogin, no lock held while
// the host runs, nothing queued for one manager delivered by the next, and host exceptions that
// neither escape nor stall delivery. (Removal and Im_UnInit from other threads: see
// host_teardown_test.cpp.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "KuvoChat.h"
#include "chat_session_fixture.h"
#include "kuvocore_control.h"
#include "message_recorder.h"
#include "tim/tim_control.h"

namespace kuvo_test {
namespace {

using Events = std::vector<std::pair<int32_t, std::string>>;

std::pair<std::unique_ptr<RecordingConn>, std::unique_ptr<RecordingConn>> OrderedPair() {
  auto first = std::make_unique<RecordingConn>();
  auto second = std::make_unique<RecordingConn>();
  if (reinterpret_cast<intptr_t>(first.get()) > reinterpret_cast<intptr_t>(second.get())) {
    std::swap(first, second);
  }
  return {std::move(first), std::move(second)};
}

TEST_F(ChatSessionTest, ALoginSucceedingInsideTimLoginOnTheRunnerLeavesTheUserLoggedIn) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  tim_control::SetSynchronousCallbacks(true);
  bool accepted = false;
  RunOnRunner([&] { accepted = Im_Login(kUserId, "36862", "sig"); });
  tim_control::SetSynchronousCallbacks(false);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(conn_.events(), (Events{{0, "tim login success"}}));
  EXPECT_FALSE(Im_Login(kUserId, "36862", "sig")) << "already logged in";
  tim_control::RaiseDisconnected(6002);
  tim_control::RaiseConnected();
  Settle();
  EXPECT_EQ(conn_.events().back(), std::make_pair(0, std::string("tim connect success")));
}

TEST_F(ChatSessionTest, ALoginFailingInsideTimLoginOnTheRunnerAllowsTheNextLogin) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  tim_control::LoginScript failing;
  failing.outcome = 70001;
  tim_control::SetLoginScript(failing);
  tim_control::SetSynchronousCallbacks(true);
  RunOnRunner([] { Im_Login(kUserId, "36862", "sig"); });
  tim_control::SetSynchronousCallbacks(false);
  EXPECT_EQ(conn_.events(), (Events{{-4, "tim login error"}}));
  tim_control::SetLoginScript({});
  EXPECT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  EXPECT_EQ(conn_.events().back(), std::make_pair(0, std::string("tim login success")));
}

TEST_F(ChatSessionTest, ACallbackOfASynchronousOutcomeMayWaitForAnotherThreadCallingAnExport) {
  Im_RegConnCallBack(&conn_);
  ASSERT_TRUE(Init());
  std::atomic<bool> other_thread_done{false};
  conn_.set_hook([&] {
    auto done = std::make_shared<std::promise<void>>();
    std::thread other([done] {
      Im_Login(kUserId, "36862", "sig");
      done->set_value();
    });
    // Bounded so that a library holding its lock here fails the test instead of hanging it.
    other_thread_done =
        done->get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (other_thread_done) {
      other.join();
    } else {
      other.detach();  // blocked on the library's lock until this callback returns
    }
  });
  tim_control::SetSynchronousCallbacks(true);
  RunOnRunner([] { Im_Login(kUserId, "36862", "sig"); });
  tim_control::SetSynchronousCallbacks(false);
  conn_.set_hook(nullptr);
  EXPECT_TRUE(other_thread_done.load());
}

TEST_F(ChatSessionTest, AnAppIdOfThirtyThreeBitsReachesTheSdkAndTheLogWhole) {
  const uint64_t app_id = (UINT64_C(1) << 32) + 5;
  ASSERT_TRUE(Im_Init(app_id, 0, DataPath().c_str()));
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  const auto logins = tim_control::CallsNamed("TIMLogin");
  ASSERT_EQ(logins.size(), 1u);
  ASSERT_GE(logins[0].args.size(), 3u);
  EXPECT_EQ(logins[0].args[0], "5") << "the SDK takes the low 32 bits";
  EXPECT_EQ(logins[0].args[2], "4294967301") << "the user record's app id text is whole";
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::Login]Start login,appid=4294967301,user=" +
                                          std::to_string(kUserId) + ",code=0"));
}

TEST_F(ChatSessionTest, WhatWasQueuedForOneManagerNeverReachesTheNext) {
  MessageRecorder recorder;
  Im_RegMsgCallBack(&recorder);
  LoginToLoggedIn();
  Im_NotifyReleaseData();
  tim_control::StoreMessages({Custom("100", "YWJj")});
  uint64_t fresh = 0;
  {
    RunnerBlocker blocker;
    ASSERT_NE(Im_GetMsgList(9, 100, 1, 1, nullptr), 0u);
    tim_control::MessageShape batch = Custom("100", "eHl6");
    batch.store = false;
    tim_control::DeliverNewMessages({batch});
    tim_control::RaiseDisconnected(6002);
    tim_control::WaitIdle();  // all three now wait in the runner's queue
    Im_UnInit();

    Im_RegMsgCallBack(&recorder);
    Im_RegConnCallBack(&conn_);
    ASSERT_TRUE(Init());
    ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
    Im_NotifyReleaseData();
    tim_control::StoreMessages({Custom("100", "ZGVm")});
    fresh = Im_GetMsgList(9, 100, 2, 1, nullptr);  // numbers start again at 1
    ASSERT_NE(fresh, 0u);
  }
  Settle();
  const auto pages = recorder.pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].seq, fresh);
  ASSERT_EQ(pages[0].msgs.size(), 2u) << "the page of the new request, not the old one";
  EXPECT_TRUE(recorder.new_msgs().empty()) << "the old manager's batch";
  EXPECT_EQ(KuvocoreTest_PendingTimerIds(nullptr, 0), 0u) << "the old manager's disconnection";
}

// A message callback that runs `hook` inside OnNewMsgs.
class HookedMsg final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const auto& m : *msgs) contents_.push_back(m.content);
      hook = hook_;
    }
    if (hook) hook();
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
  void set_hook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
  }
  std::vector<std::string> contents() {
    std::lock_guard<std::mutex> lock(mutex_);
    return contents_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> contents_;
  std::function<void()> hook_;
};

TEST_F(ChatSessionTest, ALogoutDuringTheHandOverHoldsWhatArrivesAfterIt) {
  HookedMsg msgs;
  Im_RegMsgCallBack(&msgs);
  LoginToLoggedIn();
  tim_control::DeliverNewMessages({Custom("100", "YWJj")});
  Settle();
  std::atomic<int> calls{0};
  msgs.set_hook([&] {
    if (calls.fetch_add(1) != 0) return;
    Im_Loginout();
    // Arrives while the hand-over is still going on.
    tim_control::DeliverNewMessages({Custom("100", "eHl6")});
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  });
  Im_NotifyReleaseData();
  msgs.set_hook(nullptr);
  EXPECT_EQ(msgs.contents(), std::vector<std::string>{"abc"});
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  Im_NotifyReleaseData();
  EXPECT_EQ(msgs.contents(), (std::vector<std::string>{"abc", "xyz"}));
}

TEST_F(ChatSessionTest, HostExceptionsNeitherLeaveTheLibraryNorStallDelivery) {
#if defined(_WIN32) && defined(__i386__)
  // The 32-bit Windows build unwinds with tables that each module registers with its own,
  // statically linked unwinder, so an exception thrown in the host's module ends the process
  // before it can reach the library's handler. Hosts must not throw from callbacks there.
  GTEST_SKIP() << "exceptions cannot leave the host's module in the i686 build";
#endif
  auto [thrower, listener] = OrderedPair();
  thrower->set_hook([] { throw std::bad_alloc(); });
  Im_RegConnCallBack(thrower.get());
  Im_RegConnCallBack(listener.get());
  HookedMsg throwing_msgs;
  throwing_msgs.set_hook([] { throw std::runtime_error("host failure"); });
  Im_RegMsgCallBack(&throwing_msgs);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  tim_control::DeliverNewMessages({Custom("100", "YWJj")});
  Settle();
  EXPECT_NO_THROW(Im_NotifyReleaseData());
  tim_control::DeliverNewMessages({Custom("100", "eHl6")});  // delivered at once, not held
  tim_control::RaiseRefresh();
  Settle();
  EXPECT_EQ(throwing_msgs.contents(), (std::vector<std::string>{"abc", "xyz"}));
  EXPECT_EQ(listener->events(),
            (Events{{0, "tim login success"}, {1, "tim data refresh success"}}));
  EXPECT_EQ(thrower->events().size(), 2u);
}

}  // namespace
}  // namespace kuvo_test
