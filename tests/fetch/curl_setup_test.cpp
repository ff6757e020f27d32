// The one-time libcurl set-up of HttpInit: tried again while the share handle is missing, never
// twice while it exists, and every curl_global_init matched by one curl_global_cleanup.
#include <gtest/gtest.h>

#include <atomic>

#include "KuvoFetch.h"
#include "curl_share.h"
#include "kuvo_host/thread_service.h"
#include "kuvo_host/thread_task_runner.h"

namespace {

using Http::CurlSetupCalls;
using Http::CurlSetupCallsForTesting;

std::atomic<int> g_inits{0};
std::atomic<int> g_cleanups{0};
std::atomic<int> g_share_inits{0};
std::atomic<int> g_share_failures_left{0};

CURLcode CountingGlobalInit(long flags) {
  ++g_inits;
  return curl_global_init(flags);
}
void CountingGlobalCleanup() {
  ++g_cleanups;
  curl_global_cleanup();
}
CURLSH* FailingShareInit() {
  ++g_share_inits;
  if (g_share_failures_left > 0) {
    --g_share_failures_left;
    return nullptr;
  }
  return curl_share_init();
}

class CurlSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_inits = g_cleanups = g_share_inits = g_share_failures_left = 0;
    saved_ = CurlSetupCallsForTesting();
    CurlSetupCallsForTesting().global_init = &CountingGlobalInit;
    CurlSetupCallsForTesting().global_cleanup = &CountingGlobalCleanup;
    CurlSetupCallsForTesting().share_init = &FailingShareInit;
  }
  void TearDown() override { CurlSetupCallsForTesting() = saved_; }
  // The exports are called here on the test's thread: no request runs, nothing is posted.
  bool Init() { return HttpInit(&service_, &runner_); }

  CurlSetupCalls saved_;
  kuvo_host::ThreadService service_;
  kuvo_host::ThreadTaskRunner runner_;
};

TEST_F(CurlSetupTest, ShareThatCannotBeMadeStillBalancesGlobalInitAndCleanup) {
  g_share_failures_left = 1;
  {
    auto state = Http::CurlShare::Create();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->handle(), nullptr);
    EXPECT_EQ(g_inits, 1);
    EXPECT_EQ(g_cleanups, 0);
  }
  EXPECT_EQ(g_cleanups, 1);
}

TEST_F(CurlSetupTest, HttpInitAfterAFailedShareSetUpTriesAgain) {
  g_share_failures_left = 1;
  EXPECT_TRUE(Init());  // the result does not reflect the set-up
  EXPECT_EQ(g_share_inits, 1);
  EXPECT_TRUE(Init());  // no share handle yet: set up again, and this time it works
  EXPECT_EQ(g_share_inits, 2);
  EXPECT_EQ(g_inits, 2);
  EXPECT_EQ(g_cleanups, 1);  // the failed set-up's global state is released
  EXPECT_TRUE(Init());       // the handle exists now: nothing more
  EXPECT_EQ(g_share_inits, 2);
  EXPECT_EQ(g_inits, 2);
  HttpUnInit();
  EXPECT_EQ(g_cleanups, 2);
}

TEST_F(CurlSetupTest, HttpUnInitAfterAFailedSetUpCleansUpOnce) {
  g_share_failures_left = 5;
  EXPECT_TRUE(Init());
  HttpUnInit();
  EXPECT_EQ(g_inits, 1);
  EXPECT_EQ(g_cleanups, 1);
  HttpUnInit();  // nothing bound: nothing more to clean up
  EXPECT_EQ(g_cleanups, 1);
}

}  // namespace
