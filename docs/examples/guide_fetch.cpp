// Host guide, KuvoFetch: the kit's request object, and the exports called on the runner's thread.
#include <string>

#include "KuvoFetch.h"
#include "base/runnable_function.h"
#include "kuvo_host/http_request.h"

namespace guide {

// On the runner's thread, once per request: the clone, filled. 0 is HTTP 200.
void OnFetched(uint32_t, IHttpRequest* request) {
  kuvo_host::HttpRequest* done = kuvo_host::HttpRequest::From(request);
  if (done != nullptr && done->result_code() == 0) (void)done->response();
}

struct FetchStart {
  Base::IThreadService* threads;
  Base::ITaskRunner* runner;
};

// Posted to the host's runner: HttpInit and HttpStartRequest run on that thread. The runner
// and the thread service outlive HttpUnInit, which is posted the same way at the end.
void StartFetch(Base::ITaskRunner* runner, Base::IThreadService* threads) {
  static FetchStart start;
  start = FetchStart{threads, runner};
  runner->PostTask(Base::NewRunnableFunction(
      +[](FetchStart* s) {
        if (!HttpInit(s->threads, s->runner)) return;
        auto request = kuvo_host::HttpRequest::Create("https://example.org/status");
        request->SetAttempts(3).SetRetryDelay(500);
        HttpStartRequest(request.get(), &OnFetched);
      },
      &start));
}

}  // namespace guide
