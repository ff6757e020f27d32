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

TEST(DynamicLibraryPosixTest, TheSearchFlagsOnlyLookInTheProgramAndSystemFolders) {
  const uint32_t both =
      platform::kLoadLibrarySearchApplicationDir | platform::kLoadLibrarySearchSystem32;
  // A copy planted in the working folder under a name that is nowhere else.
  kuvo_test::TempFolder planted;
  const std::filesystem::path program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path();
  std::filesystem::copy_file(program / "libKuvotrace.so", planted.path() / "libKuvoplanted.so");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(planted.path());
  platform::LibraryHandle beside = platform::LoadLibraryByNameFrom(L"Kuvotrace.dll", both);
  platform::LibraryHandle system_only =
      platform::LoadLibraryByNameFrom(L"Kuvotrace.dll", platform::kLoadLibrarySearchSystem32);
  platform::LibraryHandle from_here = platform::LoadLibraryByNameFrom(L"Kuvoplanted.dll", both);
  platform::LibraryHandle relative = platform::LoadLibraryByNameFrom(L"./Kuvoplanted.dll", both);
  std::filesystem::current_path(before);
  EXPECT_NE(beside, nullptr);
  EXPECT_EQ(system_only, nullptr);
  EXPECT_EQ(from_here, nullptr);
  EXPECT_EQ(relative, nullptr);
  // The system folder is searched: the C library is found there by its name.
  EXPECT_NE(platform::LoadLibraryByNameFrom(L"libc.so.6", platform::kLoadLibrarySearchSystem32),
            nullptr);
}

}  // namespace
