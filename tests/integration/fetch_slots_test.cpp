// KuvoFetch calls the lent runner and thread service at the slots the published tables give
// them (IsCurrentThread 2, PostTask 3; StartThread 2, StopThread 3), for a host that declares
// both interfaces from those tables alone (slot_host_interfaces.h).
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fetch_servers.h"
#include "slot_host_interfaces.h"
#include "slot_log.h"

namespace slot_host {
namespace {

// Counts its calls by operation. Every operation is always expected here: a wrong slot shows
// as a call at a trap or at the first slot, or as counts that do not add up.
class HostRunner final : public ITaskRunner {
 public:
  explicit HostRunner(SlotLog* log) : log_(log), thread_([this] { Loop(); }) {}
  ~HostRunner() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void FirstSlot() override { log_->Add("ITaskRunner slot 1"); }
  bool IsCurrentThread() override {
    ++is_current_calls;
    return std::this_thread::get_id() == thread_.get_id();
  }
  void PostTask(Base::CSmartPtr<Base::CRunnableTask> task) override {
    ++post_calls;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(task));
    }
    wake_.notify_all();
  }
  virtual void Slot4() { log_->Add("ITaskRunner slot 4"); }
  virtual void Slot5() { log_->Add("ITaskRunner slot 5"); }

  // The test's own check, so that it does not count as a library call.
  bool OnThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  // Runs `work` on the runner's thread and waits for it.
  void RunHere(std::function<void()> work);

  std::atomic<int> is_current_calls{0};
  std::atomic<int> post_calls{0};

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      Base::CSmartPtr<Base::CRunnableTask> task = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      task->Run();
      task.reset();
      lock.lock();
    }
  }

  SlotLog* log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Base::CSmartPtr<Base::CRunnableTask>> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

class Work final : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  explicit Work(std::function<void()> work) : work_(std::move(work)) {}
  void Run() override { work_(); }

 private:
  std::function<void()> work_;
};

void HostRunner::RunHere(std::function<void()> work) {
  std::mutex done_mutex;
  std::condition_variable done_cv;
  bool done = false;
  Base::CSmartPtr<Base::CRunnableTask> task(new Work([&] {
    work();
    std::lock_guard<std::mutex> lock(done_mutex);
    done = true;
    done_cv.notify_all();
  }));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(task));
  }
  wake_.notify_all();
  std::unique_lock<std::mutex> lock(done_mutex);
  done_cv.wait(lock, [&] { return done; });
}

class HostThreadService final : public IThreadService {
 public:
  explicit HostThreadService(SlotLog* log) : log_(log) {}
  ~HostThreadService() {
    for (auto& [key, thread] : threads_) thread.join();
  }
  void FirstSlot() override { log_->Add("IThreadService slot 1"); }
  bool StartThread(Base::CSmartPtr<IThreadCallback> callback, uint32_t* key) override {
    std::lock_guard<std::mutex> lock(mutex_);
    *key = ++last_key_;
    log_->Add("StartThread " + std::to_string(*key) + " " + callback->GetName());
    threads_.emplace(*key, std::thread([callback]() mutable {
      callback->Run();
      callback.reset();
    }));
    return true;
  }
  bool StopThread(uint32_t key, int value) override {
    log_->Add("StopThread " + std::to_string(key) + " " + std::to_string(value));
    std::thread thread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = threads_.find(key);
      if (it == threads_.end()) return false;
      thread = std::move(it->second);
      threads_.erase(it);
    }
    thread.join();
    return true;
  }
  virtual void Slot4() { log_->Add("IThreadService slot 4"); }
  virtual void Slot5() { log_->Add("IThreadService slot 5"); }

 private:
  SlotLog* log_;
  std::mutex mutex_;
  uint32_t last_key_ = 0;
  std::map<uint32_t, std::thread> threads_;
};

// A GET of `url`; the library keeps and fills the clone.
class HostRequest final : public IHttpRequest {
 public:
  explicit HostRequest(std::string url) : url_(std::move(url)) {}
  long AddRef() override { return ++refs_; }
  long Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  std::string GetUrl() override { return url_; }
  std::string GetData() override { return std::string(); }
  void SetResponse(const std::string& response) override { response_ = response; }
  void SetResultCode(int32_t code) override { code_ = code; }
  uint32_t GetAttempts() override { return 1; }
  int32_t GetMethod() override { return 1; }       // GET
  int32_t GetContentType() override { return 3; }  // form, the one a GET takes
  uint32_t GetRetryDelay() override { return 0; }
  std::map<std::string, std::string> GetHeaders() override { return {}; }
  std::string GetProxy() override { return std::string(); }
  void Clone(IHttpRequest** out) override {
    *out = new HostRequest(url_);
    (*out)->AddRef();
  }
  std::string response_;
  int32_t code_ = -1;

 private:
  ~HostRequest() = default;
  std::atomic<long> refs_{0};
  std::string url_;
};

struct Completion {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  uint32_t id = 0;
  int32_t code = -1;
  std::string response;
  bool on_runner = false;
};
Completion g_completion;
HostRunner* g_runner = nullptr;

void OnComplete(uint32_t id, IHttpRequest* request) {
  auto* host_request = static_cast<HostRequest*>(request);
  std::lock_guard<std::mutex> lock(g_completion.mutex);
  g_completion.id = id;
  g_completion.code = host_request->code_;
  g_completion.response = host_request->response_;
  g_completion.on_runner = g_runner->OnThread();
  g_completion.done = true;
  g_completion.cv.notify_all();
}

TEST(FetchSlotsTest, RunnerAndThreadServiceAreCalledAtTheirSlots) {
  const fetch_test::Servers& servers = fetch_test::GetServers();
  ASSERT_TRUE(servers.ok) << servers.error;
  {
    std::lock_guard<std::mutex> lock(g_completion.mutex);
    g_completion.done = false;
  }
  SlotLog log;
  HostThreadService service(&log);
  HostRunner runner(&log);
  g_runner = &runner;

  uint32_t id = 0;
  runner.RunHere([&] {
    ASSERT_TRUE(HttpInit(&service, &runner));
    HostRequest* request = new HostRequest(fetch_test::HttpUrl("/fast"));
    request->AddRef();
    id = HttpStartRequest(request, &OnComplete);
    request->Release();
  });
  ASSERT_NE(id, 0u);
  {
    std::unique_lock<std::mutex> lock(g_completion.mutex);
    ASSERT_TRUE(
        g_completion.cv.wait_for(lock, std::chrono::seconds(40), [] { return g_completion.done; }));
    EXPECT_EQ(g_completion.id, id);
    EXPECT_EQ(g_completion.code, 0);
    EXPECT_EQ(g_completion.response, "ok");
    EXPECT_TRUE(g_completion.on_runner);
  }
  runner.RunHere([] { HttpUnInit(); });

  // The worker asked whether it was on the runner (no), posted its result, and the result,
  // entered again on the runner, asked once more (yes) before stopping the worker's thread.
  EXPECT_EQ(runner.is_current_calls.load(), 2);
  EXPECT_EQ(runner.post_calls.load(), 1);
  EXPECT_EQ(log.Take(),
            std::vector<std::string>({"StartThread 1 HttpThreadCallBackClass", "StopThread 1 0"}));
  g_runner = nullptr;
}

}  // namespace
}  // namespace slot_host
