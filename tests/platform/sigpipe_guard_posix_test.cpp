// SigpipeGuard: a SIGPIPE raised on a transfer thread neither kills the process nor leaks out.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "platform/sigpipe_guard.h"

namespace {

bool Blocked(int sig) {
  sigset_t mask;
  sigemptyset(&mask);
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  return sigismember(&mask, sig) == 1;
}

bool Pending(int sig) {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return sigismember(&pending, sig) == 1;
}

TEST(SigpipeGuard, SwallowsSigpipeRaisedWhileItLivesAndRestoresTheMask) {
  std::thread worker([] {
    ASSERT_FALSE(Blocked(SIGPIPE));
    {
      platform::SigpipeGuard guard;
      EXPECT_TRUE(Blocked(SIGPIPE));
      pthread_kill(pthread_self(), SIGPIPE);  // would end the process unguarded
      EXPECT_TRUE(Pending(SIGPIPE));
    }
    EXPECT_FALSE(Pending(SIGPIPE));
    EXPECT_FALSE(Blocked(SIGPIPE));
  });
  worker.join();
}

TEST(SigpipeGuard, LeavesAnEarlierPendingSigpipeAlone) {
  std::thread worker([] {
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &block, nullptr);
    pthread_kill(pthread_self(), SIGPIPE);
    { platform::SigpipeGuard guard; }
    EXPECT_TRUE(Pending(SIGPIPE));
    EXPECT_TRUE(Blocked(SIGPIPE));
    int sig = 0;
    sigwait(&block, &sig);  // consume it so the thread ends clean
  });
  worker.join();
}

}  // namespace
