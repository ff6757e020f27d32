#include "http_thread_callback.h"

#include <utility>

#include "attempt_outcome.h"
#include "curl_obj.h"
#include "header_lines.h"
#include "http_request_mgr.h"
#include "platform/sigpipe_guard.h"
#include "platform/sync.h"

namespace Http {

CHttpThreadCallBack::CHttpThreadCallBack(uint32_t request_id, IHttpRequest* request,
                                         std::shared_ptr<CurlShare> share)
    : attempts_(request->GetAttempts()),
      retry_delay_ms_(request->GetRetryDelay()),
      request_id_(request_id),
      method_(request->GetMethod()),
      content_type_(request->GetContentType()),
      url_(request->GetUrl()),
      data_(request->GetData()),
      proxy_(request->GetProxy()),
      headers_(request->GetHeaders()),
      share_(std::move(share)) {}

void CHttpThreadCallBack::Run() {
  if (attempts_ == 0) return;
  if (!HeaderFieldsAreSafe(headers_)) {
    // Nothing of this request can go out as the host described it: refuse it whole, without
    // an attempt or a pause.
    CompleteRequest(request_id_, kSetupFailed, std::string());
    return;
  }
  CURLSH* const share = share_ ? share_->handle() : nullptr;
  long status = 0;
  for (uint32_t attempt = 1; attempt <= attempts_; ++attempt) {
    std::string response;
    uint32_t transfer_result = kSetupFailed;
    uint32_t read_result = kSetupFailed;
    {
      // Covers the clean-up too: closing a TLS connection writes to the socket.
      platform::SigpipeGuard no_sigpipe;
      CurlObj curl(share);
      curl.SetUrl(url_);
      curl.SetData(data_, content_type_);
      curl.SetMethod(method_);
      curl.SetHeaders(headers_);
      curl.SetResponseTarget(&response);
      curl.SetProxy(proxy_);
      transfer_result = curl.Perform();
      read_result = curl.ReadStatus(&status);
    }
    const AttemptOutcome outcome =
        ClassifyAttempt(transfer_result, read_result, status, attempt == attempts_);
    if (outcome.finished) {
      CompleteRequest(request_id_, outcome.code,
                      outcome.keep_body ? std::move(response) : std::string());
      return;
    }
    if (retry_delay_ms_ != 0) platform::SleepMilliseconds(retry_delay_ms_);
  }
}

}  // namespace Http
