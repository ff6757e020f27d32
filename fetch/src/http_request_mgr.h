// CHttpRequestMgr: the one manager behind the exports: the borrowed services, the table of
// pending requests and the process-wide request id counter.
//
// Threads: the exports and the completion run on the host's task-runner thread, so the table
// needs no lock. Workers reach the manager only through CompleteRequest, which posts to the
// runner; the runner pointer they read is guarded by DeliveryGate.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "KuvoFetch.h"
#include "base/smart_ptr.h"
#include "curl_share.h"

namespace Http {

class CHttpRequestMgr {
 public:
  // The manager, created on first use. Runner thread only.
  static CHttpRequestMgr* Instance();
  // Destroys the manager if there is one (HttpUnInit's last step).
  static void DestroyInstance();
  // Sets the value the id counter holds now (the next id is this plus one, never 0).
  static void SetLastRequestId(uint32_t last_id);

  bool Init(Base::IThreadService* thread_service, Base::ITaskRunner* task_runner);
  uint32_t StartRequest(IHttpRequest* request, HttpRequestCallback callback);
  void StopRequest(uint32_t request_id);
  // Stops every pending request in ascending id order, empties the table, drops the libcurl
  // state and unbinds the runner (waiting for workers that are handing it a result right now).
  void UnInit();

  // Delivers a result on the runner's thread: at most once per id, only while its row exists.
  void Complete(uint32_t request_id, uint32_t code, const std::string& response);

 private:
  struct RequestEntry {
    uint32_t thread_key = 0;
    HttpRequestCallback callback = nullptr;
    Base::CSmartPtr<IHttpRequest> request;
  };

  CHttpRequestMgr() = default;
  ~CHttpRequestMgr() = default;
  static uint32_t NextRequestId();

  Base::IThreadService* thread_service_ = nullptr;
  Base::ITaskRunner* task_runner_ = nullptr;
  std::map<uint32_t, RequestEntry> pending_;
  std::shared_ptr<CurlShare> curl_;
};

// Hands a worker's result to the runner: runs the completion at once when called on the
// runner's thread, else posts a task that calls this again there. Dropped when no manager with
// a runner is bound.
void CompleteRequest(uint32_t request_id, uint32_t code, std::string response);

}  // namespace Http
