// ThreadService: the thread service a host lends to KuvoFetch. Each StartThread runs one job on a
// new thread and hands out a key (never 0). StopThread(key) waits for that thread to end, so a
// caller that stops every key knows no job is still running afterwards. Keys of threads that
// ended by themselves are reaped at the next StartThread or StopThread, or at destruction.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/thread_service.h"

namespace kuvo_host {

class ThreadService final : public Base::IThreadService {
 public:
  ThreadService() = default;
  ~ThreadService();
  ThreadService(const ThreadService&) = delete;
  ThreadService& operator=(const ThreadService&) = delete;

  bool StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) override;
  bool StopThread(uint32_t key, int value) override;

  // Joins every thread started so far (finished or not).
  void JoinAll();

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void ReapFinishedLocked(std::vector<std::unique_ptr<Worker>>* out);

  std::mutex mutex_;
  uint32_t last_key_ = 0;
  std::map<uint32_t, std::unique_ptr<Worker>> workers_;
};

}  // namespace kuvo_host
