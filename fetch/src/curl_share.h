// CurlShare: the process-wide libcurl state of one HttpInit..HttpUnInit span: the global
// initialisation, the share handle with its DNS cache and one lock per libcurl lock kind.
//
// Held through std::shared_ptr by the manager and by every worker built while it was bound, so
// the share handle and its locks outlive any transfer that may still use them, whatever the
// host's StopThread does. The last holder tears it down, on whichever thread that is.
#pragma once

#include <curl/curl.h>

#include <memory>

#include "platform/sync.h"

namespace Http {

// The libcurl calls that set the process-wide state up and tear it down. Tests replace them
// (through CurlSetupCallsForTesting) to count them or to make the share handle fail.
struct CurlSetupCalls {
  CURLcode (*global_init)(long flags) = &curl_global_init;
  void (*global_cleanup)() = &curl_global_cleanup;
  CURLSH* (*share_init)() = &curl_share_init;
};

// The calls Create uses. Replace them only while no HttpInit..HttpUnInit span is open.
CurlSetupCalls& CurlSetupCallsForTesting();

class CurlShare {
 public:
  // curl_global_init, then the share handle; the handle is null when libcurl could not make
  // one (transfers then run without a shared DNS cache). Every Create is matched by one
  // curl_global_cleanup when the object goes, whether or not the handle was made.
  static std::shared_ptr<CurlShare> Create();
  ~CurlShare();
  CurlShare(const CurlShare&) = delete;
  CurlShare& operator=(const CurlShare&) = delete;

  CURLSH* handle() const { return share_; }

  // The share's lock callbacks. `user` is the CurlShare; `handle` is never used (libcurl passes
  // null for the share object's own lock). Kinds outside libcurl's range are ignored.
  static void Lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* user);
  static void Unlock(CURL* handle, curl_lock_data data, void* user);

 private:
  CurlShare() = default;

  CURLSH* share_ = nullptr;
  void (*global_cleanup_)() = nullptr;
  // One per lock kind, the share object's own included.
  platform::CriticalSection locks_[CURL_LOCK_DATA_LAST];
};

}  // namespace Http
