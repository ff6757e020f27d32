#include "kuvo_host/thread_task_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "base/runnable_function.h"

namespace {

std::mutex g_mutex;
std::vector<int> g_order;
std::atomic<int> g_on_runner{0};
kuvo_host::ThreadTaskRunner* g_runner = nullptr;

void Append(int value) {
  if (g_runner && g_runner->IsCurrentThread()) ++g_on_runner;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_order.push_back(value);
}

TEST(ThreadTaskRunnerTest, RunsInPostingOrderOnItsOwnThread) {
  kuvo_host::ThreadTaskRunner runner;
  g_runner = &runner;
  g_order.clear();
  g_on_runner = 0;
  EXPECT_FALSE(runner.IsCurrentThread());
  for (int i = 0; i < 100; ++i) runner.PostTask(Base::NewRunnableFunction(&Append, i));
  runner.WaitIdle();
  std::vector<int> expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = i;
  EXPECT_EQ(g_order, expected);
  EXPECT_EQ(g_on_runner.load(), 100);
  g_runner = nullptr;
}

TEST(ThreadTaskRunnerTest, TasksFromManyThreadsKeepEachPostersOrder) {
  kuvo_host::ThreadTaskRunner runner;
  g_order.clear();
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&runner, t] {
      for (int i = 0; i < kPerThread; ++i)
        runner.PostTask(Base::NewRunnableFunction(&Append, t * kPerThread + i));
    });
  }
  for (auto& p : posters) p.join();
  runner.WaitIdle();
  ASSERT_EQ(g_order.size(), static_cast<size_t>(kThreads * kPerThread));
  std::vector<int> last(kThreads, -1);
  for (int v : g_order) {
    const int t = v / kPerThread;
    EXPECT_GT(v, last[t]);  // FIFO per poster
    last[t] = v;
  }
}

TEST(ThreadTaskRunnerTest, StopRunsWhatWasQueuedAndDropsLaterPosts) {
  g_order.clear();
  {
    kuvo_host::ThreadTaskRunner runner;
    for (int i = 0; i < 10; ++i) runner.PostTask(Base::NewRunnableFunction(&Append, i));
    runner.Stop();
    runner.PostTask(Base::NewRunnableFunction(&Append, 99));
  }
  EXPECT_EQ(g_order.size(), 10u);
}

}  // namespace
