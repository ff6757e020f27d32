#include "curl_share.h"

namespace Http {

CurlSetupCalls& CurlSetupCallsForTesting() {
  static CurlSetupCalls calls;
  return calls;
}

std::shared_ptr<CurlShare> CurlShare::Create() {
  const CurlSetupCalls calls = CurlSetupCallsForTesting();
  std::shared_ptr<CurlShare> state(new CurlShare());
  calls.global_init(CURL_GLOBAL_WIN32);
  state->global_cleanup_ = calls.global_cleanup;
  CURLSH* share = calls.share_init();
  if (!share) return state;
  // The locks are found through the user pointer, never through the easy handle, which libcurl
  // passes as null for the share object's own lock.
  curl_share_setopt(share, CURLSHOPT_USERDATA, state.get());
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &CurlShare::Lock);
  curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &CurlShare::Unlock);
  state->share_ = share;
  return state;
}

CurlShare::~CurlShare() {
  if (share_) {
    // No easy handle uses the share any more: every holder of this object is gone.
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, nullptr);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, nullptr);
    curl_share_cleanup(share_);
    share_ = nullptr;
  }
  if (global_cleanup_) global_cleanup_();
}

void CurlShare::Lock(CURL* /*handle*/, curl_lock_data data, curl_lock_access access, void* user) {
  auto* self = static_cast<CurlShare*>(user);
  if (!self || data < 0 || data >= CURL_LOCK_DATA_LAST) return;
  if (access != CURL_LOCK_ACCESS_SHARED && access != CURL_LOCK_ACCESS_SINGLE) return;
  self->locks_[data].Enter();
}

void CurlShare::Unlock(CURL* /*handle*/, curl_lock_data data, void* user) {
  auto* self = static_cast<CurlShare*>(user);
  if (!self || data < 0 || data >= CURL_LOCK_DATA_LAST) return;
  self->locks_[data].Leave();
}

}  // namespace Http
