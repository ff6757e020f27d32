#include "fetch_fixture.h"

#include <chrono>
#include <utility>

#include "closure_task.h"

namespace fetch_test {

CompletionLog& CompletionLog::Get() {
  static CompletionLog log;
  return log;
}

void CompletionLog::Reset(Base::ITaskRunner* runner) {
  std::lock_guard<std::mutex> lock(mutex_);
  completions_.clear();
  runner_ = runner;
}

void CompletionLog::Add(uint32_t id, IHttpRequest* request) {
  Completion c;
  c.at = std::chrono::steady_clock::now();
  c.id = id;
  c.request = request;
  if (request) {
    auto fill = static_cast<TestRequest*>(request)->fill();
    std::lock_guard<std::mutex> lock(fill->mutex);
    c.code = fill->code;
    c.response = fill->response;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  c.on_runner = runner_ && runner_->IsCurrentThread();
  completions_.push_back(std::move(c));
  changed_.notify_all();
}

bool CompletionLog::WaitFor(uint32_t id, Completion* out) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool seen = changed_.wait_for(lock, std::chrono::seconds(40), [&] {
    for (const auto& c : completions_) {
      if (c.id == id) return true;
    }
    return false;
  });
  if (!seen) return false;
  for (const auto& c : completions_) {
    if (c.id == id) {
      *out = c;
      break;
    }
  }
  return true;
}

int CompletionLog::CountFor(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const auto& c : completions_) n += c.id == id ? 1 : 0;
  return n;
}

size_t CompletionLog::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return completions_.size();
}

void RecordCompletion(uint32_t id, IHttpRequest* request) {
  CompletionLog::Get().Add(id, request);
}

void FetchTest::SetUp() {
  ASSERT_TRUE(GetServers().ok) << GetServers().error;
  runner_ = std::make_unique<kuvo_host::ThreadTaskRunner>();
  service_ = std::make_unique<RecordingThreadService>();
  CompletionLog::Get().Reset(runner_.get());
  bool ok = false;
  OnRunner([&] { ok = HttpInit(service_.get(), runner_.get()); });
  ASSERT_TRUE(ok);
  initialised_ = true;
}

void FetchTest::TearDown() {
  if (runner_) {
    if (initialised_) UnInit();
    runner_->Stop();
  }
  if (service_) service_->JoinAll();
  CompletionLog::Get().Reset(nullptr);
  runner_.reset();
  service_.reset();
}

void FetchTest::OnRunner(const std::function<void()>& fn) {
  runner_->PostTask(kuvo_test::NewClosureTask(fn));
  runner_->WaitIdle();
}

void FetchTest::PostToRunner(std::function<void()> fn) {
  runner_->PostTask(kuvo_test::NewClosureTask(std::move(fn)));
}

uint32_t FetchTest::Start(IHttpRequest* request, HttpRequestCallback callback) {
  uint32_t id = 0;
  OnRunner([&] { id = HttpStartRequest(request, callback); });
  return id;
}

uint32_t FetchTest::Start(const RequestValues& values, Base::CSmartPtr<TestRequest>* keep) {
  auto request = TestRequest::Make(values);
  const uint32_t id = Start(request.get());
  if (keep) *keep = request;
  return id;
}

void FetchTest::Stop(uint32_t id) {
  OnRunner([&] { HttpStopRequest(id); });
}

void FetchTest::UnInit() {
  OnRunner([] { HttpUnInit(); });
  initialised_ = false;
}

Completion FetchTest::Run(const RequestValues& values) {
  Completion c;
  const uint32_t id = Start(values);
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(CompletionLog::Get().WaitFor(id, &c)) << "no completion for " << values.url;
  return c;
}

}  // namespace fetch_test
