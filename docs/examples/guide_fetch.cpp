// Host guide, KuvoFetch: a counted request object, and the exports called on the runner's thread.
#include <atomic>
#include <map>
#include <string>

#include "KuvoFetch.h"
#include "base/runnable_function.h"

namespace guide {

class GetRequest final : public IHttpRequest {
 public:
  explicit GetRequest(std::string url) : url_(std::move(url)) {}
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
  uint32_t GetAttempts() override { return 3; }
  int32_t GetMethod() override { return kHttpMethodGet; }
  int32_t GetContentType() override { return kHttpContentForm; }  // the only one a GET takes
  uint32_t GetRetryDelay() override { return 500; }
  std::map<std::string, std::string> GetHeaders() override { return {}; }
  std::string GetProxy() override { return std::string(); }
  void Clone(IHttpRequest** out) override {
    *out = new GetRequest(url_);
    (*out)->AddRef();
  }
  std::string response_;
  int32_t code_ = -1;

 private:
  std::atomic<long> refs_{0};
  std::string url_;
};

// On the runner's thread, once per request: the clone, filled. 0 is HTTP 200.
void OnFetched(uint32_t, IHttpRequest* request) {
  auto* done = static_cast<GetRequest*>(request);
  (void)done->code_;
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
        Base::CSmartPtr<GetRequest> request(new GetRequest("https://example.org/status"));
        HttpStartRequest(request.get(), &OnFetched);
      },
      &start));
}

}  // namespace guide
