#include "kuvo_host/http_request.h"

#include <new>
#include <utility>

namespace kuvo_host {

Base::CSmartPtr<HttpRequest> HttpRequest::Create(std::string url) {
  Values values;
  values.url = std::move(url);
  return Base::CSmartPtr<HttpRequest>(new HttpRequest(std::move(values)));
}

HttpRequest* HttpRequest::From(IHttpRequest* request) {
  return dynamic_cast<HttpRequest*>(request);
}

HttpRequest& HttpRequest::SetUrl(std::string url) {
  values_.url = std::move(url);
  return *this;
}
HttpRequest& HttpRequest::SetData(std::string data) {
  values_.data = std::move(data);
  return *this;
}
HttpRequest& HttpRequest::SetMethod(int32_t method) {
  values_.method = method;
  return *this;
}
HttpRequest& HttpRequest::SetContentType(int32_t content_type) {
  values_.content_type = content_type;
  return *this;
}
HttpRequest& HttpRequest::SetAttempts(uint32_t attempts) {
  values_.attempts = attempts;
  return *this;
}
HttpRequest& HttpRequest::SetRetryDelay(uint32_t milliseconds) {
  values_.retry_delay_ms = milliseconds;
  return *this;
}
HttpRequest& HttpRequest::SetHeader(const std::string& name, std::string value) {
  values_.headers[name] = std::move(value);
  return *this;
}
HttpRequest& HttpRequest::SetProxy(std::string proxy) {
  values_.proxy = std::move(proxy);
  return *this;
}
HttpRequest& HttpRequest::SetTag(uint64_t tag) {
  values_.tag = tag;
  return *this;
}

int32_t HttpRequest::result_code() const {
  std::lock_guard<std::mutex> lock(result_mutex_);
  return code_;
}

std::string HttpRequest::response() const {
  std::lock_guard<std::mutex> lock(result_mutex_);
  return response_;
}

long HttpRequest::AddRef() {
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

long HttpRequest::Release() {
  const long left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

void HttpRequest::SetResponse(const std::string& response) {
  std::lock_guard<std::mutex> lock(result_mutex_);
  response_ = response;
}

void HttpRequest::SetResultCode(int32_t code) {
  std::lock_guard<std::mutex> lock(result_mutex_);
  code_ = code;
}

void HttpRequest::Clone(IHttpRequest** out) {
  if (out == nullptr) return;
  // The library's copy: the values, not the result. Null when memory ran out.
  auto* copy = new (std::nothrow) HttpRequest(values_);
  if (copy != nullptr) copy->AddRef();
  *out = copy;
}

}  // namespace kuvo_host
