#include "timer_service.h"

#include <chrono>
#include <utility>

namespace kuvocore {

TimerService::TimerService(std::atomic<int>* fired, PostToRunner post,
                           std::function<bool()> on_runner)
    : fired_(fired),
      post_(std::move(post)),
      on_runner_(std::move(on_runner)),
      epoch_(std::chrono::steady_clock::now()) {
  std::lock_guard<std::mutex> lock(mutex_);
  thread_ = std::thread([this] { Loop(); });
  thread_id_ = thread_.get_id();
}

TimerService::~TimerService() {
  Shutdown();
}

int64_t TimerService::RealMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               epoch_)
      .count();
}

int64_t TimerService::NowLocked() const {
  return manual_ ? manual_now_ms_ : RealMs() + real_offset_ms_;
}

bool TimerService::Start(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink) {
  if (id == 0 || !sink) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    pending_[id] = Entry{NowLocked() + static_cast<int64_t>(interval_ms), next_order_++, sink};
  }
  wake_.notify_all();
  return true;
}

template <typename Predicate>
void TimerService::WaitForRunningCallLocked(std::unique_lock<std::mutex>& lock,
                                            Predicate running_matches) {
  // Called from inside OnTimer: that call is the caller itself.
  if (running_ && (running_on_runner_ ? (on_runner_ && on_runner_()) : IsTimerThread())) return;
  while (running_ && running_matches()) {
    const uint64_t call = call_number_;
    ++call_waiters_;
    hold_.notify_all();
    done_.wait(lock, [&] { return !running_ || call_number_ != call; });
    --call_waiters_;
    // The timer thread holds back its next call until the waiters have had the lock, so that
    // the caller can disarm what the finished call armed before it can fire.
    wake_.notify_all();
  }
}

template <typename Predicate>
void TimerService::DropPostedLocked(Predicate matches) {
  for (auto it = posted_.begin(); it != posted_.end();) {
    it = matches(it->second) ? posted_.erase(it) : std::next(it);
  }
}

bool TimerService::Stop(uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  bool was_pending = pending_.erase(id) > 0;
  const size_t posted = posted_.size();
  DropPostedLocked(
      [&](const std::pair<uint32_t, Timer::ITimerEvent*>& p) { return p.first == id; });
  was_pending = was_pending || posted_.size() != posted;
  WaitForRunningCallLocked(lock, [&] { return running_id_ == id; });
  pending_.erase(id);  // the finished call may have armed it again
  return was_pending;
}

void TimerService::RemoveSink(Timer::ITimerEvent* sink) {
  if (!sink) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const auto erase_sink = [&] {
    for (auto it = pending_.begin(); it != pending_.end();) {
      it = it->second.sink == sink ? pending_.erase(it) : std::next(it);
    }
  };
  erase_sink();
  DropPostedLocked(
      [&](const std::pair<uint32_t, Timer::ITimerEvent*>& p) { return p.second == sink; });
  WaitForRunningCallLocked(lock, [&] { return running_sink_ == sink; });
  erase_sink();
}

void TimerService::Shutdown() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    pending_.clear();
    posted_.clear();
  }
  wake_.notify_all();
  done_.notify_all();
  hold_.notify_all();
  if (!thread_.joinable()) return;
  if (IsTimerThread()) {
    thread_.detach();  // shut down from inside OnTimer: the loop ends when the call returns
  } else {
    thread_.join();
  }
}

bool TimerService::FireOnRunner(bool on) {
  if (on && !post_) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  fire_on_runner_ = on;
  return true;
}

void TimerService::HoldCalls(bool on) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_calls_ = on;
  }
  hold_.notify_all();
}

bool TimerService::WaitCallHeld(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return done_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return call_held_; });
}

void TimerService::RunCallLocked(std::unique_lock<std::mutex>& lock, uint32_t id,
                                 Timer::ITimerEvent* sink, bool on_runner) {
  running_ = true;
  running_on_runner_ = on_runner;
  running_id_ = id;
  running_sink_ = sink;
  ++call_number_;
  if (hold_calls_) {
    call_held_ = true;
    done_.notify_all();
    hold_.wait(lock, [this] { return !hold_calls_ || call_waiters_ > 0 || stopping_; });
    call_held_ = false;
  }
  lock.unlock();
  if (sink->IsAlive()) {
    if (fired_) fired_->fetch_add(1);
    sink->OnTimer(id);
  }
  lock.lock();
  running_ = false;
  running_on_runner_ = false;
  running_id_ = 0;
  running_sink_ = nullptr;
  done_.notify_all();
}

void TimerService::RunPostedCall(uint64_t call) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = posted_.find(call);
  if (it == posted_.end() || stopping_) return;
  const uint32_t id = it->second.first;
  Timer::ITimerEvent* sink = it->second.second;
  posted_.erase(it);
  RunCallLocked(lock, id, sink, true);
  // A Stop or RemoveSink that waited for this call gets the lock before the timer thread's next.
  wake_.notify_all();
}

void TimerService::UseManualClock(bool manual) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (manual == manual_) return;
    if (manual) {
      manual_now_ms_ = manual_target_ms_ = RealMs() + real_offset_ms_;
    } else {
      real_offset_ms_ = manual_target_ms_ - RealMs();
    }
    manual_ = manual;
  }
  wake_.notify_all();
}

bool TimerService::ManualClockSettledLocked() const {
  // A call on the runner is not waited for: it runs when the runner comes to it.
  if ((running_ && !running_on_runner_) || manual_now_ms_ != manual_target_ms_) return false;
  for (const auto& entry : pending_) {
    if (entry.second.due_ms <= manual_target_ms_) return false;
  }
  return true;
}

bool TimerService::Advance(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!manual_ || stopping_) return false;
  manual_target_ms_ += ms;
  wake_.notify_all();
  if (IsTimerThread()) return true;  // the loop fires the due timers once this call returns
  done_.wait(lock, [this] { return stopping_ || !manual_ || ManualClockSettledLocked(); });
  return true;
}

std::vector<uint32_t> TimerService::PendingIds() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint32_t> ids;
  ids.reserve(pending_.size());
  for (const auto& entry : pending_) ids.push_back(entry.first);
  return ids;
}

void TimerService::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    auto next = pending_.end();
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (next == pending_.end() || it->second.due_ms < next->second.due_ms ||
          (it->second.due_ms == next->second.due_ms && it->second.order < next->second.order)) {
        next = it;
      }
    }
    // Due times are measured against the manual target, the clock stepping along.
    const int64_t now = manual_ ? manual_target_ms_ : NowLocked();
    if (next != pending_.end() && next->second.due_ms <= now) {
      const uint32_t id = next->first;
      Timer::ITimerEvent* sink = next->second.sink;
      if (manual_ && next->second.due_ms > manual_now_ms_) manual_now_ms_ = next->second.due_ms;
      pending_.erase(next);
      if (fire_on_runner_) {
        const uint64_t call = ++next_posted_;
        posted_[call] = {id, sink};
        lock.unlock();
        const bool posted = post_(this, call);
        lock.lock();
        if (!posted) posted_.erase(call);
        continue;
      }
      RunCallLocked(lock, id, sink, false);
      wake_.wait(lock, [this] { return call_waiters_ == 0 || stopping_; });
      continue;
    }
    if (manual_) {
      manual_now_ms_ = manual_target_ms_;
      done_.notify_all();  // an Advance may be waiting for the clock to settle
      wake_.wait(lock);
    } else if (next == pending_.end()) {
      wake_.wait(lock);
    } else {
      wake_.wait_for(lock, std::chrono::milliseconds(next->second.due_ms - now));
    }
  }
  done_.notify_all();
}

}  // namespace kuvocore
