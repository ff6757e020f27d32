// HttpUnInit while transfers run, with a thread service whose stop does not wait; init again.
#include <gtest/gtest.h>

#include <atomic>
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
    return true;
  }
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

TEST_F(TeardownTest, NoCallbackArrivesAfterHttpUnInitReturns) {
  constexpr int kCount = 24;
  std::atomic<bool> torn_down{false};
  std::vector<uint32_t> ids;
  for (int i = 0; i < kCount; ++i) {
    RequestValues v;
    v.url = HttpUrl("/fast");
    ids.push_back(Start(v));
  }
  // Tear down while completions are being handed to the runner.
  OnRunner([&] {
    HttpUnInit();
    torn_down = true;
  });
  initialised_ = false;
  const size_t delivered_before = CompletionLog::Get().Size();
  forgetful_.JoinAll();
  Drain();
  EXPECT_EQ(CompletionLog::Get().Size(), delivered_before);
  for (uint32_t id : ids) EXPECT_LE(CompletionLog::Get().CountFor(id), 1);
}

}  // namespace
}  // namespace fetch_test
