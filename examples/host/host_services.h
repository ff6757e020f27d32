// What a host lends KuvoFetch: a task runner (one thread running posted tasks in order) and a
// thread service (a thread of its own per job).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "base/task_runner.h"
#include "base/thread_service.h"

namespace kit_host {

class TaskRunner final : public Base::ITaskRunner {
 public:
  TaskRunner();
  ~TaskRunner();
  bool IsCurrentThread() override;
  void PostTask(Base::CSmartPtr<Base::CRunnableTask> task) override;  // never blocks on a task
  void WaitIdle();  // returns once every task posted so far has run (not from the runner)

 private:
  void Loop();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Base::CSmartPtr<Base::CRunnableTask>> tasks_;
  bool running_task_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

class ThreadService final : public Base::IThreadService {
 public:
  ~ThreadService();  // joins every thread it started
  bool StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) override;
  bool StopThread(uint32_t key, int value) override;

 private:
  std::mutex mutex_;
  uint32_t next_key_ = 1;
  std::map<uint32_t, std::thread> threads_;
};

}  // namespace kit_host
