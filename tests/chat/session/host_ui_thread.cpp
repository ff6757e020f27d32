#include "host_ui_thread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kuvo_test {

HostUiThread::HostUiThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  thread_ = std::thread([this] { Loop(); });
  id_ = thread_.get_id();
}

HostUiThread::~HostUiThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void HostUiThread::Post(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(work));
  }
  wake_.notify_all();
}

bool HostUiThread::Send(std::function<void()> work, const std::string& what) {
  if (IsCurrent()) {
    work();
    return true;
  }
  // Shared: a sender that gives up leaves the work queued.
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool ran = false;
  };
  auto done = std::make_shared<Done>();
  Post([done, work = std::move(work)] {
    work();
    std::lock_guard<std::mutex> lock(done->mutex);
    done->ran = true;
    done->cv.notify_all();
  });
  std::unique_lock<std::mutex> lock(done->mutex);
  if (done->cv.wait_for(lock, kDeadlockLimit, [&] { return done->ran; })) return true;
  ADD_FAILURE() << "deadlock: " << what << " did not run on the UI thread within "
                << kDeadlockLimit.count() << " s";
  return false;
}

void HostUiThread::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::function<void()> work = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    work();
    lock.lock();
  }
}

DeadlockWatchdog::DeadlockWatchdog(std::string what, std::chrono::seconds limit) {
  thread_ = std::thread([this, what = std::move(what), limit] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (done_cv_.wait_for(lock, limit, [this] { return done_; })) return;
    std::fprintf(stderr, "deadlock: %s did not finish within %d s\n", what.c_str(),
                 static_cast<int>(limit.count()));
    std::fflush(stderr);
    std::_Exit(3);  // the threads that hang cannot be unwound
  });
}

DeadlockWatchdog::~DeadlockWatchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  done_cv_.notify_all();
  thread_.join();
}

}  // namespace kuvo_test
