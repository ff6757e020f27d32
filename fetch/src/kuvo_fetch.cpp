// The exports: each forwards to the manager; no exception leaves the library.
#include "KuvoFetch.h"
#include "http_request_mgr.h"

using Http::CHttpRequestMgr;

extern "C" {

KUVO_FETCH_API bool HttpInit(Base::IThreadService* thread_service, Base::ITaskRunner* task_runner) {
  try {
    return CHttpRequestMgr::Instance()->Init(thread_service, task_runner);
  } catch (...) {
    return false;
  }
}

KUVO_FETCH_API uint32_t HttpStartRequest(IHttpRequest* request, HttpRequestCallback callback) {
  try {
    return CHttpRequestMgr::Instance()->StartRequest(request, callback);
  } catch (...) {
    return 0;
  }
}

KUVO_FETCH_API void HttpStopRequest(uint32_t request_id) {
  try {
    CHttpRequestMgr::Instance()->StopRequest(request_id);
  } catch (...) {
  }
}

KUVO_FETCH_API void HttpUnInit() {
  try {
    CHttpRequestMgr::Instance()->UnInit();
  } catch (...) {
  }
  CHttpRequestMgr::DestroyInstance();
}

}  // extern "C"
