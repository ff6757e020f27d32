// ThreadTaskRunner: the task runner a host lends to the components. One thread, tasks run one at a
// time in the order they were posted (FIFO), from any posting thread.
//
// Stop() (and the destructor) runs every task posted before it, then joins the thread; tasks
// posted after Stop() are dropped (their reference is released on the posting thread).
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "base/task_runner.h"

namespace kuvo_host {

class ThreadTaskRunner final : public Base::ITaskRunner {
 public:
  ThreadTaskRunner();
  ~ThreadTaskRunner();
  ThreadTaskRunner(const ThreadTaskRunner&) = delete;
  ThreadTaskRunner& operator=(const ThreadTaskRunner&) = delete;

  bool IsCurrentThread() override;
  void PostTask(Base::CSmartPtr<Base::CRunnableTask> task) override;

  // Blocks until every task posted before the call has run. Must not be called on the runner.
  void WaitIdle();
  void Stop();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Base::CSmartPtr<Base::CRunnableTask>> queue_;
  bool running_task_ = false;
  bool stopping_ = false;
  std::thread thread_;
  std::thread::id thread_id_;
};

}  // namespace kuvo_host
