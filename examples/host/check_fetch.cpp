// KuvoFetch: a GET against the loopback server, on a task runner and a thread service the host
// lends; the exports are called on the runner's thread and the result comes back on it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "KuvoFetch.h"
#include "base/runnable_function.h"
#include "host_checks.h"
#include "host_services.h"
#include "loopback_server.h"

namespace kit_host {

namespace {

class Request final : public IHttpRequest {
 public:
  explicit Request(std::string url) : url_(std::move(url)) {}
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
  int32_t GetMethod() override { return kHttpMethodGet; }
  int32_t GetContentType() override { return kHttpContentForm; }
  uint32_t GetRetryDelay() override { return 0; }
  std::map<std::string, std::string> GetHeaders() override { return {}; }
  std::string GetProxy() override { return std::string(); }
  void Clone(IHttpRequest** out) override {
    *out = new Request(url_);
    (*out)->AddRef();
  }
  std::string response_;
  int32_t code_ = -1;

 private:
  std::atomic<long> refs_{0};
  std::string url_;
};

struct Outcome {
  std::mutex mutex;
  std::condition_variable done;
  bool called = false;
  bool on_runner = false;
  int32_t code = -1;
  std::string response;
};
Outcome* g_outcome = nullptr;
TaskRunner* g_runner = nullptr;

void OnFetched(uint32_t, IHttpRequest* request) {
  auto* r = static_cast<Request*>(request);
  std::lock_guard<std::mutex> lock(g_outcome->mutex);
  g_outcome->called = true;
  g_outcome->on_runner = g_runner->IsCurrentThread();
  g_outcome->code = r->code_;
  g_outcome->response = r->response_;
  g_outcome->done.notify_all();
}

struct Start {
  ThreadService* service;
  TaskRunner* runner;
  Request* request;
  bool initialised = false;
  uint32_t id = 0;
};

}  // namespace

int CheckFetch() {
  LoopbackServer server("fetched from the kit host");
  int failures = Check(server.port() != 0, "fetch: loopback server listens");
  if (server.port() == 0) return failures;
  Outcome outcome;
  g_outcome = &outcome;
  int fetched = 0;
  {
    ThreadService service;  // declared first: it outlives the runner's last task
    TaskRunner runner;
    g_runner = &runner;
    Base::CSmartPtr<Request> request(
        new Request("http://127.0.0.1:" + std::to_string(server.port()) + "/kit"));
    Start start{&service, &runner, request.get()};
    runner.PostTask(Base::NewRunnableFunction(
        +[](Start* s) {
          s->initialised = HttpInit(s->service, s->runner);
          if (s->initialised) s->id = HttpStartRequest(s->request, &OnFetched);
        },
        &start));
    runner.WaitIdle();
    failures += Check(start.initialised && start.id != 0, "fetch: HttpInit and HttpStartRequest");
    {
      std::unique_lock<std::mutex> lock(outcome.mutex);
      // Bounded: a lost completion is a failure, not a hang.
      outcome.done.wait_for(lock, std::chrono::seconds(30), [&] { return outcome.called; });
      failures +=
          Check(outcome.called && outcome.on_runner, "fetch: completion on the runner's thread");
      failures += Check(
          outcome.code == 0 && outcome.response == "fetched from the kit host",
          "fetch: result code 0 and the server's body (code " + std::to_string(outcome.code) + ")");
    }
    runner.PostTask(Base::NewRunnableFunction(+[]() { HttpUnInit(); }));
    runner.WaitIdle();
    fetched = server.answered();
    g_runner = nullptr;
  }
  g_outcome = nullptr;
  failures += Check(fetched == 1, "fetch: the server answered one request");
  return failures;
}

}  // namespace kit_host
