// Completion delivery: once, on the runner, to the clone; never after a stop or HttpUnInit.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "fetch_fixture.h"
#include "testing/kuvo_fetch_testing.h"

namespace fetch_test {
namespace {

RequestValues Scripted(const std::string& key, const std::string& script) {
  RequestValues v;
  v.url = HttpUrl("/s/" + key + "/" + script);
  return v;
}

TEST_F(FetchTest, SuccessIsDeliveredOnceOnTheRunnerToTheClone) {
  const std::string key = NewKey("ok");
  Base::CSmartPtr<TestRequest> original;
  const uint32_t id = Start(Scripted(key, "200"), &original);
  ASSERT_NE(id, 0u);
  Completion c;
  ASSERT_TRUE(CompletionLog::Get().WaitFor(id, &c));
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.response, "body " + key + " 1");
  EXPECT_TRUE(c.on_runner);
  EXPECT_EQ(c.request, original->LastClone());
  EXPECT_NE(c.request, static_cast<IHttpRequest*>(original.get()));
  EXPECT_EQ(original->fill()->set_code_calls, 0);
  Drain();
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 1);
  auto fill = original->LastCloneFill();
  std::lock_guard<std::mutex> lock(fill->mutex);
  EXPECT_EQ(fill->set_code_calls, 1);
  EXPECT_EQ(fill->set_response_calls, 1);
}

TEST_F(FetchTest, NullCallbackStillFillsTheRequest) {
  const std::string key = NewKey("nocb");
  auto request = TestRequest::Make(Scripted(key, "200"));
  const uint32_t id = Start(request.get(), nullptr);
  ASSERT_NE(id, 0u);
  auto fill = request->LastCloneFill();
  ASSERT_TRUE(fill->WaitFilled());
  std::lock_guard<std::mutex> lock(fill->mutex);
  EXPECT_EQ(fill->code, 0);
  EXPECT_EQ(fill->response, "body " + key + " 1");
}

TEST_F(FetchTest, StopAfterCompletionDoesNothing) {
  const uint32_t id = Start(Scripted(NewKey("late"), "200"));
  Completion c;
  ASSERT_TRUE(CompletionLog::Get().WaitFor(id, &c));
  Drain();
  const auto stopped_before = service_->StoppedKeys();
  ASSERT_EQ(stopped_before.size(), 1u);  // the completion's own StopThread
  Stop(id);
  EXPECT_EQ(service_->StoppedKeys(), stopped_before);
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 1);
}

TEST_F(FetchTest, StoppedRequestGetsNoCallbackEvenWhenItsTransferSucceeds) {
  const int live_before = TestRequest::LiveCount();
  const std::string key = NewKey("stop");
  RequestValues v;
  v.url = HttpUrl("/gate/" + key);
  Base::CSmartPtr<TestRequest> original;
  const uint32_t id = Start(v, &original);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(Probe(HttpUrl("/arrived/" + key)), "yes");
  auto fill = original->LastCloneFill();
  // The service's StopThread waits for the worker, so stop on the runner without waiting here,
  // then let the held transfer finish successfully.
  std::atomic<bool> stopped{false};
  PostToRunner([&] {
    HttpStopRequest(id);
    stopped = true;
  });
  ASSERT_EQ(Probe(HttpUrl("/open/" + key)), "open");
  Drain();
  Drain();  // a completion the worker posted before it ended has run (and was dropped) now
  EXPECT_TRUE(stopped);
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 0);
  std::lock_guard<std::mutex> lock(fill->mutex);
  EXPECT_EQ(fill->set_code_calls, 0);
  EXPECT_EQ(fill->set_response_calls, 0);
  EXPECT_EQ(TestRequest::LiveCount(), live_before + 1);  // only `original` is left
}

TEST_F(FetchTest, UnInitStopsEveryPendingRequestOnceInAscendingIdOrder) {
  const int live_before = TestRequest::LiveCount();
  // Ids wrap, so start order (thread keys 1, 2, 3) differs from id order.
  HttpSetLastRequestIdForTesting(0xFFFFFFFEu);
  RequestValues v;
  v.url = HttpUrl("/fast");
  v.attempts = 0;
  std::vector<Base::CSmartPtr<TestRequest>> originals(3);
  EXPECT_EQ(Start(v, &originals[0]), 0xFFFFFFFFu);
  EXPECT_EQ(Start(v, &originals[1]), 1u);
  EXPECT_EQ(Start(v, &originals[2]), 2u);
  UnInit();
  EXPECT_EQ(service_->StoppedKeys(), (std::vector<uint32_t>{2, 3, 1}));
  Drain();
  EXPECT_EQ(CompletionLog::Get().Size(), 0u);
  for (auto& original : originals) EXPECT_EQ(original->LastCloneFill()->set_code_calls, 0);
  originals.clear();
  EXPECT_EQ(TestRequest::LiveCount(), live_before);  // every clone was released
}

TEST_F(FetchTest, HttpInitAgainWithRequestsPendingKeepsThem) {
  RequestValues waiting;
  waiting.url = HttpUrl("/fast");
  waiting.attempts = 0;
  const uint32_t idle = Start(waiting);  // thread key 1
  const std::string key = NewKey("reinit");
  RequestValues gated;
  gated.url = HttpUrl("/gate/" + key);
  const uint32_t id = Start(gated);  // thread key 2
  ASSERT_EQ(Probe(HttpUrl("/arrived/" + key)), "yes");
  bool ok = false;
  OnRunner([&] { ok = HttpInit(service_.get(), runner_.get()); });
  EXPECT_TRUE(ok);
  ASSERT_EQ(Probe(HttpUrl("/open/" + key)), "open");
  Completion c;
  ASSERT_TRUE(CompletionLog::Get().WaitFor(id, &c));  // the transfer kept its libcurl state
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.response, "gated");
  Drain();
  EXPECT_EQ(CompletionLog::Get().CountFor(id), 1);
  UnInit();
  EXPECT_EQ(service_->StoppedKeys(), (std::vector<uint32_t>{2, 1}));
  EXPECT_EQ(CompletionLog::Get().CountFor(idle), 0);
}

TEST_F(FetchTest, ManyRequestsInFlightEachCompleteExactlyOnce) {
  constexpr int kCount = 32;
  std::vector<uint32_t> ids;
  std::vector<std::string> keys;
  for (int i = 0; i < kCount; ++i) {
    keys.push_back(NewKey("many"));
    ids.push_back(Start(Scripted(keys.back(), "200")));
    ASSERT_NE(ids.back(), 0u);
  }
  for (int i = 0; i < kCount; ++i) {
    Completion c;
    ASSERT_TRUE(CompletionLog::Get().WaitFor(ids[i], &c));
    EXPECT_EQ(c.code, 0);
    EXPECT_EQ(c.response, "body " + keys[i] + " 1");
    EXPECT_TRUE(c.on_runner);
  }
  Drain();
  for (uint32_t id : ids) EXPECT_EQ(CompletionLog::Get().CountFor(id), 1);
}

// Callbacks may call the exports again.
std::atomic<uint32_t> g_chained_id{0};
Base::CSmartPtr<TestRequest>* g_chained_request = nullptr;

void StartAnotherFromCallback(uint32_t id, IHttpRequest* request) {
  RecordCompletion(id, request);
  g_chained_id = HttpStartRequest(g_chained_request->get(), &RecordCompletion);
}

void UnInitFromCallback(uint32_t id, IHttpRequest* request) {
  RecordCompletion(id, request);
  HttpUnInit();
}

TEST_F(FetchTest, CallbackMayStartAnotherRequest) {
  const std::string key = NewKey("chain");
  auto chained = TestRequest::Make(Scripted(key + "b", "200"));
  g_chained_request = &chained;
  auto first = TestRequest::Make(Scripted(key + "a", "200"));
  const uint32_t id = Start(first.get(), &StartAnotherFromCallback);
  Completion c;
  ASSERT_TRUE(CompletionLog::Get().WaitFor(id, &c));
  Drain();
  const uint32_t second = g_chained_id.load();
  ASSERT_NE(second, 0u);
  ASSERT_TRUE(CompletionLog::Get().WaitFor(second, &c));
  EXPECT_EQ(c.response, "body " + key + "b 1");
  Drain();
  g_chained_request = nullptr;
}

TEST_F(FetchTest, CallbackMayTearTheLibraryDown) {
  RequestValues pending;
  pending.url = HttpUrl("/fast");
  pending.attempts = 0;
  const uint32_t waiting = Start(pending);
  auto first = TestRequest::Make(Scripted(NewKey("down"), "200"));
  const uint32_t id = Start(first.get(), &UnInitFromCallback);
  Completion c;
  ASSERT_TRUE(CompletionLog::Get().WaitFor(id, &c));
  Drain();
  initialised_ = false;
  EXPECT_EQ(CompletionLog::Get().CountFor(waiting), 0);
  EXPECT_EQ(Start(pending), 0u);  // unbound now
}

}  // namespace
}  // namespace fetch_test
