// A host's UI thread for the host-pattern tests: a thread with a queue of work, to which other
// threads post (PostMessage style) or send and wait until the work has run (SendMessage style),
// and a watchdog that turns a hang into a failure that says "deadlock".
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kuvo_test {

// How long one step of a host pattern may take before it counts as a deadlock. Generous: the
// wine32 runs go through an emulator.
constexpr std::chrono::seconds kDeadlockLimit{30};

class HostUiThread {
 public:
  HostUiThread();
  // Runs what is queued, then ends the thread.
  ~HostUiThread();
  HostUiThread(const HostUiThread&) = delete;
  HostUiThread& operator=(const HostUiThread&) = delete;

  void Post(std::function<void()> work);
  // Runs `work` on the UI thread and waits until it has run (on the UI thread itself: at once).
  // When it has not run within kDeadlockLimit, records a failure naming `what` as a deadlock
  // and returns false.
  bool Send(std::function<void()> work, const std::string& what);
  bool IsCurrent() const { return std::this_thread::get_id() == id_; }

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::thread thread_;
  std::thread::id id_;
};

// Ends the process with "deadlock: <what>" unless destroyed within `limit`: for waits that a
// faulty library would leave no way out of.
class DeadlockWatchdog {
 public:
  explicit DeadlockWatchdog(std::string what, std::chrono::seconds limit = kDeadlockLimit);
  ~DeadlockWatchdog();
  DeadlockWatchdog(const DeadlockWatchdog&) = delete;
  DeadlockWatchdog& operator=(const DeadlockWatchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

// A one-shot signal with a bounded wait.
class Signal {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    cv_.notify_all();
  }
  // False when not set within kDeadlockLimit.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, kDeadlockLimit, [this] { return set_; });
  }
  bool IsSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
};

}  // namespace kuvo_test
