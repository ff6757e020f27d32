// PooledThreadService: a thread service that lends threads from a pool instead of starting one
// per job, as a host with a thread pool would. StopThread only forgets the key (KuvoFetch
// relies on nothing more). The pool grows to the number of jobs running at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "base/thread_service.h"

namespace bench {

class PooledThreadService final : public Base::IThreadService {
 public:
  PooledThreadService() = default;
  ~PooledThreadService();
  PooledThreadService(const PooledThreadService&) = delete;
  PooledThreadService& operator=(const PooledThreadService&) = delete;

  bool StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) override;
  bool StopThread(uint32_t key, int value) override;

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Base::CSmartPtr<Base::IThreadCallback>> jobs_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;
  uint32_t last_key_ = 0;
  bool stopping_ = false;
};

}  // namespace bench
