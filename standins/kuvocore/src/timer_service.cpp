#include "timer_service.h"

#include <chrono>

namespace kuvocore {

TimerService::TimerService(std::atomic<int>* fired)
    : fired_(fired), epoch_(std::chrono::steady_clock::now()) {
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
  if (IsTimerThread()) return;  // called from inside OnTimer: that call is the caller itself
  while (running_ && running_matches()) {
    const uint64_t call = call_number_;
    ++call_waiters_;
    done_.wait(lock, [&] { return !running_ || call_number_ != call; });
    --call_waiters_;
    // The timer thread holds back its next call until the waiters have had the lock, so that
    // the caller can disarm what the finished call armed before it can fire.
    wake_.notify_all();
  }
}

bool TimerService::Stop(uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool was_pending = pending_.erase(id) > 0;
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
  WaitForRunningCallLocked(lock, [&] { return running_sink_ == sink; });
  erase_sink();
}

void TimerService::Shutdown() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    pending_.clear();
  }
  wake_.notify_all();
  done_.notify_all();
  if (!thread_.joinable()) return;
  if (IsTimerThread()) {
    thread_.detach();  // shut down from inside OnTimer: the loop ends when the call returns
  } else {
    thread_.join();
  }
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
  if (running_ || manual_now_ms_ != manual_target_ms_) return false;
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
      running_ = true;
      running_id_ = id;
      running_sink_ = sink;
      ++call_number_;
      lock.unlock();
      if (sink->IsAlive()) {
        if (fired_) fired_->fetch_add(1);
        sink->OnTimer(id);
      }
      lock.lock();
      running_ = false;
      running_id_ = 0;
      running_sink_ = nullptr;
      done_.notify_all();
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
