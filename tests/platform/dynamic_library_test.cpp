// Loading the in-house stand-ins by their Windows file names.
#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

namespace {

using SetId = void (*)(int);
using GetId = int (*)();

TEST(DynamicLibraryTest, LoadsByWindowsNameAndFindsExports) {
  platform::LibraryHandle library = platform::LoadLibraryByName(L"Kuvotrace.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_NE(platform::FindExport(library, "Kuvotrace_Init"), nullptr);
  EXPECT_NE(platform::FindExport(library, "Kuvotrace_Write"), nullptr);
  EXPECT_EQ(platform::FindExport(library, "Kuvotrace_NoSuchExport"), nullptr);
  EXPECT_EQ(platform::FindExport(library, nullptr), nullptr);
  EXPECT_EQ(platform::FindExport(nullptr, "Kuvotrace_Init"), nullptr);
}

TEST(DynamicLibraryTest, MissingLibrariesGiveNull) {
  EXPECT_EQ(platform::LoadLibraryByName(L"KuvoNoSuchLibrary.dll"), nullptr);
  EXPECT_EQ(platform::LoadLibraryByName(L""), nullptr);
  EXPECT_EQ(platform::LoadLibraryByName(nullptr), nullptr);
}

TEST(DynamicLibraryTest, LoadingAgainReachesTheSameLibrary) {
  auto set_id = reinterpret_cast<SetId>(
      platform::FindExport(platform::LoadLibraryByName(L"Kuvotrace.dll"), "Kuvotrace_SetId"));
  auto get_id = reinterpret_cast<GetId>(
      platform::FindExport(platform::LoadLibraryByName(L"Kuvotrace.dll"), "KuvotraceTest_Id"));
  ASSERT_NE(set_id, nullptr);
  ASSERT_NE(get_id, nullptr);
  set_id(4711);
  EXPECT_EQ(get_id(), 4711);
  set_id(0);
}

TEST(DynamicLibraryTest, LoadedLibrariesAreFoundWithoutLoadingAnything) {
  ASSERT_NE(platform::LoadLibraryByName(L"Kuvotrace.dll"), nullptr);
  const long before = platform::LibraryLoadCallsForTesting();
  platform::LibraryHandle loaded = platform::LoadedLibraryByName(L"Kuvotrace.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(platform::FindExport(loaded, "Kuvotrace_Write"), nullptr);
  EXPECT_EQ(platform::LoadedLibraryByName(L"KuvoNoSuchLibrary.dll"), nullptr);
  EXPECT_EQ(platform::LoadedLibraryByName(nullptr), nullptr);
  EXPECT_EQ(platform::LibraryLoadCallsForTesting(), before);
  EXPECT_EQ(platform::FindExportByOrdinal(nullptr, 1), nullptr);
}

TEST(DynamicLibraryTest, CountsEveryLoad) {
  const long before = platform::LibraryLoadCallsForTesting();
  platform::LoadLibraryByName(L"Kuvotrace.dll");
  platform::LoadLibraryByName(L"KuvoNoSuchLibrary.dll");
  platform::LoadLibraryByName(nullptr);
  EXPECT_EQ(platform::LibraryLoadCallsForTesting() - before, 3);
}

}  // namespace
