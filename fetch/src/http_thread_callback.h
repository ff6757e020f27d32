// CHttpThreadCallBack: the job that carries out one request on a thread of the host's thread
// service: up to `attempts` transfers, each on a fresh CurlObj, then one completion.
//
// Built on the thread that calls HttpStartRequest, which copies every request value into it;
// the job never touches the request object afterwards. Counted: the starter, the thread service
// and nobody else hold references, from different threads (the count is atomic).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "KuvoFetch.h"
#include "base/smart_ref.h"
#include "base/thread_service.h"
#include "curl_share.h"

namespace Http {

class CHttpThreadCallBack : public Base::CSmartRefImpl<Base::IThreadCallback> {
 public:
  // `share` keeps the libcurl state alive for as long as this job may transfer.
  CHttpThreadCallBack(uint32_t request_id, IHttpRequest* request, std::shared_ptr<CurlShare> share);

  const char* GetName() override { return "HttpThreadCallBackClass"; }
  // The attempt loop; ends with CompleteRequest unless attempts is 0.
  void Run() override;

 private:
  ~CHttpThreadCallBack() override = default;

  uint32_t attempts_;
  uint32_t retry_delay_ms_;
  uint32_t request_id_;
  int32_t method_;
  int32_t content_type_;
  std::string url_;
  std::string data_;
  std::string proxy_;
  std::map<std::string, std::string> headers_;
  std::shared_ptr<CurlShare> share_;
};

}  // namespace Http
