// The Kuvotrace library as hosts use it: through its exports.
#include "kuvotrace.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kuvotrace_control.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

void Write(int level, const wchar_t* function, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Kuvotrace_Write(level, function, format, args);
  va_end(args);
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The part of a line after the time stamp.
std::string AfterTime(const std::string& line) {
  return line.size() > 24 ? line.substr(24) : std::string();
}

class KuvotraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KuvotraceTest_Reset();
    folder_ = temp_.path();
    log_ = folder_ / "trace.log";
  }
  void TearDown() override { KuvotraceTest_Reset(); }

  kuvo_test::TempFolder temp_;
  fs::path folder_;
  fs::path log_;
};

TEST_F(KuvotraceTest, WritesOneUtf8LinePerEntry) {
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  Kuvotrace_SetId(22521);
  Write(2, L"CModifyAdapterInfo::SetAdapterInfo", L"adapter %s, %d tries, %S", L"caf\u00e9", 3,
        "narrow");
  Write(4, L"CFoo::Bar", L"failed: 0x%08X", 0x1Fu);
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(AfterTime(lines[0]),
            "INFO  [22521] CModifyAdapterInfo::SetAdapterInfo: adapter caf\xc3\xa9, 3 tries, "
            "narrow");
  EXPECT_EQ(AfterTime(lines[1]), "ERROR [22521] CFoo::Bar: failed: 0x0000001F");
  EXPECT_EQ(lines[0][4], '-');
  EXPECT_EQ(lines[0][10], ' ');
  EXPECT_EQ(lines[0][19], '.');
  EXPECT_EQ(KuvotraceTest_LinesWritten(), 2);
}

TEST_F(KuvotraceTest, InitAppendsToAnExistingLog) {
  { std::ofstream(log_, std::ios::binary) << "earlier\n"; }
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  Write(2, L"F", L"later");
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "earlier");
}

TEST_F(KuvotraceTest, LevelFilterDropsLowerLevels) {
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  Kuvotrace_SetLevel(3);
  Write(2, L"F", L"info");
  Write(3, L"F", L"warn");
  Write(4, L"F", L"error");
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(AfterTime(lines[0]), "WARN  [0] F: warn");
  EXPECT_EQ(AfterTime(lines[1]), "ERROR [0] F: error");
  EXPECT_EQ(KuvotraceTest_WriteCalls(), 3);
}

TEST_F(KuvotraceTest, NothingIsWrittenOutsideInitAndUnInit) {
  Write(2, L"F", L"before");
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  Write(2, L"F", L"during");
  Kuvotrace_UnInit();
  Write(2, L"F", L"after");
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(AfterTime(lines[0]), "INFO  [0] F: during");
}

TEST_F(KuvotraceTest, InitFailsForAFolderThatDoesNotExist) {
  EXPECT_FALSE(Kuvotrace_Init((folder_ / "missing" / "trace.log").wstring().c_str()));
  EXPECT_FALSE(Kuvotrace_Init(nullptr));
  EXPECT_FALSE(Kuvotrace_Init(L""));
  EXPECT_FALSE(KuvotraceTest_IsOpen());
  Write(2, L"F", L"dropped");  // must not crash
  EXPECT_EQ(KuvotraceTest_LinesWritten(), 0);
}

TEST_F(KuvotraceTest, InitAgainMovesToTheNewFile) {
  const fs::path second = folder_ / "second.log";
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  Write(2, L"F", L"one");
  ASSERT_TRUE(Kuvotrace_Init(second.wstring().c_str()));
  Write(2, L"F", L"two");
  EXPECT_EQ(ReadLines(log_).size(), 1u);
  EXPECT_EQ(ReadLines(second).size(), 1u);
}

TEST_F(KuvotraceTest, NullTextsAndBadFormatsAreWrittenSafely) {
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  Write(2, nullptr, nullptr);
  Write(2, L"F", L"%s and %S", static_cast<const wchar_t*>(nullptr),
        static_cast<const char*>(nullptr));
  Write(2, L"F", L"trailing %");
  Write(2, L"F", L"line\nbreak\n");
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(AfterTime(lines[0]), "INFO  [0] (null): (null)");
  EXPECT_EQ(AfterTime(lines[1]), "INFO  [0] F: (null) and (null)");
  EXPECT_EQ(AfterTime(lines[2]), "INFO  [0] F: trailing %");
  EXPECT_EQ(AfterTime(lines[3]), "INFO  [0] F: line break");
}

TEST_F(KuvotraceTest, ConcurrentWritersProduceWholeLines) {
  ASSERT_TRUE(Kuvotrace_Init(log_.wstring().c_str()));
  constexpr int kThreads = 6, kPerThread = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i) {
        Write(2, L"Writer", L"thread %d line %04d %s", t, i,
              L"padding-padding-padding-padding-padding-padding");
      }
    });
  }
  // A reader changing the level and id meanwhile must not race with the writers.
  writers.emplace_back([] {
    for (int i = 0; i < 100; ++i) {
      Kuvotrace_SetLevel(0);
      Kuvotrace_SetId(7);
    }
  });
  for (auto& w : writers) w.join();
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kPerThread));
  std::vector<int> next(kThreads, 0);
  for (const auto& line : lines) {
    int t = -1, i = -1;
    const auto at = line.find("Writer: thread ");
    ASSERT_NE(at, std::string::npos) << line;
    ASSERT_EQ(std::sscanf(line.c_str() + at, "Writer: thread %d line %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(i, next[t]++) << line;  // each writer's lines whole and in its own order
    EXPECT_EQ(line.substr(line.size() - 7), "padding") << line;
  }
}

}  // namespace
