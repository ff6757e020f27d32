#include "platform/sync.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(SyncTest, CriticalSectionExcludesOtherThreads) {
  CriticalSection section;
  long counter = 0;  // guarded by `section` only: TSan reports any unguarded access
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        CriticalSectionLock lock(section);
        ++counter;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(40000, counter);
}

TEST(SyncTest, TheOwnerMayEnterAgainAndOthersWaitUntilTheLastLeave) {
  CriticalSection section;
  int value = 0;
  section.Enter();
  section.Enter();  // recursion must not deadlock
  value = 1;
  section.Leave();
  // Still held once: another thread must not get in until the outer Leave.
  std::thread other([&] {
    CriticalSectionLock lock(section);
    value = 2;
  });
  value = 3;
  section.Leave();
  other.join();
  EXPECT_EQ(2, value);
}

TEST(SyncTest, SleepWaitsAtLeastTheTimeAsked) {
  const auto start = std::chrono::steady_clock::now();
  SleepMilliseconds(30);
  // Windows may wake up to a clock tick early.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

}  // namespace
}  // namespace platform
