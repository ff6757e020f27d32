// FetchTest: a host around KuvoFetch for each test: its own task runner and thread service,
// HttpInit and HttpUnInit on the runner's thread, and a recorder for completions.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KuvoFetch.h"
#include "fetch_servers.h"
#include "kuvo_host/thread_task_runner.h"
#include "recording_thread_service.h"
#include "test_request.h"

namespace fetch_test {

struct Completion {
  uint32_t id = 0;
  IHttpRequest* request = nullptr;  // identity only; not counted
  int32_t code = -1;
  std::string response;
  bool on_runner = false;
  std::chrono::steady_clock::time_point at;  // when the callback ran
};

// Collects completions from the plain callback; any thread may wait for them.
class CompletionLog {
 public:
  static CompletionLog& Get();
  void Reset(Base::ITaskRunner* runner);
  void Add(uint32_t id, IHttpRequest* request);
  // Waits (bounded, 40 s) until `id` has completed; false if it did not.
  bool WaitFor(uint32_t id, Completion* out);
  int CountFor(uint32_t id);
  size_t Size();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Completion> completions_;
  Base::ITaskRunner* runner_ = nullptr;
};

// The completion callback the tests hand to HttpStartRequest.
void RecordCompletion(uint32_t id, IHttpRequest* request);

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs `fn` on the runner's thread and waits for it (exports are called there).
  void OnRunner(const std::function<void()>& fn);
  // Posts `fn` to the runner without waiting.
  void PostToRunner(std::function<void()> fn);
  // HttpStartRequest on the runner's thread.
  uint32_t Start(IHttpRequest* request, HttpRequestCallback callback = &RecordCompletion);
  uint32_t Start(const RequestValues& values, Base::CSmartPtr<TestRequest>* keep = nullptr);
  void Stop(uint32_t id);
  void UnInit();
  // Starts `values` and waits for its completion; fails the test if none comes.
  Completion Run(const RequestValues& values);
  // Every task posted to the runner so far has run.
  void Drain() { runner_->WaitIdle(); }

  std::unique_ptr<kuvo_host::ThreadTaskRunner> runner_;
  std::unique_ptr<RecordingThreadService> service_;
  bool initialised_ = false;
};

}  // namespace fetch_test
