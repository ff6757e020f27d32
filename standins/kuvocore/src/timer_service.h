// TimerService: one-shot timers fired on a thread of their own, with a clock that tests may
// drive by hand.
//
// Calls into a sink are made without any lock held. Stop and RemoveSink wait for a call for
// their id or sink that is running (unless made on the thread of that call), and remove it again
// if that call re-armed it, so nothing for them starts after they return.
//
// Calls run on the timer thread, or, when FireOnRunner is on, in tasks posted to the task runner
// (a call posted but not yet begun is dropped by Stop and RemoveSink).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/timer_event.h"

namespace kuvocore {

class TimerService {
 public:
  // Posts a call to the task runner; false when it could not.
  using PostToRunner = std::function<bool(TimerService* service, uint64_t call)>;
  // `fired` (may be null) counts the OnTimer calls made. `post` and `on_runner` (may be empty)
  // let calls run on the task runner.
  TimerService(std::atomic<int>* fired, PostToRunner post = nullptr,
               std::function<bool()> on_runner = nullptr);
  ~TimerService();
  TimerService(const TimerService&) = delete;
  TimerService& operator=(const TimerService&) = delete;

  bool Start(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink);
  bool Stop(uint32_t id);
  void RemoveSink(Timer::ITimerEvent* sink);
  // Drops pending timers, waits for a running call and ends the thread. Idempotent.
  void Shutdown();

  // Later calls run in tasks on the task runner (on) or on the timer thread. False without one.
  bool FireOnRunner(bool on);
  // While on, a call that has begun waits, before calling its sink, until a Stop or RemoveSink
  // waits for it (or holding is switched off), so that tests can line a stop up with it.
  void HoldCalls(bool on);
  // True once a call is held (within `timeout_ms`).
  bool WaitCallHeld(uint32_t timeout_ms);
  // The task posted by FireOnRunner: runs posted call `call` unless it was dropped.
  void RunPostedCall(uint64_t call);

  void UseManualClock(bool manual);
  bool Advance(uint32_t ms);
  std::vector<uint32_t> PendingIds();
  bool IsTimerThread() const { return std::this_thread::get_id() == thread_id_; }

 private:
  struct Entry {
    int64_t due_ms;
    uint64_t order;  // start order breaks ties between equal due times
    Timer::ITimerEvent* sink;
  };

  int64_t NowLocked() const;
  int64_t RealMs() const;
  bool ManualClockSettledLocked() const;
  // Waits until no call matching `running_matches` is running on the timer thread.
  template <typename Predicate>
  void WaitForRunningCallLocked(std::unique_lock<std::mutex>& lock, Predicate running_matches);
  // Runs one call of `sink` for `id` on this thread; lock held on entry and on return.
  void RunCallLocked(std::unique_lock<std::mutex>& lock, uint32_t id, Timer::ITimerEvent* sink,
                     bool on_runner);
  template <typename Predicate>
  void DropPostedLocked(Predicate matches);
  void Loop();

  std::atomic<int>* fired_;
  const PostToRunner post_;
  const std::function<bool()> on_runner_;
  bool fire_on_runner_ = false;
  std::map<uint64_t, std::pair<uint32_t, Timer::ITimerEvent*>> posted_;  // by call number
  uint64_t next_posted_ = 0;
  bool running_on_runner_ = false;
  bool hold_calls_ = false;
  bool call_held_ = false;
  std::condition_variable hold_;  // a held call waits here
  std::mutex mutex_;
  std::condition_variable wake_;  // the timer thread waits here
  std::condition_variable done_;  // callers waiting for a call to end wait here
  std::map<uint32_t, Entry> pending_;
  uint64_t next_order_ = 0;
  bool manual_ = false;
  // The manual clock steps to each timer's due time as it fires, up to the target that
  // Advance has set, so that timers started from OnTimer count from their caller's time.
  int64_t manual_now_ms_ = 0;
  int64_t manual_target_ms_ = 0;
  int64_t real_offset_ms_ = 0;  // keeps the real clock continuous after manual stretches
  bool running_ = false;
  uint32_t running_id_ = 0;
  Timer::ITimerEvent* running_sink_ = nullptr;
  uint64_t call_number_ = 0;
  int call_waiters_ = 0;  // Stop / RemoveSink calls waiting for the running call to end
  bool stopping_ = false;
  const std::chrono::steady_clock::time_point epoch_;
  std::thread thread_;
  std::thread::id thread_id_;
};

}  // namespace kuvocore
