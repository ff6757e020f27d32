// Request ids, start failures and the unbound state.
#include <gtest/gtest.h>

#include "fetch_fixture.h"
#include "testing/kuvo_fetch_testing.h"

namespace fetch_test {
namespace {

RequestValues NeverTransfers() {
  RequestValues v;
  v.url = HttpUrl("/fast");
  v.attempts = 0;  // stays pending without touching the network
  return v;
}

TEST_F(FetchTest, IdsCountUpFromOne) {
  HttpSetLastRequestIdForTesting(0);
  EXPECT_EQ(Start(NeverTransfers()), 1u);
  EXPECT_EQ(Start(NeverTransfers()), 2u);
  EXPECT_EQ(Start(NeverTransfers()), 3u);
}

TEST_F(FetchTest, IdAfterLargestIsOneNeverZero) {
  HttpSetLastRequestIdForTesting(0xFFFFFFFEu);
  EXPECT_EQ(Start(NeverTransfers()), 0xFFFFFFFFu);
  EXPECT_EQ(Start(NeverTransfers()), 1u);
}

TEST_F(FetchTest, FailedThreadStartUsesUpAnIdAndAddsNoRow) {
  HttpSetLastRequestIdForTesting(10);
  const int live_before = TestRequest::LiveCount();
  service_->FailNextStartsForTesting(1);
  auto request = TestRequest::Make(NeverTransfers());
  EXPECT_EQ(Start(request.get()), 0u);
  // The failed start kept no reference to its clone.
  EXPECT_EQ(TestRequest::LiveCount(), live_before + 1);
  EXPECT_EQ(Start(NeverTransfers()), 12u);
  // Id 11 has no row: stopping it reaches no thread.
  Stop(11);
  EXPECT_TRUE(service_->StoppedKeysForTesting().empty());
}

TEST_F(FetchTest, StartsThatBuildNothingLeaveTheCounterAlone) {
  HttpSetLastRequestIdForTesting(20);
  EXPECT_EQ(Start(nullptr), 0u);
  auto no_clone = TestRequest::Make(NeverTransfers());
  no_clone->FailClonesForTesting();
  EXPECT_EQ(Start(no_clone.get()), 0u);
  EXPECT_EQ(Start(NeverTransfers()), 21u);
}

TEST_F(FetchTest, UnboundLibraryAcceptsNothing) {
  UnInit();
  EXPECT_EQ(Start(NeverTransfers()), 0u);
  bool ok = true;
  OnRunner([&] { ok = HttpInit(nullptr, runner_.get()); });
  EXPECT_FALSE(ok);
  OnRunner([&] { ok = HttpInit(service_.get(), nullptr); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(Start(NeverTransfers()), 0u);
  Stop(1);  // nothing to find
  EXPECT_TRUE(service_->StoppedKeysForTesting().empty());

  OnRunner([&] { ok = HttpInit(service_.get(), runner_.get()); });
  ASSERT_TRUE(ok);
  initialised_ = true;
  RequestValues v;
  v.url = HttpUrl("/s/" + NewKey("rebound") + "/200");
  EXPECT_EQ(Run(v).code, 0);
}

}  // namespace
}  // namespace fetch_test
