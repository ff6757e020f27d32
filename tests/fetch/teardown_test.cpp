// HttpUnInit while transfers run, with a thread service whose stop does not wait; init again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "fetch_fixture.h"

namespace fetch_test {
namespace {

// A thread service whose StopThread only forgets the key: workers may outlive HttpUnInit.
class ForgetfulThreadService final : public Base::IThreadService {
 public:
  ~ForgetfulThreadService() { JoinAll(); }
  bool StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    threads_.emplace_back([callback]() mutable {
      callback->Run();
      callback.reset();
    });
    *key = static_cast<uint32_t>(threads_.size());
    return true;
  }
  bool StopThread(uint32_t /*key*/, int /*value*/) override {
    ++stops_;
    if (on_stop_) on_stop_();
    return true;
  }
  // Called inside each StopThread (set it before the library is bound).
  void OnStopForTesting(std::function<void()> fn) { on_stop_ = std::move(fn); }
  void JoinAll() {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      threads.swap(threads_);
    }
    for (auto& t : threads) t.join();
  }
  int stops() const { return stops_.load(); }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
  std::atomic<int> stops_{0};
  std::function<void()> on_stop_;
};

// A runner around the fixture's runner whose PostTask, called from another thread, waits on a
// latch before it queues the task: a worker handing its result over can be held there for as
// long as a test needs. Counts every call made after `AfterTeardown()`.
class LatchedRunner final : public Base::ITaskRunner {
 public:
  explicit LatchedRunner(kuvo_host::ThreadTaskRunner* inner) : inner_(inner) {}
  bool IsCurrentThread() override {
    CountIfLate();
    return inner_->IsCurrentThread();
  }
  void PostTask(Base::CSmartPtr<Base::CRunnableTask> task) override {
    CountIfLate();
    if (!inner_->IsCurrentThread()) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++entered_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_; });
    }
    inner_->PostTask(std::move(task));
    std::lock_guard<std::mutex> lock(mutex_);
    post_returned_at_ = ++sequence_;
  }
  bool WaitEntered() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(40), [this] { return entered_ > 0; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Marks the end of HttpUnInit; returns its place in the order of events.
  int AfterTeardown() {
    std::lock_guard<std::mutex> lock(mutex_);
    late_ = true;
    return ++sequence_;
  }
  int post_returned_at() {
    std::lock_guard<std::mutex> lock(mutex_);
    return post_returned_at_;
  }
  int late_calls() const { return late_calls_.load(); }

 private:
  void CountIfLate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (late_) ++late_calls_;
  }

  kuvo_host::ThreadTaskRunner* inner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int entered_ = 0;
  bool open_ = false;
  bool late_ = false;
  int sequence_ = 0;
  int post_returned_at_ = 0;
  std::atomic<int> late_calls_{0};
};

class TeardownTest : public FetchTest {
 protected:
  void SetUp() override {
    FetchTest::SetUp();
    UnInit();
    bool ok = false;
    OnRunner([&] { ok = HttpInit(&forgetful_, runner_.get()); });
    ASSERT_TRUE(ok);
    initialised_ = true;
  }
  void TearDown() override {
    FetchTest::TearDown();
    forgetful_.JoinAll();
  }
  ForgetfulThreadService forgetful_;
};

TEST_F(TeardownTest, TransferOutlivingHttpUnInitIsDroppedSafely) {
  const int live_before = TestRequest::LiveCount();
  const std::string key = NewKey("outlive");
  RequestValues v;
  v.url = HttpUrl("/gate/" + key);
  Base::CSmartPtr<TestRequest> original;
  const uint32_t id = Start(v, &original);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(Probe(HttpUrl("/arrived/" + key)), "yes");
  UnInit();  // the worker is still inside curl_easy_perform on the shared DNS cache
  EXPECT_EQ(forgetful_.stops(), 1);
  ASSERT_EQ(Probe(HttpUrl("/open/" + key)), "open");
  forgetful_.JoinAll();  // the worker ends and, as last holder, tears the libcurl state down
  Drain();
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 0);
  EXPECT_EQ(original->LastCloneFill()->set_code_calls, 0);
  original.reset();
  EXPECT_EQ(TestRequest::LiveCount(), live_before);

  // A new span works on fresh libcurl state.
  bool ok = false;
  OnRunner([&] { ok = HttpInit(service_.get(), runner_.get()); });
  ASSERT_TRUE(ok);
  initialised_ = true;
  RequestValues again;
  again.url = HttpUrl("/s/" + NewKey("again") + "/200");
  EXPECT_EQ(Run(again).code, 0);
}

TEST_F(TeardownTest, HttpUnInitWaitsForAWorkerInsidePostTaskAndNothingComesAfter) {
  LatchedRunner latched(runner_.get());
  UnInit();
  bool ok = false;
  OnRunner([&] { ok = HttpInit(&forgetful_, &latched); });
  ASSERT_TRUE(ok);
  initialised_ = true;
  // HttpUnInit's StopThread for the request lets the held worker go on: the worker is inside
  // the runner's PostTask when HttpUnInit starts, and leaves it while HttpUnInit runs.
  forgetful_.OnStopForTesting([&] { latched.Open(); });

  RequestValues v;
  v.url = HttpUrl("/s/" + NewKey("latch") + "/200");
  const uint32_t id = Start(v);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(latched.WaitEntered());  // the transfer is done; its result waits at the latch
  int torn_down_at = 0;
  OnRunner([&] {
    HttpUnInit();
    torn_down_at = latched.AfterTeardown();
  });
  initialised_ = false;
  forgetful_.JoinAll();
  Drain();  // the completion the worker queued has run now, and found nothing to deliver to
  EXPECT_EQ(forgetful_.stops(), 1);
  EXPECT_GT(latched.post_returned_at(), 0);
  EXPECT_LT(latched.post_returned_at(), torn_down_at);
  EXPECT_EQ(latched.late_calls(), 0);
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 0);
}

}  // namespace
}  // namespace fetch_test
