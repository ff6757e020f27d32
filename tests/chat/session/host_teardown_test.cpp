// Tearing down the way hosts do: a callback hands its work to the host's UI thread and waits
// until it ran there (SendMessage style), and the UI thread removes and destroys the object, or
// calls Im_UnInit, in reaction. Nothing waits for the callback, the object goes only once no call
// into it can run (checked under ASan while events keep arriving), and no SDK call of the
// library's own follows Im_UnInit's start.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KuvoChat.h"
#include "base/task_runner.h"
#include "chat_session_fixture.h"
#include "guide_chat_teardown.h"
#include "host_ui_thread.h"
#include "kuvocore_control.h"
#include "message_recorder.h"
#include "tim/tim_control.h"

namespace kuvo_test {
namespace {

Base::ITaskRunner* KuvocoreRunner() {
  void* object = nullptr;
  GetKuvocoreObject(kKuvocoreTaskRunner, &object);
  return static_cast<Base::ITaskRunner*>(object);
}

std::atomic<bool> g_host_destroyed{false};
std::atomic<int> g_calls_after_destroy{0};

// A host object whose every callback hands `on_ui` to the UI thread and waits for it.
class UiBoundHost final : public IConnCallBack, public IMsgCallBack {
 public:
  UiBoundHost(HostUiThread* ui, std::function<void(UiBoundHost*)> on_ui)
      : ui_(ui), on_ui_(std::move(on_ui)) {}
  ~UiBoundHost() { g_host_destroyed = true; }
  void OnConnEvent(int32_t, std::string text) override { Handle(text); }
  void OnNewMsgs(const TimMsgList* msgs) override { Handle(msgs->front().content); }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}

 private:
  void Handle(const std::string& what) {
    if (g_host_destroyed) ++g_calls_after_destroy;
    seen_.push_back(what);  // the object's own memory: ASan sees a call after the delete
    ui_->Send([this] { on_ui_(this); }, "the UI thread's reaction to a callback");
    ++handled_;  // the call goes on after the UI thread has reacted
  }
  HostUiThread* ui_;
  std::function<void(UiBoundHost*)> on_ui_;
  std::vector<std::string> seen_;
  int handled_ = 0;
};

class HostTeardownTest : public ChatSessionTest {};

TEST_F(HostTeardownTest, TheUiThreadRemovesAndDestroysThroughTheRunnerWhileEventsKeepArriving) {
  g_host_destroyed = false;
  g_calls_after_destroy = 0;
  LoginToLoggedIn();
  Im_NotifyReleaseData();
  Base::ITaskRunner* runner = KuvocoreRunner();
  std::atomic<bool> torn_down{false};
  {
    HostUiThread ui;
    auto* host = new UiBoundHost(&ui, [&](UiBoundHost* self) {
      if (torn_down.exchange(true)) return;
      guide::RemoveAndDestroy(self, runner);  // the recipe of docs/examples
    });
    Im_RegConnCallBack(host);
    Im_RegMsgCallBack(host);
    // Events keep arriving, from the SDK's thread, before, during and after the tear-down.
    for (int i = 0; i < 200 && !g_host_destroyed; ++i) {
      tim_control::RaiseRefresh();
      tim_control::DeliverNewMessages({Custom("100", "YWJj")});
      if (i % 20 == 19) tim_control::WaitIdle();
    }
    for (int i = 0; i < 50; ++i) {
      tim_control::RaiseRefresh();
      tim_control::DeliverNewMessages({Custom("100", "eHl6")});
    }
    Settle();
  }
  EXPECT_TRUE(torn_down.load());
  EXPECT_TRUE(g_host_destroyed.load());
  EXPECT_EQ(g_calls_after_destroy.load(), 0);
}

TEST_F(HostTeardownTest, ACallbackMayRemoveAndDestroyItselfAtOnceOnTheRunner) {
  g_host_destroyed = false;
  g_calls_after_destroy = 0;
  LoginToLoggedIn();
  Base::ITaskRunner* runner = KuvocoreRunner();
  HostUiThread ui;
  std::atomic<bool> torn_down{false};
  auto* host = new UiBoundHost(&ui, [](UiBoundHost*) {});
  // The conversation callback of another object tears `host` down from the runner's thread.
  RecordingConn trigger;
  trigger.set_hook([&] {
    if (!torn_down.exchange(true)) guide::RemoveAndDestroy(host, runner);
  });
  Im_RegConnCallBack(host);
  Im_RegConnCallBack(&trigger);
  for (int i = 0; i < 20; ++i) tim_control::RaiseRefresh();
  Settle();
  EXPECT_TRUE(g_host_destroyed.load()) << "destroyed at once, on the runner";
  EXPECT_EQ(g_calls_after_destroy.load(), 0);
  Im_RemoveConnCallBack(&trigger);
}

TEST_F(HostTeardownTest, UnInitFromTheUiThreadWhileACallbackWaitsForItCompletes) {
  RecordingConn later;
  HostUiThread ui;
  std::atomic<bool> uninit_returned{false};
  // Whichever of the two interfaces hears of the login first sends Im_UnInit to the UI thread
  // and waits for it; the other one must then hear nothing.
  std::atomic<bool> sent{false};
  const auto tear_down = [&] {
    if (sent.exchange(true)) return;
    ui.Send(
        [&] {
          Im_UnInit();
          uninit_returned = true;
        },
        "Im_UnInit on the UI thread while a callback waits for it");
  };
  conn_.set_hook(tear_down);
  later.set_hook(tear_down);
  Im_RegConnCallBack(&conn_);
  Im_RegConnCallBack(&later);
  ASSERT_TRUE(Init());
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  tim_control::RaiseRefresh();
  Settle();
  conn_.set_hook(nullptr);
  later.set_hook(nullptr);
  EXPECT_TRUE(uninit_returned.load());
  EXPECT_EQ(conn_.events().size() + later.events().size(), 1u)
      << "a call began after Im_UnInit had closed the manager";
  EXPECT_FALSE(tim_control::IsInitialized());
}

// The calls after which only handle releases may follow.
bool IsRequest(const std::string& name) {
  return name != "DestroyConversation" && name != "DestroyTIMMessage";
}

TEST_F(HostTeardownTest, NoHistoryRetryIsIssuedOnceUnInitHasBegunAndNothingFollowsTimUninit) {
  MessageRecorder recorder;
  Im_RegMsgCallBack(&recorder);
  LoginToLoggedIn();
  tim_control::StoreMessages({Custom("77", "YWJj")});
  auto blocker = std::make_unique<RunnerBlocker>();
  ASSERT_NE(Im_GetMsgList(9, 77, 5, 1, nullptr), 0u);  // one stored message: a short page
  tim_control::WaitIdle();                             // the page waits behind the blocker
  // The retry, on the runner, is held inside its first SDK call.
  tim_control::HoldNextCall("CreateConversation");
  blocker->Release();
  ASSERT_TRUE(tim_control::WaitCallHeld(30000)) << "no retry of the short page";
  std::thread host([] { Im_UnInit(); });
  // Im_UnInit has begun once it logs out.
  EXPECT_TRUE(tim_control::WaitForCalls("TIMLogout", 1, 30000));
  tim_control::ReleaseHeldCall();
  {
    DeadlockWatchdog watchdog("Im_UnInit while a history retry is under way");
    host.join();
  }
  blocker.reset();
  Settle();
  const auto log = tim_control::CallLog();
  const auto logout = std::find_if(log.begin(), log.end(), [](const tim_control::CallRecord& c) {
    return c.name == "TIMLogout";
  });
  ASSERT_NE(logout, log.end());
  for (auto it = logout; it != log.end(); ++it) {
    EXPECT_TRUE(it->name != "GetMsgs" && it->name != "GetMsgsForward" &&
                it->name != "SyncC2CRambleMsgs")
        << it->name << " issued after Im_UnInit began";
  }
  const auto uninit = std::find_if(log.begin(), log.end(), [](const tim_control::CallRecord& c) {
    return c.name == "TIMUninit";
  });
  ASSERT_NE(uninit, log.end());
  for (auto it = std::next(uninit); it != log.end(); ++it) {
    EXPECT_FALSE(IsRequest(it->name)) << it->name << " after TIMUninit";
  }
  EXPECT_TRUE(recorder.pages().empty());
}

}  // namespace
}  // namespace kuvo_test
