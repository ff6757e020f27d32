#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/environment.h"
#include "temp_folder.h"

namespace {

void SetOutputFile(const std::string& path) {
  if (path.empty()) {
    platform::UnsetEnv("KUVO_DEBUG_OUTPUT_FILE");
  } else {
    platform::SetEnv("KUVO_DEBUG_OUTPUT_FILE", path);
  }
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class DebugOutputTest : public ::testing::Test {
 protected:
  void TearDown() override { SetOutputFile(""); }
  kuvo_test::TempFolder folder_;
};

TEST_F(DebugOutputTest, EveryLineIsCopiedToTheFileAsItIs) {
  const auto file = folder_.path() / "debug.txt";
  SetOutputFile(file.string());
  platform::OutputDebugText("[IM][CImMgr::Init]Init result:0");
  platform::OutputDebugText("");
  platform::OutputDebugText(nullptr);
  platform::OutputDebugText("caf\xc3\xa9");
  EXPECT_EQ(ReadLines(file),
            (std::vector<std::string>{"[IM][CImMgr::Init]Init result:0", "", "", "caf\xc3\xa9"}));
}

TEST_F(DebugOutputTest, TheFileIsLookedUpOnEveryCall) {
  const auto first = folder_.path() / "first.txt";
  const auto second = folder_.path() / "second.txt";
  platform::OutputDebugText("nowhere");
  SetOutputFile(first.string());
  platform::OutputDebugText("one");
  SetOutputFile(second.string());
  platform::OutputDebugText("two");
  SetOutputFile("");
  platform::OutputDebugText("nowhere again");
  EXPECT_EQ(ReadLines(first), std::vector<std::string>{"one"});
  EXPECT_EQ(ReadLines(second), std::vector<std::string>{"two"});
}

TEST_F(DebugOutputTest, AnUnwritableFileIsIgnored) {
  SetOutputFile((folder_.path() / "missing" / "debug.txt").string());
  platform::OutputDebugText("lost");  // must not fail or crash
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "missing"));
}

TEST_F(DebugOutputTest, LinesFromConcurrentThreadsNeverInterleave) {
  const auto file = folder_.path() / "debug.txt";
  SetOutputFile(file.string());
  constexpr int kThreads = 6, kPerThread = 200;
  const std::string tail(300, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &tail] {
      for (int i = 0; i < kPerThread; ++i) {
        platform::OutputDebugText(
            ("thread " + std::to_string(t) + " line " + std::to_string(i) + " " + tail).c_str());
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto lines = ReadLines(file);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kPerThread));
  std::vector<int> next(kThreads, 0);
  for (const auto& line : lines) {
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(i, next[t]++);
    EXPECT_EQ(line.size(), line.find(' ', line.find("line ") + 5) + 1 + tail.size()) << line;
  }
}

}  // namespace
