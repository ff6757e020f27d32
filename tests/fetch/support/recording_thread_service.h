// RecordingThreadService: the kit's thread service with what the fetch tests look at: the keys
// passed to StopThread in call order (the library's stop discipline), and StartThread calls made
// to fail on demand.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "base/thread_service.h"
#include "kuvo_host/thread_service.h"

namespace fetch_test {

class RecordingThreadService final : public Base::IThreadService {
 public:
  bool StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (fail_starts_ > 0) {
        --fail_starts_;
        return false;
      }
    }
    return inner_.StartThread(std::move(callback), key);
  }
  bool StopThread(uint32_t key, int value) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_keys_.push_back(key);
    }
    return inner_.StopThread(key, value);
  }
  void JoinAll() { inner_.JoinAll(); }

  std::vector<uint32_t> StoppedKeys() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_keys_;
  }
  // The next `count` StartThread calls answer false.
  void FailNextStarts(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    fail_starts_ = count;
  }

 private:
  kuvo_host::ThreadService inner_;
  std::mutex mutex_;
  std::vector<uint32_t> stopped_keys_;
  int fail_starts_ = 0;
};

}  // namespace fetch_test
