#include "base/runnable_function.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_calls = 0;
std::string g_text;
void Record(uint32_t code, std::string text) {
  ++g_calls;
  g_text = std::to_string(code) + ":" + text;
}

std::map<uint64_t, uint32_t> g_map;
void TakeMap(std::map<uint64_t, uint32_t> m) { g_map = m; }

void Four(bool ok, uint64_t req, std::list<int> items, uint32_t code) {
  ++g_calls;
  g_text = std::to_string(ok) + "/" + std::to_string(req) + "/" + std::to_string(items.size()) +
           "/" + std::to_string(code);
}

TEST(RunnableFunctionTest, CopiesArgumentsWhenBuilt) {
  g_calls = 0;
  std::string text = "before";
  auto task = Base::NewRunnableFunction(&Record, 7u, text);
  text = "after";  // the task keeps its own copy
  task->Run();
  task->Run();
  EXPECT_EQ(g_calls, 2);
  EXPECT_EQ(g_text, "7:before");

  std::map<uint64_t, uint32_t> m{{1, 2}, {3, 4}};
  auto map_task = Base::NewRunnableFunction(&TakeMap, m);
  m.clear();
  map_task->Run();
  EXPECT_EQ(g_map.size(), 2u);

  auto four = Base::NewRunnableFunction(&Four, true, uint64_t{9}, std::list<int>{1, 2, 3}, 4u);
  four->Run();
  EXPECT_EQ(g_text, "1/9/3/4");
}

TEST(RunnableFunctionTest, NullFunctionDoesNothing) {
  g_calls = 0;
  using Fn = void (*)(uint32_t, std::string);
  auto task = Base::NewRunnableFunction(Fn{nullptr}, 1u, std::string("x"));
  task->Run();
  EXPECT_EQ(g_calls, 0);
}

struct Counted : Base::CSmartRefImpl<Base::CRunnableTask> {
  explicit Counted(int* destroyed) : destroyed_(destroyed) {}
  ~Counted() override { ++*destroyed_; }
  void Run() override {}
  int* destroyed_;
};

TEST(SmartPtrTest, CountsAcrossThreadsAndDestroysOnce) {
  int destroyed = 0;
  Base::CSmartPtr<Base::CRunnableTask> root(new Counted(&destroyed));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([root] {
      for (int i = 0; i < 1000; ++i) {
        Base::CSmartPtr<Base::CRunnableTask> copy = root;
        Base::CSmartPtr<Base::CRunnableTask> moved = std::move(copy);
        EXPECT_TRUE(moved);
        EXPECT_FALSE(copy);  // NOLINT(bugprone-use-after-move): moved-from is empty
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(destroyed, 0);
  root.reset();
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
