#include "elevation.h"

#include <gtest/gtest.h>

#include "fake_services.h"

namespace assist {
namespace {

using assist_test::FakeProcess;

constexpr wchar_t kRecord[] = L"C:\\Users\\u\\Documents\\Kuvo 10.0\\KuvoAssist.relaunch";

TEST(IsRunAsAdmin, TheTokenDecidesFromVistaOn) {
  FakeProcess process;
  process.version = 0x0006;  // 6.0
  process.elevation = 1;
  EXPECT_TRUE(IsRunAsAdmin(process));
  process.elevation = 0;
  EXPECT_FALSE(IsRunAsAdmin(process));
  EXPECT_EQ(2, process.tokens_opened);
  EXPECT_EQ(2, process.tokens_closed);
  EXPECT_EQ((std::vector<uint32_t>{4, 4}), process.query_sizes);
}

TEST(IsRunAsAdmin, EarlierVersionsAreNeverElevated) {
  FakeProcess process;
  process.elevation = 1;
  process.version = 0xFF05;  // 5.255: the minor byte must not carry into the major
  EXPECT_FALSE(IsRunAsAdmin(process));
  process.version = 0x12340105;  // the high word (build number) is not looked at: 5.1
  EXPECT_FALSE(IsRunAsAdmin(process));
  EXPECT_EQ(0, process.tokens_opened);
  process.version = 0xABCD020A;  // 10.2
  EXPECT_TRUE(IsRunAsAdmin(process));
}

TEST(IsRunAsAdmin, FailuresAnswerFalse) {
  FakeProcess process;
  process.elevation = 1;
  process.token_opens = false;
  EXPECT_FALSE(IsRunAsAdmin(process));
  EXPECT_EQ(0, process.tokens_closed);

  process.token_opens = true;
  process.query_succeeds = false;
  EXPECT_FALSE(IsRunAsAdmin(process));
  process.query_succeeds = true;
  for (uint32_t size : {0u, 3u, 8u}) {
    process.returned_size = size;  // only exactly 4 bytes count
    EXPECT_FALSE(IsRunAsAdmin(process)) << size;
  }
  EXPECT_EQ(process.tokens_opened, process.tokens_closed);
}

TEST(RunAsAdmin, LaunchesOnceWithRunasTheSameArgumentsAndShowCommand) {
  FakeProcess process;
  EXPECT_TRUE(RunAsAdmin(process, L"/RegServer \"a b\"", 5, kRecord));
  ASSERT_EQ(1u, process.events.size());
  EXPECT_EQ(L"{1EDD4F3B-4516-418E-904B-651616C37827}", process.events[0]);
  ASSERT_EQ(1u, process.launches.size());
  const platform::ShellExecuteRequest& launch = process.launches[0];
  EXPECT_EQ(0u, launch.mask);
  EXPECT_EQ(L"runas", launch.verb);
  EXPECT_EQ(process.path, launch.file);
  EXPECT_EQ(L"/RegServer \"a b\"", launch.parameters);
  EXPECT_EQ(5, launch.show);
  EXPECT_EQ(std::vector<uint32_t>{100}, process.sleeps);
}

TEST(RunAsAdmin, AnExistingMarkerStopsTheRelaunch) {
  FakeProcess process;
  process.event_error = platform::kErrorAlreadyExists;
  EXPECT_FALSE(RunAsAdmin(process, L"", 1, kRecord));
  process.event_error = platform::kErrorAccessDenied;  // any error after the call
  EXPECT_FALSE(RunAsAdmin(process, L"", 1, kRecord));
  EXPECT_TRUE(process.launches.empty());
  EXPECT_TRUE(process.sleeps.empty());
}

TEST(RunAsAdmin, OnlyDeclinedAndNotFoundAreFailures) {
  for (platform::ErrorCode error : {platform::kErrorCancelled, platform::kErrorFileNotFound}) {
    FakeProcess process;
    process.shell_succeeds = false;
    process.shell_error = error;
    EXPECT_FALSE(RunAsAdmin(process, L"", 1, kRecord)) << error;
    EXPECT_TRUE(process.sleeps.empty());
  }
  FakeProcess process;
  process.shell_succeeds = false;
  process.shell_error = platform::kErrorAccessDenied;
  EXPECT_TRUE(RunAsAdmin(process, L"", 1, kRecord));
  EXPECT_EQ(std::vector<uint32_t>{100}, process.sleeps);
}

TEST(RunAsAdmin, TheRelaunchedInstanceLaunchesNothing) {
  FakeProcess first;
  first.process_id = 4100;
  EXPECT_TRUE(RunAsAdmin(first, L"/x", 1, kRecord));
  EXPECT_EQ("4100", first.files[kRecord]);  // written before the launch

  // The relaunched instance finds its parent in the record, whatever its elevation.
  FakeProcess relaunched;
  relaunched.files = first.files;
  relaunched.process_id = 4200;
  relaunched.parent_id = 4100;
  EXPECT_FALSE(RunAsAdmin(relaunched, L"/x", 1, kRecord));
  EXPECT_TRUE(relaunched.launches.empty());
  EXPECT_EQ(1u, relaunched.events.size());  // it still holds the marker while it runs

  // Another start, by another parent, relaunches; so does one with an unknown parent.
  for (uint32_t parent : {3900u, 0u}) {
    FakeProcess later;
    later.files = first.files;
    later.parent_id = parent;
    EXPECT_TRUE(RunAsAdmin(later, L"", 1, kRecord)) << parent;
    EXPECT_EQ(1u, later.launches.size());
  }
  // A record that is not a process id names nobody.
  for (const char* text : {"", "41OO", "99999999999", "4100 "}) {
    FakeProcess other;
    other.parent_id = 4100;
    other.files[kRecord] = text;
    EXPECT_TRUE(RunAsAdmin(other, L"", 1, kRecord)) << text;
  }
}

TEST(RunAsAdmin, NoRecordNoLaunch) {
  FakeProcess process;
  process.files_writable = false;
  EXPECT_FALSE(RunAsAdmin(process, L"", 1, kRecord));
  EXPECT_TRUE(process.launches.empty());
}

TEST(RunAsAdmin, APathOfTheLongestLengthIsCutAtTheLimit) {
  FakeProcess process;
  process.path = std::wstring(400, L'x');
  EXPECT_TRUE(RunAsAdmin(process, L"", 1, kRecord));
  ASSERT_EQ(1u, process.launches.size());
  EXPECT_EQ(platform::kMaxPath - 1, process.launches[0].file.size());
}

}  // namespace
}  // namespace assist
