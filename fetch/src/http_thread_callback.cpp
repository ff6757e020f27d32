#include "http_thread_callback.h"

#include <utility>

#include "curl_obj.h"
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
    if (status == 404) {
      CompleteRequest(request_id_, 404, std::string());
      return;
    }
    if (transfer_result == 0 && read_result == 0 && status == 200) {
      CompleteRequest(request_id_, 0, std::move(response));
      return;
    }
    if (attempt == attempts_) {
      uint32_t code = transfer_result;
      if (status > 0 && status != 200) {
        code = static_cast<uint32_t>(status);
      } else if (code == 0) {
        // A transfer without error whose status could not be read must not pass for success.
        code = read_result;
      }
      CompleteRequest(request_id_, code, std::string());
      return;
    }
    if (retry_delay_ms_ != 0) platform::SleepMilliseconds(retry_delay_ms_);
  }
}

}  // namespace Http
