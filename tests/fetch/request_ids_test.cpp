// Request ids, start failures and the unbound state.
#include <gtest/gtest.h>

#include <vector>

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

TEST_F(FetchTest, AfterAWrapIdsStillPendingAreSkipped) {
  HttpSetLastRequestIdForTesting(0);
  ASSERT_EQ(Start(NeverTransfers()), 1u);  // thread key 1
  ASSERT_EQ(Start(NeverTransfers()), 2u);  // thread key 2
  HttpSetLastRequestIdForTesting(0xFFFFFFFFu);
  // The counter comes round to 1 and 2 again while both rows wait: the new request gets 3 and
  // the rows keep their own threads and requests.
  const std::string key = NewKey("wrap");
  RequestValues v;
  v.url = HttpUrl("/s/" + key + "/200");
  Base::CSmartPtr<TestRequest> original;
  const uint32_t id = Start(v, &original);
  EXPECT_EQ(id, 3u);
  Completion c;
  ASSERT_TRUE(CompletionLog::Get().WaitFor(id, &c));
  EXPECT_EQ(c.response, "body " + key + " 1");
  EXPECT_EQ(c.request, original->LastClone());
  Drain();
  Stop(1);
  Stop(2);
  EXPECT_EQ(service_->StoppedKeys(), (std::vector<uint32_t>{3, 1, 2}));
  EXPECT_EQ(CompletionLog::Get().Size(), 1u);
}

TEST_F(FetchTest, FailedThreadStartUsesUpAnIdAndAddsNoRow) {
  HttpSetLastRequestIdForTesting(10);
  const int live_before = TestRequest::LiveCount();
  service_->FailNextStarts(1);
  auto request = TestRequest::Make(NeverTransfers());
  EXPECT_EQ(Start(request.get()), 0u);
  // The failed start kept no reference to its clone.
  EXPECT_EQ(TestRequest::LiveCount(), live_before + 1);
  EXPECT_EQ(Start(NeverTransfers()), 12u);
  // Id 11 has no row: stopping it reaches no thread.
  Stop(11);
  EXPECT_TRUE(service_->StoppedKeys().empty());
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
  EXPECT_TRUE(service_->StoppedKeys().empty());

  OnRunner([&] { ok = HttpInit(service_.get(), runner_.get()); });
  ASSERT_TRUE(ok);
  initialised_ = true;
  RequestValues v;
  v.url = HttpUrl("/s/" + NewKey("rebound") + "/200");
  EXPECT_EQ(Run(v).code, 0);
}

}  // namespace
}  // namespace fetch_test
