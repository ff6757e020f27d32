// SigpipeGuard: keeps socket writes on this thread from killing the process with SIGPIPE (libcurl
// ignores SIGPIPE itself only when signals are allowed, and KuvoFetch sets CURLOPT_NOSIGNAL).
// While a guard lives, SIGPIPE is blocked on the calling thread; a SIGPIPE raised meanwhile is
// consumed before the thread's mask is restored. Nothing to do on Windows.
#pragma once

namespace platform {

class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  bool was_pending_ = false;
  bool restore_ = false;
  alignas(8) unsigned char old_mask_[128];
};

}  // namespace platform
