// HttpRequest: a request object for KuvoFetch with plain setters, so that a host does not write
// the fourteen operations of IHttpRequest itself.
//
//   auto request = kuvo_host::HttpRequest::Create("https://example.org/status");
//   request->SetAttempts(3).SetRetryDelay(500);
//   HttpStartRequest(request.get(), &OnDone);      // on the task runner's thread
//   void OnDone(uint32_t id, IHttpRequest* done) { // on the runner's thread, once
//     kuvo_host::HttpRequest* r = kuvo_host::HttpRequest::From(done);
//     ... r->result_code(), r->response(), r->tag() ...
//   }
//
// Defaults: GET, content type form (the only one a GET accepts), one attempt, no retry delay,
// no headers, no proxy (the proxy environment variables apply). The library works on a clone:
// the setters are for before HttpStartRequest; the completion receives the clone, which carries
// the same values (the tag included) and the result. Counted atomically; the object deletes
// itself when the last reference goes. The result may be read from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "KuvoFetch.h"
#include "base/smart_ptr.h"

namespace kuvo_host {

class HttpRequest final : public IHttpRequest {
 public:
  static Base::CSmartPtr<HttpRequest> Create(std::string url);
  // The object the completion received, as this class; null when it is another class's.
  static HttpRequest* From(IHttpRequest* request);

  HttpRequest& SetUrl(std::string url);
  HttpRequest& SetData(std::string data);             // GET: the query; POST: the body
  HttpRequest& SetMethod(int32_t method);             // kHttpMethodGet, kHttpMethodPost
  HttpRequest& SetContentType(int32_t content_type);  // kHttpContent*
  HttpRequest& SetAttempts(uint32_t attempts);
  HttpRequest& SetRetryDelay(uint32_t milliseconds);
  HttpRequest& SetHeader(const std::string& name, std::string value);
  HttpRequest& SetProxy(std::string proxy);  // "scheme://host:port"; used only with "://"
  // A value of the host's, copied into clones: tells completions apart.
  HttpRequest& SetTag(uint64_t tag);
  uint64_t tag() const { return values_.tag; }

  // The result, once the completion has it: -1 before. 0 is HTTP 200 (see KuvoFetch.h).
  int32_t result_code() const;
  std::string response() const;

  // IHttpRequest, called by KuvoFetch.
  long AddRef() override;
  long Release() override;
  std::string GetUrl() override { return values_.url; }
  std::string GetData() override { return values_.data; }
  void SetResponse(const std::string& response) override;
  void SetResultCode(int32_t code) override;
  uint32_t GetAttempts() override { return values_.attempts; }
  int32_t GetMethod() override { return values_.method; }
  int32_t GetContentType() override { return values_.content_type; }
  uint32_t GetRetryDelay() override { return values_.retry_delay_ms; }
  std::map<std::string, std::string> GetHeaders() override { return values_.headers; }
  std::string GetProxy() override { return values_.proxy; }
  void Clone(IHttpRequest** out) override;

 private:
  struct Values {
    std::string url;
    std::string data;
    int32_t method = kHttpMethodGet;
    int32_t content_type = kHttpContentForm;
    uint32_t attempts = 1;
    uint32_t retry_delay_ms = 0;
    std::map<std::string, std::string> headers;
    std::string proxy;
    uint64_t tag = 0;
  };
  explicit HttpRequest(Values values) : values_(std::move(values)) {}
  ~HttpRequest() = default;

  std::atomic<long> refs_{0};
  Values values_;
  mutable std::mutex result_mutex_;
  int32_t code_ = -1;
  std::string response_;
};

}  // namespace kuvo_host
