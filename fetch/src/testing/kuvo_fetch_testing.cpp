// The test-only exports, linked into KuvoFetchForTesting only: the shipped library has none.
#include "testing/kuvo_fetch_testing.h"

#include "http_request_mgr.h"

extern "C" {

KUVO_FETCH_API void HttpSetLastRequestIdForTesting(uint32_t last_id) {
  Http::CHttpRequestMgr::SetLastRequestId(last_id);
}

}  // extern "C"
