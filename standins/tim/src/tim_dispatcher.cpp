#include "tim_dispatcher.h"

#include <utility>

namespace tim {

Dispatcher& Dispatcher::Get() {
  static Dispatcher* dispatcher = new Dispatcher();
  return *dispatcher;
}

void Dispatcher::Post(std::function<void()> event, uint32_t delay_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (synchronous_ && delay_ms == 0) {
    lock.unlock();
    event();
    return;
  }
  if (!started_) {
    started_ = true;
    thread_ = std::thread([this] { Loop(); });
    thread_id_ = thread_.get_id();
  }
  queue_.push_back(
      {std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms), std::move(event)});
  wake_.notify_all();
}

void Dispatcher::SetSynchronous(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  synchronous_ = on;
}

bool Dispatcher::synchronous() {
  std::lock_guard<std::mutex> lock(mutex_);
  return synchronous_;
}

void Dispatcher::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void Dispatcher::DropQueued() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::deque<Item> dropped;
  dropped.swap(queue_);
  if (started_ && std::this_thread::get_id() != thread_id_) {
    idle_.wait(lock, [this] { return !running_; });
  }
  lock.unlock();
  idle_.notify_all();
  // `dropped` is destroyed here, outside the lock.
}

bool Dispatcher::OnCallbackThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  return started_ && std::this_thread::get_id() == thread_id_;
}

void Dispatcher::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (queue_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const auto due = queue_.front().due;
    if (std::chrono::steady_clock::now() < due) {
      wake_.wait_until(lock, due);
      continue;
    }
    std::function<void()> event = std::move(queue_.front().event);
    queue_.pop_front();
    running_ = true;
    lock.unlock();
    event();
    event = nullptr;
    lock.lock();
    running_ = false;
    idle_.notify_all();
  }
}

}  // namespace tim
