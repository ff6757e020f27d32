// The stand-in's callback thread: runs queued events one at a time, in order, off the caller's
// thread (or on it, when synchronous delivery is on).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tim {

class Dispatcher {
 public:
  // The one dispatcher; it is never destroyed, so no thread is joined while the process exits.
  static Dispatcher& Get();

  // Runs `event` on the callback thread after `delay_ms`, or at once on this thread when
  // synchronous delivery is on and there is no delay.
  void Post(std::function<void()> event, uint32_t delay_ms = 0);
  void SetSynchronous(bool on);
  bool synchronous();
  // Waits until nothing is queued or running. Not from the callback thread.
  void WaitIdle();
  // Drops every queued event and waits for a running one, unless called from inside it.
  void DropQueued();
  bool OnCallbackThread();

 private:
  Dispatcher() = default;
  struct Item {
    std::chrono::steady_clock::time_point due;
    std::function<void()> event;
  };
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Item> queue_;
  bool running_ = false;
  bool synchronous_ = false;
  bool started_ = false;
  std::thread::id thread_id_;
  std::thread thread_;
};

}  // namespace tim
