// How an attempt's three results decide the request: success, 404, the status, the libcurl code
// or the status read's own error.
#include "attempt_outcome.h"

#include <gtest/gtest.h>

#include "curl_obj.h"

namespace {

using Http::AttemptOutcome;
using Http::ClassifyAttempt;

constexpr uint32_t kOk = 0;
constexpr uint32_t kPartialFile = 18;
constexpr uint32_t kTimedOut = 28;
constexpr uint32_t kBadArgument = 43;

TEST(AttemptOutcome, OnlyAClean200Succeeds) {
  const AttemptOutcome ok = ClassifyAttempt(kOk, kOk, 200, false);
  EXPECT_TRUE(ok.finished);
  EXPECT_EQ(ok.code, 0u);
  EXPECT_TRUE(ok.keep_body);
  // 200 with a transport error: retried, and on the last attempt the libcurl code is reported.
  EXPECT_FALSE(ClassifyAttempt(kPartialFile, kOk, 200, false).finished);
  const AttemptOutcome cut = ClassifyAttempt(kPartialFile, kOk, 200, true);
  EXPECT_EQ(cut.code, kPartialFile);
  EXPECT_FALSE(cut.keep_body);
  EXPECT_EQ(ClassifyAttempt(kTimedOut, kOk, 200, true).code, kTimedOut);
}

TEST(AttemptOutcome, UnreadableStatusNeverPassesForSuccess) {
  // The transfer reported no error but the status could not be read: the status left from an
  // earlier attempt (200 here) must not turn this into a success.
  const AttemptOutcome stale = ClassifyAttempt(kOk, kBadArgument, 200, false);
  EXPECT_FALSE(stale.finished);
  const AttemptOutcome last = ClassifyAttempt(kOk, kBadArgument, 200, true);
  EXPECT_TRUE(last.finished);
  EXPECT_EQ(last.code, kBadArgument);
  EXPECT_FALSE(last.keep_body);
  EXPECT_EQ(ClassifyAttempt(kOk, kBadArgument, 0, true).code, kBadArgument);
  // Without a handle both results are kSetupFailed and an earlier status still counts.
  EXPECT_EQ(ClassifyAttempt(Http::kSetupFailed, Http::kSetupFailed, 500, true).code, 500u);
  EXPECT_EQ(ClassifyAttempt(Http::kSetupFailed, Http::kSetupFailed, 0, true).code,
            Http::kSetupFailed);
}

TEST(AttemptOutcome, NotFoundEndsAtOnceOtherStatusesAfterTheLastAttempt) {
  const AttemptOutcome missing = ClassifyAttempt(kOk, kOk, 404, false);
  EXPECT_TRUE(missing.finished);
  EXPECT_EQ(missing.code, 404u);
  EXPECT_FALSE(missing.keep_body);
  EXPECT_TRUE(ClassifyAttempt(47, kOk, 404, false).finished);  // even after a libcurl error
  EXPECT_FALSE(ClassifyAttempt(kOk, kOk, 204, false).finished);
  EXPECT_EQ(ClassifyAttempt(kOk, kOk, 204, true).code, 204u);
  // A libcurl error after a status other than 200: the status wins.
  EXPECT_EQ(ClassifyAttempt(47, kOk, 302, true).code, 302u);
  EXPECT_EQ(ClassifyAttempt(7, kOk, 0, true).code, 7u);
}

}  // namespace
