// Kuvocore's timers through the exports: one-shot firing on the timer thread, stop, restart,
// removal and the manual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "base/timer_event.h"
#include "kuvocore.h"
#include "kuvocore_control.h"

namespace {

class Sink final : public Timer::ITimerEvent {
 public:
  Sink() = default;
  // As a real owner does: after this no call starts and a running one has ended.
  ~Sink() { RemoveTimerCallBack(this); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  bool IsAlive() override { return alive.load(); }
  void OnTimer(uint32_t id) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fired_.push_back(id);
      threads_.push_back(std::this_thread::get_id());
    }
    changed_.notify_all();
    if (hook) hook(id);
  }

  std::vector<uint32_t> Fired() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
  }
  std::vector<std::thread::id> Threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }
  // For the real-clock tests only: waits (bounded) until `count` calls were made.
  bool WaitForCalls(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20),
                             [&] { return fired_.size() >= count; });
  }

  std::atomic<bool> alive{true};
  std::function<void(uint32_t)> hook;  // set before the timer starts

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint32_t> fired_;
  std::vector<std::thread::id> threads_;
};

// A gate a test opens once.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

std::vector<uint32_t> Pending() {
  std::vector<uint32_t> ids(KuvocoreTest_PendingTimerIds(nullptr, 0));
  ids.resize(KuvocoreTest_PendingTimerIds(ids.data(), ids.size()));
  return ids;
}

class TimerServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Kuvocore_Startup());
    ASSERT_TRUE(KuvocoreTest_UseManualClock(true));
  }
  void TearDown() override { Kuvocore_Shutdown(); }
};

TEST_F(TimerServiceTest, FiresOnceWhenDueOnTheTimerThread) {
  Sink sink;
  void* runner_object = nullptr;
  ASSERT_TRUE(GetKuvocoreObject(kKuvocoreTaskRunner, &runner_object));
  auto* runner = static_cast<Base::ITaskRunner*>(runner_object);
  std::atomic<int> on_runner{0};
  sink.hook = [&](uint32_t) { on_runner += runner->IsCurrentThread() ? 1 : 0; };

  const uint32_t id = CreateTimerID();
  ASSERT_TRUE(StartTimerEx(id, 30000, &sink));
  EXPECT_EQ(Pending(), std::vector<uint32_t>{id});
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(29999));
  EXPECT_TRUE(sink.Fired().empty());
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(1));
  EXPECT_EQ(sink.Fired(), std::vector<uint32_t>{id});  // AdvanceClock waited for the call
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(100000));
  EXPECT_EQ(sink.Fired().size(), 1u);  // once only
  EXPECT_TRUE(Pending().empty());

  const uint32_t second = CreateTimerID();
  ASSERT_TRUE(StartTimerEx(second, 10, &sink));
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(10));
  const auto threads = sink.Threads();
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_NE(threads[0], std::this_thread::get_id());
  EXPECT_EQ(threads[0], threads[1]);  // always the same timer thread
  EXPECT_EQ(on_runner.load(), 0);     // and not the task runner's
  EXPECT_EQ(KuvocoreTest_TimersFired(), 2);
}

TEST_F(TimerServiceTest, IdsAreNeverZeroAndNeverRepeat) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < 100; ++i) ids.push_back(CreateTimerID());
  for (size_t i = 0; i < ids.size(); ++i) {
    EXPECT_NE(ids[i], 0u);
    if (i > 0) {
      EXPECT_NE(ids[i], ids[i - 1]);
    }
  }
}

TEST_F(TimerServiceTest, InvalidStartsArmNothing) {
  Sink sink;
  EXPECT_FALSE(StartTimerEx(0, 10, &sink));
  EXPECT_FALSE(StartTimerEx(CreateTimerID(), 10, nullptr));
  EXPECT_TRUE(Pending().empty());
  EXPECT_FALSE(StopTimerEx(12345));  // unknown id
  RemoveTimerCallBack(nullptr);
}

TEST_F(TimerServiceTest, FiresInDueOrderWithStartOrderBreakingTies) {
  Sink sink;
  const uint32_t a = CreateTimerID(), b = CreateTimerID(), c = CreateTimerID(), d = CreateTimerID();
  StartTimerEx(a, 300, &sink);
  StartTimerEx(b, 100, &sink);
  StartTimerEx(c, 200, &sink);
  StartTimerEx(d, 100, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(1000));
  EXPECT_EQ(sink.Fired(), (std::vector<uint32_t>{b, d, c, a}));
}

TEST_F(TimerServiceTest, StoppedTimerNeverFires) {
  Sink sink;
  const uint32_t id = CreateTimerID();
  ASSERT_TRUE(StartTimerEx(id, 100, &sink));
  EXPECT_TRUE(StopTimerEx(id));
  EXPECT_FALSE(StopTimerEx(id));
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(1000));
  EXPECT_TRUE(sink.Fired().empty());
  EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 1);
  EXPECT_EQ(KuvocoreTest_TimerStopCalls(), 2);
}

TEST_F(TimerServiceTest, RestartWithANewIdFiresOnlyTheNewOne) {
  Sink sink;
  const uint32_t first = CreateTimerID();
  StartTimerEx(first, 30000, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(20000));
  StopTimerEx(first);
  const uint32_t second = CreateTimerID();
  StartTimerEx(second, 30000, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(10000));
  EXPECT_TRUE(sink.Fired().empty());  // the new timer counts from its own start
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(20000));
  EXPECT_EQ(sink.Fired(), std::vector<uint32_t>{second});
}

TEST_F(TimerServiceTest, StartingAPendingIdAgainRearmsIt) {
  Sink sink;
  const uint32_t id = CreateTimerID();
  StartTimerEx(id, 100, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(50));
  StartTimerEx(id, 100, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(60));
  EXPECT_TRUE(sink.Fired().empty());
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(40));
  EXPECT_EQ(sink.Fired(), std::vector<uint32_t>{id});
}

TEST_F(TimerServiceTest, ASinkThatIsNoLongerAliveIsNotCalled) {
  Sink sink;
  sink.alive = false;
  StartTimerEx(CreateTimerID(), 10, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(10));
  EXPECT_TRUE(sink.Fired().empty());
  EXPECT_TRUE(Pending().empty());
}

TEST_F(TimerServiceTest, RemoveTimerCallBackDisarmsOnlyThatSink) {
  Sink removed, kept;
  StartTimerEx(CreateTimerID(), 10, &removed);
  StartTimerEx(CreateTimerID(), 20, &removed);
  const uint32_t other = CreateTimerID();
  StartTimerEx(other, 30, &kept);
  RemoveTimerCallBack(&removed);
  EXPECT_EQ(Pending(), std::vector<uint32_t>{other});
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(100));
  EXPECT_TRUE(removed.Fired().empty());
  EXPECT_EQ(kept.Fired(), std::vector<uint32_t>{other});
  EXPECT_EQ(KuvocoreTest_RemoveCalls(), 1);
}

TEST_F(TimerServiceTest, TimersStartedFromOnTimerCountFromTheFiringTime) {
  Sink sink;
  const uint32_t first = CreateTimerID(), chained = CreateTimerID();
  sink.hook = [&](uint32_t id) {
    if (id == first) StartTimerEx(chained, 100, &sink);
  };
  StartTimerEx(first, 100, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(199));
  EXPECT_EQ(sink.Fired(), std::vector<uint32_t>{first});
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(1));
  EXPECT_EQ(sink.Fired(), (std::vector<uint32_t>{first, chained}));
}

TEST_F(TimerServiceTest, CallsFromInsideOnTimerDoNotWaitForThemselves) {
  Sink sink;
  const uint32_t self = CreateTimerID(), next = CreateTimerID(), other = CreateTimerID();
  sink.hook = [&](uint32_t id) {
    if (id != self) return;
    StopTimerEx(self);             // its own, running call: must not deadlock
    StopTimerEx(other);            // a pending one: disarmed
    StartTimerEx(next, 5, &sink);  // a new one from the timer thread
    KuvocoreTest_AdvanceClock(0);  // returns at once on the timer thread
  };
  StartTimerEx(self, 10, &sink);
  StartTimerEx(other, 20, &sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(30));
  EXPECT_EQ(sink.Fired(), (std::vector<uint32_t>{self, next}));
}

TEST_F(TimerServiceTest, RemoveTimerCallBackWaitsForARunningCall) {
  ASSERT_TRUE(KuvocoreTest_UseManualClock(false));
  auto sink = std::make_unique<Sink>();
  Gate entered, release;
  std::atomic<bool> call_finished{false};
  std::atomic<bool> remove_returned{false};
  std::atomic<bool> returned_before_call_finished{false};
  sink->hook = [&](uint32_t) {
    entered.Open();
    release.Wait();
    // The remover must still be waiting while the call runs.
    if (remove_returned.load()) returned_before_call_finished = true;
    call_finished = true;
  };
  StartTimerEx(CreateTimerID(), 0, sink.get());
  entered.Wait();
  std::thread remover([&] {
    RemoveTimerCallBack(sink.get());
    if (!call_finished.load()) returned_before_call_finished = true;
    remove_returned = true;
    sink.reset();  // deleting the sink right after removal is allowed
  });
  while (KuvocoreTest_RemoveCalls() == 0) std::this_thread::yield();
  release.Open();
  remover.join();
  EXPECT_FALSE(returned_before_call_finished.load());
  EXPECT_TRUE(call_finished.load());
}

TEST_F(TimerServiceTest, StopTimerExWaitsForARunningCallThatRearmsItself) {
  ASSERT_TRUE(KuvocoreTest_UseManualClock(false));
  Sink sink;
  Gate entered, release;
  std::atomic<bool> call_finished{false};
  std::atomic<bool> stop_returned_early{false};
  const uint32_t id = CreateTimerID();
  sink.hook = [&](uint32_t fired) {
    if (call_finished.load()) return;  // a second call would be a failure, seen below
    entered.Open();
    release.Wait();
    StartTimerEx(fired, 0, &sink);  // re-arms while the stopper waits
    call_finished = true;
  };
  StartTimerEx(id, 0, &sink);
  entered.Wait();
  std::thread stopper([&] {
    StopTimerEx(id);
    if (!call_finished.load()) stop_returned_early = true;
  });
  while (KuvocoreTest_TimerStopCalls() == 0) std::this_thread::yield();
  release.Open();
  stopper.join();
  EXPECT_FALSE(stop_returned_early.load());
  EXPECT_TRUE(Pending().empty());  // the re-armed timer went with the stop
  const size_t calls_at_stop = sink.Fired().size();
  ASSERT_TRUE(KuvocoreTest_UseManualClock(true));
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(1000));
  EXPECT_EQ(sink.Fired().size(), calls_at_stop);  // nothing started after the stop returned
}

TEST_F(TimerServiceTest, RealClockFires) {
  ASSERT_TRUE(KuvocoreTest_UseManualClock(false));
  EXPECT_FALSE(KuvocoreTest_AdvanceClock(10));  // only the manual clock can be advanced
  Sink sink;
  const uint32_t id = CreateTimerID();
  ASSERT_TRUE(StartTimerEx(id, 20, &sink));
  ASSERT_TRUE(sink.WaitForCalls(1));
  EXPECT_EQ(sink.Fired(), std::vector<uint32_t>{id});
}

TEST_F(TimerServiceTest, ShutdownDropsPendingTimersAndLaterStarts) {
  Sink sink;
  StartTimerEx(CreateTimerID(), 10, &sink);
  Kuvocore_Shutdown();
  EXPECT_TRUE(Pending().empty());
  EXPECT_FALSE(StartTimerEx(CreateTimerID(), 10, &sink));
  EXPECT_FALSE(KuvocoreTest_UseManualClock(true));
  EXPECT_FALSE(KuvocoreTest_AdvanceClock(100));
  EXPECT_TRUE(sink.Fired().empty());
}

TEST_F(TimerServiceTest, ShutdownFromInsideOnTimerDoesNotDeadlock) {
  Sink sink;
  sink.hook = [](uint32_t) { Kuvocore_Shutdown(); };
  StartTimerEx(CreateTimerID(), 10, &sink);
  EXPECT_TRUE(KuvocoreTest_AdvanceClock(10));
  EXPECT_EQ(sink.Fired().size(), 1u);
  void* object = nullptr;
  EXPECT_FALSE(GetKuvocoreObject(kKuvocoreTaskRunner, &object));
}

TEST_F(TimerServiceTest, StartupStartsWithZeroedCounters) {
  Sink sink;
  StartTimerEx(CreateTimerID(), 10, &sink);
  Kuvocore_Shutdown();
  ASSERT_TRUE(Kuvocore_Startup());
  EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 0);
  StartTimerEx(CreateTimerID(), 10, &sink);
  EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 1);
  KuvocoreTest_ResetCounters();
  EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 0);
}

}  // namespace

namespace {

Base::ITaskRunner* Runner() {
  void* object = nullptr;
  GetKuvocoreObject(kKuvocoreTaskRunner, &object);
  return static_cast<Base::ITaskRunner*>(object);
}

TEST_F(TimerServiceTest, OnTheRunnerAStopDropsAPostedCallAndWaitsForARunningOne) {
  ASSERT_TRUE(KuvocoreTest_FireTimersOnRunner(true));
  Sink sink;
  bool on_runner = false;
  sink.hook = [&](uint32_t) { on_runner = Runner()->IsCurrentThread(); };
  // Posted but not yet begun: the stop drops it.
  const uint32_t dropped = CreateTimerID();
  Gate runner_free;
  Gate runner_blocked;
  struct Block {
    static void Run(Gate* blocked, Gate* free) {
      blocked->Open();
      free->Wait();
    }
  };
  Runner()->PostTask(Base::NewRunnableFunction(&Block::Run, &runner_blocked, &runner_free));
  runner_blocked.Wait();
  ASSERT_TRUE(StartTimerEx(dropped, 10, &sink));
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(10));  // posted behind the blocked task
  EXPECT_TRUE(StopTimerEx(dropped));
  runner_free.Open();
  KuvocoreTest_WaitRunnerIdle();
  EXPECT_TRUE(sink.Fired().empty());

  // Begun and held: the stop releases it and returns after it.
  ASSERT_TRUE(KuvocoreTest_HoldTimerCalls(true));
  const uint32_t running = CreateTimerID();
  ASSERT_TRUE(StartTimerEx(running, 10, &sink));
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(10));
  ASSERT_TRUE(KuvocoreTest_WaitTimerCallHeld(20000));
  StopTimerEx(running);
  EXPECT_EQ(sink.Fired(), std::vector<uint32_t>{running}) << "returned before the call ended";
  KuvocoreTest_HoldTimerCalls(false);
  KuvocoreTest_WaitRunnerIdle();
  EXPECT_TRUE(on_runner);
}

}  // namespace
