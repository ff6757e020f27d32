// Attempts, retries, pauses and the classification of HTTP statuses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fetch_fixture.h"

namespace fetch_test {
namespace {

using Clock = std::chrono::steady_clock;

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

TEST_F(FetchTest, NotFoundEndsAtOnceWithoutPause) {
  const std::string key = NewKey("s404");
  const auto begin = Clock::now();
  const Completion c = Run(Scripted(key, "404,200", 3, 5000));
  EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(2500));
  EXPECT_EQ(c.code, 404);
  EXPECT_EQ(c.response, "");
  EXPECT_EQ(Arrivals(key).size(), 1u);
}

TEST_F(FetchTest, PausesComeBetweenAttemptsAndNeverAfterTheLast) {
  const std::string key = NewKey("pause");
  const auto begin = Clock::now();
  const Completion c = Run(Scripted(key, "500", 3, 300));
  const auto elapsed = Clock::now() - begin;
  EXPECT_EQ(c.code, 500);
  const auto times = Arrivals(key);
  ASSERT_EQ(times.size(), 3u);
  EXPECT_GE(times[1] - times[0], 295.0);  // the log keeps a tenth of a millisecond
  EXPECT_GE(times[2] - times[1], 295.0);
  EXPECT_LT(elapsed, std::chrono::milliseconds(600 + 2000));

  const std::string single = NewKey("pause1");
  const auto one_begin = Clock::now();
  EXPECT_EQ(Run(Scripted(single, "500", 1, 5000)).code, 500);
  EXPECT_LT(Clock::now() - one_begin, std::chrono::milliseconds(2500));
}

TEST_F(FetchTest, ZeroDelayRetriesWithoutPause) {
  const std::string key = NewKey("nopause");
  const auto begin = Clock::now();
  EXPECT_EQ(Run(Scripted(key, "500,500,200", 3, 0)).code, 0);
  EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(2000));
  EXPECT_EQ(Arrivals(key).size(), 3u);
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
  EXPECT_TRUE(service_->StoppedKeysForTesting().empty());
  Stop(id);  // still pending until now
  EXPECT_EQ(service_->StoppedKeysForTesting().size(), 1u);
}

}  // namespace
}  // namespace fetch_test
