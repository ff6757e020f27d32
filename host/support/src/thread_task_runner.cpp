#include "kuvo_host/thread_task_runner.h"

#include <utility>

namespace kuvo_host {

ThreadTaskRunner::ThreadTaskRunner() {
  std::unique_lock<std::mutex> lock(mutex_);
  thread_ = std::thread([this] { Loop(); });
  thread_id_ = thread_.get_id();
}

ThreadTaskRunner::~ThreadTaskRunner() {
  Stop();
}

bool ThreadTaskRunner::IsCurrentThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::this_thread::get_id() == thread_id_;
}

void ThreadTaskRunner::PostTask(Base::CSmartPtr<Base::CRunnableTask> task) {
  if (!task) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;  // `task` is released here, on the posting thread.
    queue_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void ThreadTaskRunner::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !running_task_; });
}

void ThreadTaskRunner::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();  // Stopped from one of its own tasks: the loop ends by itself.
    } else {
      thread_.join();
    }
  }
}

void ThreadTaskRunner::Loop() {
  {
    // Wait until the constructor has published the thread id.
    std::lock_guard<std::mutex> lock(mutex_);
  }
  for (;;) {
    Base::CSmartPtr<Base::CRunnableTask> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) {
        idle_.notify_all();
        return;  // stopping and drained
      }
      task = std::move(queue_.front());
      queue_.pop_front();
      running_task_ = true;
    }
    task->Run();
    task.reset();  // the task dies on the runner's thread, as posted tasks expect
    {
      std::lock_guard<std::mutex> lock(mutex_);
      running_task_ = false;
      if (queue_.empty()) idle_.notify_all();
    }
  }
}

}  // namespace kuvo_host
