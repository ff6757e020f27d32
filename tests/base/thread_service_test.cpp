#include "kuvo_host/thread_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

class Job : public Base::CSmartRefImpl<Base::IThreadCallback> {
 public:
  Job(std::atomic<int>* runs, std::atomic<int>* destroyed) : runs_(runs), destroyed_(destroyed) {}
  ~Job() override { ++*destroyed_; }
  const char* GetName() override { return "Job"; }
  void Run() override {
    std::unique_lock<std::mutex> lock(mutex);
    gate.wait(lock, [this] { return open; });
    ++*runs_;
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    gate.notify_all();
  }
  std::mutex mutex;
  std::condition_variable gate;
  bool open = false;

 private:
  std::atomic<int>* runs_;
  std::atomic<int>* destroyed_;
};

TEST(ThreadServiceTest, StopWaitsForTheJobAndKeysAreDistinct) {
  std::atomic<int> runs{0}, destroyed{0};
  kuvo_host::ThreadService service;
  Base::CSmartPtr<Job> a(new Job(&runs, &destroyed)), b(new Job(&runs, &destroyed));
  uint32_t ka = 0, kb = 0;
  ASSERT_TRUE(service.StartThread(a, &ka));
  ASSERT_TRUE(service.StartThread(b, &kb));
  EXPECT_NE(ka, 0u);
  EXPECT_NE(ka, kb);
  a->Open();
  b->Open();
  EXPECT_TRUE(service.StopThread(ka, 0));
  EXPECT_TRUE(service.StopThread(kb, 0));
  EXPECT_EQ(runs.load(), 2);  // both joined: their Run has returned
  a.reset();
  b.reset();
  EXPECT_EQ(destroyed.load(), 2);
  EXPECT_FALSE(service.StopThread(ka, 0));  // already forgotten
}

// Tells the test when its job object is gone, that is when the worker's Run has returned.
class EndSignal {
 public:
  void Ended() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return ended_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool ended_ = false;
};

class SignallingJob : public Base::CSmartRefImpl<Base::IThreadCallback> {
 public:
  explicit SignallingJob(EndSignal* signal) : signal_(signal) {}
  ~SignallingJob() override { signal_->Ended(); }
  const char* GetName() override { return "SignallingJob"; }
  void Run() override {}

 private:
  EndSignal* signal_;
};

// A caller that stops each key when its job's result arrives (KuvoFetch) finds the key still
// there, even when other threads were started after the job ended.
TEST(ThreadServiceTest, FinishedWorkerIsLeftForItsStop) {
  kuvo_host::ThreadService service;
  EndSignal ended;
  uint32_t first = 0, second = 0;
  ASSERT_TRUE(service.StartThread(new SignallingJob(&ended), &first));
  ended.Wait();
  EndSignal ignored;
  ASSERT_TRUE(service.StartThread(new SignallingJob(&ignored), &second));
  EXPECT_TRUE(service.StopThread(first, 0));
  EXPECT_TRUE(service.StopThread(second, 0));
}

// A host that never stops its keys: the threads that ended are joined by later starts, so that
// they do not pile up beyond the number kept for their stop.
TEST(ThreadServiceTest, UnstoppedThreadsAreJoinedBeyondTheKeptNumber) {
  kuvo_host::ThreadService service;
  const size_t kept = kuvo_host::ThreadService::kFinishedKeptForStop;
  for (size_t i = 0; i < kept + 40; ++i) {
    EndSignal ended;
    uint32_t key = 0;
    ASSERT_TRUE(service.StartThread(new SignallingJob(&ended), &key));
    ended.Wait();
  }
  // A start may find the last few threads still between their job's end and their mark.
  EXPECT_LE(service.ThreadCount(), kept + 3);
  EXPECT_GE(service.ThreadCount(), kept);
}

TEST(ThreadServiceTest, RefusedStartLeavesKeyUntouched) {
  std::atomic<int> runs{0}, destroyed{0};
  kuvo_host::ThreadService service;
  uint32_t key = 12345;
  EXPECT_FALSE(service.StartThread(Base::CSmartPtr<Base::IThreadCallback>(), &key));
  EXPECT_EQ(key, 12345u);
  Base::CSmartPtr<Job> job(new Job(&runs, &destroyed));
  EXPECT_FALSE(service.StartThread(job, nullptr));
  job->Open();
  EXPECT_TRUE(service.StartThread(job, &key));
  service.JoinAll();
  EXPECT_EQ(runs.load(), 1);
}

}  // namespace
