// The in-house library bindings against the real stand-ins, loaded by name on every call.
#include "common/kuvo_bindings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "kuvocore_control.h"
#include "kuvotrace_control.h"
#include "platform/dynamic_library.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

class Sink final : public Timer::ITimerEvent {
 public:
  bool IsAlive() override { return true; }
  void OnTimer(uint32_t id) override { fired.push_back(id); }
  std::vector<uint32_t> fired;  // read only after AdvanceClock, which waits for the calls
};

std::atomic<int> g_ran{0};
void CountRun() {
  ++g_ran;
}

class KuvoBindingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KuvotraceTest_Reset();
    ASSERT_TRUE(Kuvocore_Startup());
    ASSERT_TRUE(KuvocoreTest_UseManualClock(true));
    folder_ = temp_.path();
  }
  void TearDown() override {
    kuvo::SetLibraryNamesForTesting(nullptr, nullptr);
    Kuvocore_Shutdown();
    KuvotraceTest_Reset();
  }

  // Every binding is called once; returns whether any of them reached a library.
  void CallEveryBindingExpectingNothing() {
    const std::wstring log = (folder_ / "t.log").wstring();
    EXPECT_FALSE(kuvo::Kuvotrace_Init(log.c_str()));
    kuvo::Kuvotrace_SetId(5);
    kuvo::Kuvotrace_SetLevel(3);
    kuvo::Kuvotrace_UnInit();
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_FALSE(kuvo::GetKuvocoreObject(2, &object));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(kuvo::CreateTimerID(), 0u);
    Sink sink;
    EXPECT_FALSE(kuvo::StartTimerEx(7, 10, &sink));
    EXPECT_FALSE(kuvo::StopTimerEx(7));
    kuvo::RemoveTimerCallBack(&sink);

    EXPECT_FALSE(KuvotraceTest_IsOpen());
    EXPECT_EQ(KuvotraceTest_Id(), 0);
    EXPECT_EQ(KuvotraceTest_Level(), 0);
    EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 0);
    EXPECT_EQ(KuvocoreTest_TimerStopCalls(), 0);
    EXPECT_EQ(KuvocoreTest_RemoveCalls(), 0);
    EXPECT_FALSE(fs::exists(folder_ / "t.log"));
  }

  kuvo_test::TempFolder temp_;
  fs::path folder_;
};

TEST_F(KuvoBindingsTest, MissingLibrariesMakeEveryCallANoOp) {
  kuvo::SetLibraryNamesForTesting(L"KuvoNoSuchTrace.dll", L"KuvoNoSuchCore.dll");
  CallEveryBindingExpectingNothing();
}

TEST_F(KuvoBindingsTest, MissingExportsMakeEveryCallANoOp) {
  // Each library is present but has none of the other's exports.
  kuvo::SetLibraryNamesForTesting(L"Kuvocore.dll", L"Kuvotrace.dll");
  ASSERT_NE(platform::LoadLibraryByName(L"Kuvocore.dll"), nullptr);
  ASSERT_NE(platform::LoadLibraryByName(L"Kuvotrace.dll"), nullptr);
  CallEveryBindingExpectingNothing();
}

TEST_F(KuvoBindingsTest, TraceExportsReachTheLibrary) {
  const fs::path log = folder_ / "trace.log";
  EXPECT_TRUE(kuvo::Kuvotrace_Init(log.wstring().c_str()));
  EXPECT_TRUE(KuvotraceTest_IsOpen());
  kuvo::Kuvotrace_SetId(22521);
  kuvo::Kuvotrace_SetLevel(2);
  EXPECT_EQ(KuvotraceTest_Id(), 22521);
  EXPECT_EQ(KuvotraceTest_Level(), 2);
  kuvo::Kuvotrace_UnInit();
  EXPECT_FALSE(KuvotraceTest_IsOpen());
  EXPECT_TRUE(fs::exists(log));
}

TEST_F(KuvoBindingsTest, CoreObjectIsTheRunningTaskRunner) {
  void* object = nullptr;
  ASSERT_TRUE(kuvo::GetKuvocoreObject(2, &object));
  ASSERT_NE(object, nullptr);
  auto* runner = static_cast<Base::ITaskRunner*>(object);
  EXPECT_FALSE(runner->IsCurrentThread());
  g_ran = 0;
  runner->PostTask(Base::NewRunnableFunction(&CountRun));
  ASSERT_TRUE(KuvocoreTest_WaitRunnerIdle());
  EXPECT_EQ(g_ran.load(), 1);

  Kuvocore_Shutdown();
  object = reinterpret_cast<void*>(0x1);
  EXPECT_FALSE(kuvo::GetKuvocoreObject(2, &object));  // the library is there, its object is not
  EXPECT_EQ(object, nullptr);
  EXPECT_FALSE(kuvo::GetKuvocoreObject(2, nullptr));
}

TEST_F(KuvoBindingsTest, TimerExportsReachTheLibrary) {
  Sink sink;
  const uint32_t first = kuvo::CreateTimerID();
  const uint32_t second = kuvo::CreateTimerID();
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, first);
  EXPECT_TRUE(kuvo::StartTimerEx(first, 30000, &sink));
  EXPECT_TRUE(kuvo::StopTimerEx(first));
  EXPECT_TRUE(kuvo::StartTimerEx(second, 30000, &sink));
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(30000));
  EXPECT_EQ(sink.fired, std::vector<uint32_t>{second});
  EXPECT_TRUE(kuvo::StartTimerEx(kuvo::CreateTimerID(), 10, &sink));
  kuvo::RemoveTimerCallBack(&sink);
  ASSERT_TRUE(KuvocoreTest_AdvanceClock(10));
  EXPECT_EQ(sink.fired.size(), 1u);
  EXPECT_EQ(KuvocoreTest_TimerStartCalls(), 3);
  EXPECT_EQ(KuvocoreTest_TimerStopCalls(), 1);
  EXPECT_EQ(KuvocoreTest_RemoveCalls(), 1);
}

TEST_F(KuvoBindingsTest, EveryCallLoadsTheLibraryAgain) {
  const long before = platform::LibraryLoadCallsForTesting();
  Sink sink;
  kuvo::Kuvotrace_SetLevel(1);
  kuvo::Kuvotrace_SetLevel(2);
  const uint32_t id = kuvo::CreateTimerID();
  kuvo::StartTimerEx(id, 10, &sink);
  kuvo::StopTimerEx(id);
  EXPECT_EQ(platform::LibraryLoadCallsForTesting() - before, 5);
}

TEST_F(KuvoBindingsTest, NothingIsCachedBetweenCalls) {
  kuvo::SetLibraryNamesForTesting(L"KuvoNoSuchTrace.dll", nullptr);
  kuvo::Kuvotrace_SetId(1);
  EXPECT_EQ(KuvotraceTest_Id(), 0);
  kuvo::SetLibraryNamesForTesting(nullptr, nullptr);
  kuvo::Kuvotrace_SetId(2);
  EXPECT_EQ(KuvotraceTest_Id(), 2);  // found now although the previous call found nothing
  kuvo::SetLibraryNamesForTesting(L"KuvoNoSuchTrace.dll", nullptr);
  kuvo::Kuvotrace_SetId(3);
  EXPECT_EQ(KuvotraceTest_Id(), 2);  // and no handle from the earlier success is reused
}

}  // namespace
