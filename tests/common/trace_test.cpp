// TraceInfo / TraceError: variadic logging through the Kuvotrace binding.
#include "common/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/kuvo_bindings.h"
#include "kuvotrace_control.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(24));
  return lines;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KuvotraceTest_Reset();
    folder_ = temp_.path();
    log_ = folder_ / "trace.log";
  }
  void TearDown() override {
    kuvo::SetLibraryNamesForTesting(nullptr, nullptr);
    KuvotraceTest_Reset();
  }
  kuvo_test::TempFolder temp_;
  fs::path folder_;
  fs::path log_;
};

TEST_F(TraceTest, InfoAndErrorWriteTheirLevelsWithWideArguments) {
  ASSERT_TRUE(kuvo::Kuvotrace_Init(log_.wstring().c_str()));
  kuvo::Kuvotrace_SetId(22521);
  kuvo::Kuvotrace_SetLevel(2);
  kuvo::TraceInfo(L"CModifyAdapterInfo::SetAdapterInfo", L"adapter %s mask %S index %d",
                  L"\u7f51\u5361", "255.255.255.0", 12);
  kuvo::TraceError(L"CAdapterCfg::Find", L"failed 0x%08x", 0x80041002u);
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "INFO  [22521] CModifyAdapterInfo::SetAdapterInfo: adapter \xe7\xbd\x91\xe5\x8d\xa1 "
            "mask 255.255.255.0 index 12");
  EXPECT_EQ(lines[1], "ERROR [22521] CAdapterCfg::Find: failed 0x80041002");
}

TEST_F(TraceTest, LevelFilterAppliesToInfo) {
  ASSERT_TRUE(kuvo::Kuvotrace_Init(log_.wstring().c_str()));
  kuvo::Kuvotrace_SetLevel(4);
  kuvo::TraceInfo(L"F", L"dropped");
  kuvo::TraceError(L"F", L"kept");
  const auto lines = ReadLines(log_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "ERROR [0] F: kept");
  EXPECT_EQ(KuvotraceTest_WriteCalls(), 2);
}

TEST_F(TraceTest, SilentWithoutTheLibrary) {
  ASSERT_TRUE(kuvo::Kuvotrace_Init(log_.wstring().c_str()));
  kuvo::SetLibraryNamesForTesting(L"KuvoNoSuchTrace.dll", nullptr);
  kuvo::TraceInfo(L"F", L"%s", L"lost");
  kuvo::TraceError(L"F", L"%s", L"lost");
  EXPECT_EQ(KuvotraceTest_WriteCalls(), 0);
  EXPECT_TRUE(ReadLines(log_).empty());
}

}  // namespace
