// KuvoFetch: a GET against the loopback server, on a task runner and a thread service the host
// lends; the exports are called on the runner's thread and the result comes back on it.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "KuvoFetch.h"
#include "base/runnable_function.h"
#include "host_checks.h"
#include "kuvo_host/http_request.h"
#include "kuvo_host/thread_service.h"
#include "kuvo_host/thread_task_runner.h"
#include "loopback_server.h"

namespace kit_host {

namespace {

struct Outcome {
  std::mutex mutex;
  std::condition_variable done;
  bool called = false;
  bool on_runner = false;
  int32_t code = -1;
  std::string response;
};
Outcome* g_outcome = nullptr;
kuvo_host::ThreadTaskRunner* g_runner = nullptr;

// On the runner's thread, with the library's clone of the request, filled.
void OnFetched(uint32_t, IHttpRequest* request) {
  kuvo_host::HttpRequest* r = kuvo_host::HttpRequest::From(request);
  std::lock_guard<std::mutex> lock(g_outcome->mutex);
  g_outcome->called = true;
  g_outcome->on_runner = g_runner->IsCurrentThread();
  g_outcome->code = r != nullptr ? r->result_code() : -2;
  g_outcome->response = r != nullptr ? r->response() : std::string();
  g_outcome->done.notify_all();
}

struct Start {
  kuvo_host::ThreadService* service;
  kuvo_host::ThreadTaskRunner* runner;
  kuvo_host::HttpRequest* request;
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
    kuvo_host::ThreadService service;  // declared first: it outlives the runner's last task
    kuvo_host::ThreadTaskRunner runner;
    g_runner = &runner;
    auto request = kuvo_host::HttpRequest::Create(
        "http://127.0.0.1:" + std::to_string(server.port()) + "/kit");
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
