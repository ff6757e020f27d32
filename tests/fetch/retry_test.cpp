// Attempts, retries, pauses and the classification of HTTP statuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fetch_fixture.h"

namespace fetch_test {
namespace {

// Arrival times (ms) of the requests the server logged for `key`.
std::vector<double> Arrivals(const std::string& key) {
  std::vector<double> times;
  std::istringstream lines(Probe(HttpUrl("/log/" + key)));
  std::string line;
  while (std::getline(lines, line)) times.push_back(std::atof(line.c_str()));
  return times;
}

RequestValues Scripted(const std::string& key, const std::string& script, uint32_t attempts,
                       uint32_t delay_ms) {
  RequestValues v;
  v.url = HttpUrl("/s/" + key + "/" + script);
  v.attempts = attempts;
  v.retry_delay_ms = delay_ms;
  return v;
}

TEST_F(FetchTest, StatusOtherThan200IsRetriedAndReportedAfterTheLastAttempt) {
  const std::string key = NewKey("s204");
  const Completion c = Run(Scripted(key, "204", 3, 0));
  EXPECT_EQ(c.code, 204);
  EXPECT_EQ(c.response, "");
  EXPECT_EQ(Arrivals(key).size(), 3u);
}

TEST_F(FetchTest, ServerErrorThenSuccessKeepsOnlyTheSecondBody) {
  const std::string key = NewKey("s500");
  const Completion c = Run(Scripted(key, "500,200", 3, 0));
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.response, "body " + key + " 2");
  EXPECT_EQ(Arrivals(key).size(), 2u);
}

// A pause longer than the completion wait (40 s) would keep these answers from coming at all,
// so no clock is needed to see that none was taken.
constexpr uint32_t kLongerThanAnyWait = 600000;

TEST_F(FetchTest, NotFoundEndsAtOnceWithoutPause) {
  const std::string key = NewKey("s404");
  const Completion c = Run(Scripted(key, "404,200", 3, kLongerThanAnyWait));
  EXPECT_EQ(c.code, 404);
  EXPECT_EQ(c.response, "");
  EXPECT_EQ(Arrivals(key).size(), 1u);
}

TEST_F(FetchTest, PausesComeBetweenAttemptsAndNeverAfterTheLast) {
  const std::string key = NewKey("pause");
  const Completion c = Run(Scripted(key, "500", 3, 300));
  EXPECT_EQ(c.code, 500);
  const auto times = Arrivals(key);
  ASSERT_EQ(times.size(), 3u);
  EXPECT_GE(times[1] - times[0], 295.0);  // the log keeps a tenth of a millisecond
  EXPECT_GE(times[2] - times[1], 295.0);

  // No pause after the last attempt: the answer comes although the delay outlasts the wait.
  const std::string single = NewKey("pause1");
  EXPECT_EQ(Run(Scripted(single, "500", 1, kLongerThanAnyWait)).code, 500);
}

TEST_F(FetchTest, ZeroDelayRetriesWithoutPause) {
  // The same three attempts with no delay and with a 400 ms delay, against the same server: the
  // gaps between arrivals differ by about the delay; a pause taken at delay 0 (a default, or a
  // minimum) would shrink that difference.
  constexpr double kDelayMs = 400;
  const std::string fast = NewKey("nopause");
  EXPECT_EQ(Run(Scripted(fast, "500,500,200", 3, 0)).code, 0);
  const std::string slow = NewKey("withpause");
  EXPECT_EQ(Run(Scripted(slow, "500,500,200", 3, static_cast<uint32_t>(kDelayMs))).code, 0);
  const auto quick = Arrivals(fast);
  const auto paced = Arrivals(slow);
  ASSERT_EQ(quick.size(), 3u);
  ASSERT_EQ(paced.size(), 3u);
  for (int i = 1; i < 3; ++i) {
    const double quick_gap = quick[i] - quick[i - 1];
    const double paced_gap = paced[i] - paced[i - 1];
    EXPECT_GE(paced_gap, kDelayMs - 5);
    EXPECT_LT(quick_gap, paced_gap - kDelayMs / 2) << "gap " << i;
  }
}

TEST_F(FetchTest, LastAttemptWithoutStatusReportsTheLibcurlCode) {
  // No attempt gets as far as a status.
  RequestValues v;
  v.url = "http://127.0.0.1:1/none";
  v.attempts = 2;
  EXPECT_EQ(Run(v).code, 7);
}

TEST_F(FetchTest, ZeroAttemptsNeverTransfersNorCompletes) {
  const std::string key = NewKey("zero");
  const uint32_t id = Start(Scripted(key, "200", 0, 0));
  ASSERT_NE(id, 0u);
  service_->JoinAll();  // the worker has returned
  Drain();
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 0);
  EXPECT_TRUE(Arrivals(key).empty());
  EXPECT_TRUE(service_->StoppedKeys().empty());
  Stop(id);  // still pending until now
  EXPECT_EQ(service_->StoppedKeys().size(), 1u);
}

}  // namespace
}  // namespace fetch_test
