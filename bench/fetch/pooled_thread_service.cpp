#include "pooled_thread_service.h"

#include <utility>

namespace bench {

PooledThreadService::~PooledThreadService() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

bool PooledThreadService::StartThread(Base::CSmartPtr<Base::IThreadCallback> callback,
                                      uint32_t* key) {
  if (!callback || !key) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    jobs_.push_back(std::move(callback));
    if (idle_ < jobs_.size()) threads_.emplace_back([this] { Loop(); });
    if (++last_key_ == 0) last_key_ = 1;
    *key = last_key_;
  }
  wake_.notify_one();
  return true;
}

bool PooledThreadService::StopThread(uint32_t /*key*/, int /*value*/) {
  return true;
}

void PooledThreadService::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    --idle_;
    if (jobs_.empty()) return;  // stopping
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job->Run();
    job.reset();
    lock.lock();
  }
}

}  // namespace bench
