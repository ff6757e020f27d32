#include "log_line.h"

#include <gtest/gtest.h>

namespace {

std::tm SomeTime() {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 8;
  tm.tm_hour = 5;
  tm.tm_min = 31;
  tm.tm_sec = 26;
  return tm;
}

TEST(LogLineTest, HoldsTimeLevelIdFunctionAndMessage) {
  EXPECT_EQ(kuvotrace::FormatLogLine(SomeTime(), 7, 2, 22521, "CFoo::Bar", "hello"),
            "2026-12-08 05:31:26.007 INFO  [22521] CFoo::Bar: hello\n");
  EXPECT_EQ(kuvotrace::FormatLogLine(SomeTime(), 999, 4, 0, "F", "x"),
            "2026-12-08 05:31:26.999 ERROR [0] F: x\n");
}

TEST(LogLineTest, AnEntryIsAlwaysOneLine) {
  EXPECT_EQ(kuvotrace::FormatLogLine(SomeTime(), 0, 9, 1, "F\n", "a\r\nb\n"),
            "2026-12-08 05:31:26.000 L9 [1] F: a  b\n");
}

TEST(LogLineTest, LevelNames) {
  EXPECT_EQ(kuvotrace::LevelName(1), "DEBUG");
  EXPECT_EQ(kuvotrace::LevelName(3), "WARN ");
  EXPECT_EQ(kuvotrace::LevelName(-1), "L-1");
}

}  // namespace
