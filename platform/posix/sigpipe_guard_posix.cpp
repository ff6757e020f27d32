#include <signal.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/sigpipe_guard.h"

namespace platform {

static_assert(sizeof(sigset_t) <= 128, "old_mask_ is too small for sigset_t");

namespace {
bool SigpipePending() {
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGPIPE) == 1;
}
}  // namespace

SigpipeGuard::SigpipeGuard() {
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGPIPE);
  sigset_t old;
  sigemptyset(&old);
  // A SIGPIPE already pending before us belongs to someone else: leave it alone.
  was_pending_ = SigpipePending();
  if (pthread_sigmask(SIG_BLOCK, &block, &old) == 0) {
    std::memcpy(old_mask_, &old, sizeof(old));
    restore_ = true;
  }
}

SigpipeGuard::~SigpipeGuard() {
  if (!restore_) return;
  if (!was_pending_ && SigpipePending()) {
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    const timespec no_wait = {0, 0};
    while (sigtimedwait(&pipe_only, nullptr, &no_wait) == -1 && errno == EINTR) {
    }
  }
  sigset_t old;
  std::memcpy(&old, old_mask_, sizeof(old));
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace platform
