// ThreadService: the thread service a host lends to KuvoFetch. Each StartThread runs one job on a
// new thread and hands out a key (never 0). StopThread(key) waits for that thread to end, so a
// caller that stops every key knows no job is still running afterwards. Threads that ended and
// were not stopped are left for their StopThread until more than kFinishedKeptForStop of them
// wait; beyond that each StartThread joins (and forgets the key of) the oldest one, and the
// destructor joins the rest.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstddef>
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

  // Threads started and not yet joined.
  size_t ThreadCount();

  // A caller that stops every key (KuvoFetch stops each one when its completion arrives) has
  // finished workers waiting for their stop at any time, as many as it has completions queued.
  // Joining those early, in a burst, frees their stacks at once; glibc keeps only 40 MiB of freed
  // stacks for reuse, so the next starts would map and fault in fresh ones (a third of KuvoFetch's
  // throughput at 32 requests in flight). Only a host that never stops its keys goes beyond this.
  static constexpr size_t kFinishedKeptForStop = 64;

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  // Removes and returns the oldest finished worker when more than kFinishedKeptForStop have
  // finished unstopped; null otherwise.
  std::unique_ptr<Worker> TakeOneFinishedLocked();

  std::mutex mutex_;
  uint32_t last_key_ = 0;
  std::map<uint32_t, std::unique_ptr<Worker>> workers_;
};

}  // namespace kuvo_host
