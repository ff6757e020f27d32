#include "host_services.h"

#include <utility>
#include <vector>

namespace kit_host {

TaskRunner::TaskRunner() : thread_([this] { Loop(); }) {}

TaskRunner::~TaskRunner() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool TaskRunner::IsCurrentThread() {
  return std::this_thread::get_id() == thread_.get_id();
}

void TaskRunner::PostTask(Base::CSmartPtr<Base::CRunnableTask> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || !task) return;
    tasks_.push_back(std::move(task));
  }
  changed_.notify_all();
}

void TaskRunner::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return tasks_.empty() && !running_task_; });
}

void TaskRunner::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;
    Base::CSmartPtr<Base::CRunnableTask> task = std::move(tasks_.front());
    tasks_.pop_front();
    running_task_ = true;
    lock.unlock();
    task->Run();
    task = Base::CSmartPtr<Base::CRunnableTask>();
    lock.lock();
    running_task_ = false;
    changed_.notify_all();
  }
}

ThreadService::~ThreadService() {
  std::map<uint32_t, std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(threads_);
  }
  for (auto& entry : threads) entry.second.join();
}

bool ThreadService::StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) {
  if (!callback || key == nullptr) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  const uint32_t id = next_key_++;
  threads_.emplace(id, std::thread([callback] { callback->Run(); }));
  *key = id;
  return true;
}

bool ThreadService::StopThread(uint32_t key, int) {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = threads_.find(key);
    if (it == threads_.end()) return false;
    thread = std::move(it->second);
    threads_.erase(it);
  }
  // The job may stop its own thread from inside Run: that one is left to end by itself.
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
  return true;
}

}  // namespace kit_host
