// Demo section "fetch": KuvoFetch against a small HTTP server the demo starts on loopback, and
// against every http(s) URL given on the demo's command line. The completions arrive on the
// runner's thread in any order; the results are printed in the order the requests were made,
// each with what it shows.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "KuvoFetch.h"
#include "base/runnable_function.h"
#include "demo_section.h"
#include "host/loopback_http_server.h"
#include "kuvo_host/thread_service.h"
#include "kuvo_host/thread_task_runner.h"

namespace {

constexpr char kSection[] = "fetch";

// The local server's answers:
//   /hello -> 200 "hello from the demo server"; /missing -> 404; /flaky -> 500 on its first
//   request, 200 afterwards; /echo -> 200 with the request body.
std::string Answer(const std::string& request, int* flaky_calls) {
  const size_t header_end = request.find("\r\n\r\n");
  const std::string body =
      header_end == std::string::npos ? std::string() : request.substr(header_end + 4);
  std::string status = "200 OK";
  std::string answer;
  if (request.find(" /hello") != std::string::npos) {
    answer = "hello from the demo server";
  } else if (request.find(" /flaky") != std::string::npos) {
    if ((*flaky_calls)++ == 0) status = "500 Internal Server Error";
    answer = "flaky answered";
  } else if (request.find(" /echo") != std::string::npos) {
    answer = body;
  } else {
    status = "404 Not Found";
  }
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(answer.size()) +
         "\r\nConnection: close\r\n\r\n" + answer;
}

class DemoRequest final : public IHttpRequest {
 public:
  DemoRequest(std::string url, int32_t method, int32_t content_type, std::string data,
              uint32_t attempts)
      : url_(std::move(url)),
        method_(method),
        content_type_(content_type),
        data_(std::move(data)),
        attempts_(attempts) {}
  long AddRef() override { return ++refs_; }
  long Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  std::string GetUrl() override { return url_; }
  std::string GetData() override { return data_; }
  void SetResponse(const std::string& response) override { response_ = response; }
  void SetResultCode(int32_t code) override { code_ = code; }
  uint32_t GetAttempts() override { return attempts_; }
  int32_t GetMethod() override { return method_; }
  int32_t GetContentType() override { return content_type_; }
  uint32_t GetRetryDelay() override { return 200; }
  std::map<std::string, std::string> GetHeaders() override { return {{"X-Demo", "kuvo"}}; }
  std::string GetProxy() override { return std::string(); }
  void Clone(IHttpRequest** out) override {
    *out = new DemoRequest(url_, method_, content_type_, data_, attempts_);
    (*out)->AddRef();
  }
  const std::string& url() const { return url_; }
  const std::string& response() const { return response_; }
  int32_t code() const { return code_; }

 private:
  std::atomic<long> refs_{0};
  std::string url_;
  int32_t method_;
  int32_t content_type_;
  std::string data_;
  uint32_t attempts_;
  std::string response_;
  int32_t code_ = -1;
};

struct Outcome {
  int32_t code;
  std::string response;
};

struct Outcomes {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<uint32_t, Outcome> by_id;
};
Outcomes g_outcomes;

void OnFetched(uint32_t id, IHttpRequest* request) {
  auto* r = static_cast<DemoRequest*>(request);
  std::lock_guard<std::mutex> lock(g_outcomes.mutex);
  g_outcomes.by_id[id] = Outcome{r->code(), r->response()};
  g_outcomes.changed.notify_all();
}

struct Planned {
  Base::CSmartPtr<DemoRequest> request;
  int32_t expected;  // -1: any (URLs from the command line)
};

// What each request of the plan shows, in the plan's order.
const char* const kShows[] = {
    "a GET answered on its first attempt: result 0 and the body",
    "a 404 is retried like any status but 200: after 3 attempts, 0.2 s apart, the status is the "
    "result",
    "a 500 on the first attempt, then 200 on the second: result 0; the data went as the query "
    "?try=1",
    "a POST with a JSON body: the server echoes it back",
    "93 (kSetupFailed): a GET takes only the form content type, so no transfer was set up",
};

std::string Meaning(int32_t code) {
  if (code == 0) return "the body arrived";
  if (code == kSetupFailed) return "the request could not be set up";
  if (code >= 100 && code < 600) return "the server's HTTP status";
  return "libcurl's error code";
}

// One result line: what was asked, the result code and what it shows.
std::string ResultLine(size_t index, DemoRequest& request, const Outcome& outcome,
                       const std::string& base) {
  std::string url = request.url();
  if (url.rfind(base, 0) == 0) url = url.substr(base.size());
  std::string line = "request " + std::to_string(index + 1) +
                     (request.GetMethod() == kHttpMethodPost ? " POST " : " GET ") + url +
                     ": result " + std::to_string(outcome.code);
  if (outcome.code == 0) {
    line += ", " + std::to_string(outcome.response.size()) + " bytes \"" +
            outcome.response.substr(0, 60) + "\"";
  }
  const bool planned = index < sizeof(kShows) / sizeof(kShows[0]);
  return line + " -- " +
         (planned ? kShows[index] : "a URL from the command line: " + Meaning(outcome.code));
}

void StartAll(std::vector<Planned>* plan, std::vector<uint32_t>* ids) {
  for (auto& p : *plan) ids->push_back(HttpStartRequest(p.request.get(), &OnFetched));
}

int RunFetchDemo(const demo::DemoArgs& args) {
  int flaky_calls = 0;  // the server's thread alone touches it
  host::LoopbackHttpServer server(
      [&flaky_calls](const std::string& request) { return Answer(request, &flaky_calls); });
  if (server.port() == 0) {
    demo::Say(kSection, "could not start the local server");
    return 1;
  }
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  demo::Say(kSection, "local server on " + base);

  std::vector<Planned> plan = {
      {Base::CSmartPtr<DemoRequest>(
           new DemoRequest(base + "/hello", kHttpMethodGet, kHttpContentForm, "", 1)),
       0},
      {Base::CSmartPtr<DemoRequest>(
           new DemoRequest(base + "/missing", kHttpMethodGet, kHttpContentForm, "", 3)),
       404},
      {Base::CSmartPtr<DemoRequest>(
           new DemoRequest(base + "/flaky", kHttpMethodGet, kHttpContentForm, "try=1", 2)),
       0},
      {Base::CSmartPtr<DemoRequest>(new DemoRequest(base + "/echo", kHttpMethodPost,
                                                    kHttpContentJson, "{\"demo\":true}", 1)),
       0},
      // A GET must use the form content type: this one cannot be set up.
      {Base::CSmartPtr<DemoRequest>(
           new DemoRequest(base + "/hello", kHttpMethodGet, kHttpContentJson, "", 1)),
       kSetupFailed},
  };
  for (const auto& a : args.urls) {
    plan.push_back(
        {Base::CSmartPtr<DemoRequest>(new DemoRequest(a, kHttpMethodGet, kHttpContentForm, "", 1)),
         -1});
  }

  kuvo_host::ThreadTaskRunner runner;
  kuvo_host::ThreadService service;
  struct Session {
    kuvo_host::ThreadService* service;
    kuvo_host::ThreadTaskRunner* runner;
    std::vector<Planned>* plan;
    bool ok = false;
    std::vector<uint32_t> ids;
  } session{&service, &runner, &plan, false, {}};
  // The exports are called on the runner's thread, as a host does.
  runner.PostTask(Base::NewRunnableFunction(
      +[](Session* s) {
        s->ok = HttpInit(s->service, s->runner);
        if (s->ok) StartAll(s->plan, &s->ids);
      },
      &session));
  runner.WaitIdle();
  const bool ok = session.ok;
  const std::vector<uint32_t>& ids = session.ids;
  int failures = ok ? 0 : 1;
  if (ok) {
    demo::Say(kSection, "HttpInit, then " + std::to_string(ids.size()) +
                            " requests started at once; each completes on the runner's thread");
    std::unique_lock<std::mutex> lock(g_outcomes.mutex);
    const bool all = g_outcomes.changed.wait_for(lock, std::chrono::seconds(60), [&] {
      for (uint32_t id : ids) {
        if (id != 0 && !g_outcomes.by_id.count(id)) return false;
      }
      return true;
    });
    if (!all) ++failures;
    for (size_t i = 0; i < ids.size(); ++i) {
      auto it = g_outcomes.by_id.find(ids[i]);
      if (ids[i] == 0 || it == g_outcomes.by_id.end()) {
        demo::Say(kSection, "request " + std::to_string(i + 1) + " " + plan[i].request->url() +
                                (ids[i] == 0 ? ": refused" : ": no result"));
        ++failures;
        continue;
      }
      demo::Say(kSection, ResultLine(i, *plan[i].request, it->second, base));
      if (plan[i].expected >= 0 && it->second.code != plan[i].expected) {
        demo::Say(kSection,
                  "  unexpected: result " + std::to_string(plan[i].expected) + " was due");
        ++failures;
      }
    }
  }
  runner.PostTask(Base::NewRunnableFunction(+[]() { HttpUnInit(); }));
  runner.WaitIdle();
  runner.Stop();
  service.JoinAll();
  return failures;
}

const demo::DemoSection kFetchSection(
    30, kSection,
    "KuvoFetch against a small HTTP server on loopback: five requests (and one per URL given), "
    "each result code with what it shows.",
    &RunFetchDemo);

}  // namespace
