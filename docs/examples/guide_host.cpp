// Host guide: a whole host in one file, built with the guide's plain compiler lines.
//   guide_host <data folder>
// Starts Kuvocore, logs in to KuvoChat (on the IM SDK stand-in the login succeeds: event 0 on
// Kuvocore's runner), and lends KuvoFetch the kit's runner and thread service for one request
// that cannot be set up (a GET with a JSON body), which is answered 93 without any transfer.
// Exit status 0 when both outcomes arrived as the guide says.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "KuvoChat.h"
#include "KuvoFetch.h"
#include "base/runnable_function.h"
#include "kuvo_host/http_request.h"
#include "kuvo_host/kuvocore_runner.h"
#include "kuvo_host/thread_service.h"
#include "kuvo_host/thread_task_runner.h"
#include "kuvocore.h"

namespace {

// What arrives on other threads, waited for with a bound.
struct Outcomes {
  std::mutex mutex;
  std::condition_variable changed;
  int login_event = 1;  // none yet
  bool login_on_runner = false;
  int fetch_code = -1;

  template <typename Done>
  bool WaitUntil(Done done) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(30), done);
  }
};
Outcomes g_outcomes;

class Connection final : public IConnCallBack {
 public:
  // On Kuvocore's task runner. Never throws.
  void OnConnEvent(int32_t code, std::string) override {
    Base::ITaskRunner* runner = kuvo_host::KuvocoreTaskRunner();
    std::lock_guard<std::mutex> lock(g_outcomes.mutex);
    g_outcomes.login_event = code;
    g_outcomes.login_on_runner = runner != nullptr && runner->IsCurrentThread();
    g_outcomes.changed.notify_all();
  }
};

// On the host's runner, once, with the library's clone of the request.
void OnFetched(uint32_t, IHttpRequest* request) {
  kuvo_host::HttpRequest* done = kuvo_host::HttpRequest::From(request);
  std::lock_guard<std::mutex> lock(g_outcomes.mutex);
  g_outcomes.fetch_code = done != nullptr ? done->result_code() : -2;
  g_outcomes.changed.notify_all();
}

bool Chat(const std::string& data_folder) {
  Connection connection;
  Im_RegConnCallBack(&connection);
  const std::wstring folder(data_folder.begin(), data_folder.end());
  bool ok = Im_Init(1400012345, 0, folder.c_str()) &&
            Im_Login(900100200300ull, "36862", "user-signature") &&
            g_outcomes.WaitUntil([] { return g_outcomes.login_event != 1; });
  std::lock_guard<std::mutex> lock(g_outcomes.mutex);
  ok = ok && g_outcomes.login_event == 0 && g_outcomes.login_on_runner;
  std::printf("chat: event %d %s Kuvocore's runner\n", g_outcomes.login_event,
              g_outcomes.login_on_runner ? "on" : "off");
  Im_RemoveConnCallBack(&connection);
  Im_UnInit();
  return ok;
}

bool Fetch() {
  kuvo_host::ThreadService threads;  // outlives the runner's last task
  kuvo_host::ThreadTaskRunner runner;
  auto request = kuvo_host::HttpRequest::Create("http://127.0.0.1:1/status");
  request->SetContentType(kHttpContentJson);  // a GET takes only the form type
  uint32_t id = 0;
  runner.PostTask(Base::NewRunnableFunction(
      +[](kuvo_host::ThreadService* t, kuvo_host::ThreadTaskRunner* r, kuvo_host::HttpRequest* q,
          uint32_t* out) {
        if (HttpInit(t, r)) *out = HttpStartRequest(q, &OnFetched);
      },
      &threads, &runner, request.get(), &id));
  runner.WaitIdle();
  const bool answered = id != 0 && g_outcomes.WaitUntil([] { return g_outcomes.fetch_code != -1; });
  runner.PostTask(Base::NewRunnableFunction(+[]() { HttpUnInit(); }));
  runner.Stop();
  std::lock_guard<std::mutex> lock(g_outcomes.mutex);
  std::printf("fetch: request %u answered %d\n", id, g_outcomes.fetch_code);
  return answered && g_outcomes.fetch_code == kSetupFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: guide_host DATA_FOLDER\n");
    return 2;
  }
  if (!Kuvocore_Startup()) return 3;
  const bool chat = Chat(argv[1]);
  const bool fetch = Fetch();
  Kuvocore_Shutdown();
  std::printf("%s\n", chat && fetch ? "guide host: ok" : "guide host: FAILED");
  return chat && fetch ? 0 : 1;
}
