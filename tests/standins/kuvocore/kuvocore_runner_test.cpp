// Kuvocore's task runner (kind 2) and its Startup / Shutdown, through the exports.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "kuvocore.h"
#include "kuvocore_control.h"

namespace {

Base::ITaskRunner* TaskRunner() {
  void* object = nullptr;
  if (!GetKuvocoreObject(kKuvocoreTaskRunner, &object)) return nullptr;
  return static_cast<Base::ITaskRunner*>(object);
}

std::mutex g_mutex;
std::vector<int> g_order;
std::atomic<int> g_on_runner{0};

void Record(int value) {
  if (Base::ITaskRunner* runner = TaskRunner(); runner && runner->IsCurrentThread()) ++g_on_runner;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_order.push_back(value);
}

std::vector<int> TakeOrder() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<int> order;
  order.swap(g_order);
  return order;
}

class Counted : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  explicit Counted(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  ~Counted() override { ++*destroyed_; }
  void Run() override { ran = true; }
  bool ran = false;

 private:
  std::atomic<int>* destroyed_;
};

class KuvocoreRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TakeOrder();
    g_on_runner = 0;
  }
  void TearDown() override { Kuvocore_Shutdown(); }
};

TEST_F(KuvocoreRunnerTest, NoObjectBeforeStartupOrAfterShutdown) {
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_FALSE(GetKuvocoreObject(kKuvocoreTaskRunner, &object));
  EXPECT_EQ(object, nullptr);
  EXPECT_FALSE(GetKuvocoreObject(kKuvocoreTaskRunner, nullptr));

  ASSERT_TRUE(Kuvocore_Startup());
  EXPECT_NE(TaskRunner(), nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_FALSE(GetKuvocoreObject(1, &object));  // only kind 2 exists
  EXPECT_EQ(object, nullptr);

  Kuvocore_Shutdown();
  object = reinterpret_cast<void*>(0x1);
  EXPECT_FALSE(GetKuvocoreObject(kKuvocoreTaskRunner, &object));
  EXPECT_EQ(object, nullptr);
  Kuvocore_Shutdown();  // twice is harmless
}

TEST_F(KuvocoreRunnerTest, StartupTwiceKeepsTheSameRunner) {
  ASSERT_TRUE(Kuvocore_Startup());
  Base::ITaskRunner* first = TaskRunner();
  ASSERT_TRUE(Kuvocore_Startup());
  EXPECT_EQ(TaskRunner(), first);
}

TEST_F(KuvocoreRunnerTest, RunsTasksInOrderOnItsOwnThread) {
  ASSERT_TRUE(Kuvocore_Startup());
  Base::ITaskRunner* runner = TaskRunner();
  ASSERT_NE(runner, nullptr);
  EXPECT_FALSE(runner->IsCurrentThread());
  for (int i = 0; i < 50; ++i) runner->PostTask(Base::NewRunnableFunction(&Record, i));
  ASSERT_TRUE(KuvocoreTest_WaitRunnerIdle());
  const std::vector<int> order = TakeOrder();
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
  EXPECT_EQ(g_on_runner.load(), 50);
}

TEST_F(KuvocoreRunnerTest, TasksPostedFromManyThreadsAllRunInEachPostersOrder) {
  ASSERT_TRUE(Kuvocore_Startup());
  Base::ITaskRunner* runner = TaskRunner();
  constexpr int kThreads = 4, kPerThread = 300;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([runner, t] {
      for (int i = 0; i < kPerThread; ++i) {
        runner->PostTask(Base::NewRunnableFunction(&Record, t * kPerThread + i));
      }
    });
  }
  for (auto& p : posters) p.join();
  ASSERT_TRUE(KuvocoreTest_WaitRunnerIdle());
  const std::vector<int> order = TakeOrder();
  ASSERT_EQ(order.size(), static_cast<size_t>(kThreads * kPerThread));
  std::vector<int> last(kThreads, -1);
  for (int v : order) {
    EXPECT_GT(v, last[v / kPerThread]);
    last[v / kPerThread] = v;
  }
}

TEST_F(KuvocoreRunnerTest, ShutdownRunsQueuedTasksAndLaterPostsAreDropped) {
  ASSERT_TRUE(Kuvocore_Startup());
  Base::ITaskRunner* runner = TaskRunner();
  for (int i = 0; i < 20; ++i) runner->PostTask(Base::NewRunnableFunction(&Record, i));
  Kuvocore_Shutdown();
  EXPECT_EQ(TakeOrder().size(), 20u);

  // The pointer a component kept stays usable: the post is dropped and the task released.
  std::atomic<int> destroyed{0};
  auto* task = new Counted(&destroyed);
  Base::CSmartPtr<Base::CRunnableTask> keep(task);
  runner->PostTask(keep);
  keep.reset();
  EXPECT_EQ(destroyed.load(), 1);
  EXPECT_FALSE(KuvocoreTest_WaitRunnerIdle());
}

TEST_F(KuvocoreRunnerTest, StartupAfterShutdownGivesAWorkingRunner) {
  ASSERT_TRUE(Kuvocore_Startup());
  Kuvocore_Shutdown();
  ASSERT_TRUE(Kuvocore_Startup());
  Base::ITaskRunner* runner = TaskRunner();
  ASSERT_NE(runner, nullptr);
  runner->PostTask(Base::NewRunnableFunction(&Record, 7));
  ASSERT_TRUE(KuvocoreTest_WaitRunnerIdle());
  EXPECT_EQ(TakeOrder(), std::vector<int>{7});
}

}  // namespace
