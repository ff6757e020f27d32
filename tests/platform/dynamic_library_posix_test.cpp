// How Windows library names map to shared objects, and where they are searched.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/dynamic_library.h"
#include "temp_folder.h"

namespace {

TEST(DynamicLibraryPosixTest, TheDllSuffixMatchesInAnyCase) {
  EXPECT_NE(platform::LoadLibraryByName(L"Kuvotrace.DLL"), nullptr);
  EXPECT_NE(platform::LoadLibraryByName(L"Kuvotrace.Dll"), nullptr);
}

TEST(DynamicLibraryPosixTest, FoundNextToTheLoadingModuleFromAnyWorkingFolder) {
  kuvo_test::TempFolder elsewhere;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere.path());
  platform::LibraryHandle library = platform::LoadLibraryByName(L"Kuvocore.dll");
  std::filesystem::current_path(before);
  ASSERT_NE(library, nullptr);
  EXPECT_NE(platform::FindExport(library, "GetKuvocoreObject"), nullptr);
}

TEST(DynamicLibraryPosixTest, APathIsMappedInItsLastPartOnly) {
  const std::wstring folder =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().wstring();
  EXPECT_NE(platform::LoadLibraryByName((folder + L"/Kuvotrace.dll").c_str()), nullptr);
  EXPECT_EQ(platform::LoadLibraryByName((folder + L"/nested/Kuvotrace.dll").c_str()), nullptr);
}

}  // namespace
