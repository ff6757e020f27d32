#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_folder.h"

namespace platform {
namespace {

using kuvo_test::TempFolder;

TEST(FileSystemTest, JoinPathPutsOneSeparatorBetween) {
  EXPECT_EQ(std::wstring(L"base") + kPathSeparator + L"name", JoinPath(L"base", L"name"));
  // "%s\\name" with an empty folder: a rooted name, exactly as formatting gives it.
  EXPECT_EQ(std::wstring(1, kPathSeparator) + L"name", JoinPath(L"", L"name"));
}

TEST(FileSystemTest, PathExistsForFoldersAndFilesOnly) {
  TempFolder temp;
  EXPECT_TRUE(PathExists(temp.wide().c_str()));
  const std::filesystem::path file = temp.path() / "file.txt";
  std::ofstream(file) << "x";
  EXPECT_TRUE(PathExists(file.wstring().c_str()));
  EXPECT_FALSE(PathExists((temp.path() / "missing").wstring().c_str()));
  EXPECT_FALSE(PathExists(nullptr));
}

TEST(FileSystemTest, CreatesAFolderWithAllMissingParents) {
  TempFolder temp;
  // Built with the seam: std::filesystem cannot convert non-ASCII wide names in the C locale.
  const std::wstring deep =
      JoinPath(JoinPath(JoinPath(temp.wide(), L"one"), L"\u00E9t\u00E9 \u4E2D"), L"three");
  EXPECT_FALSE(PathExists(deep.c_str()));
  EXPECT_EQ(kErrorSuccess, CreateFolderTree(deep.c_str()));
  EXPECT_TRUE(PathExists(deep.c_str()));
  EXPECT_EQ(kErrorAlreadyExists, CreateFolderTree(deep.c_str()));
  EXPECT_EQ(kErrorSuccess, CreateFolderTree(JoinPath(deep, L"four").c_str()));  // so a folder
  // A parent that exists already is no obstacle.
  const std::filesystem::path sibling = temp.path() / "one" / "sibling";
  EXPECT_EQ(kErrorSuccess, CreateFolderTree(sibling.wstring().c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(sibling));
}

TEST(FileSystemTest, FolderCreationFailures) {
  TempFolder temp;
  const std::filesystem::path file = temp.path() / "file.txt";
  std::ofstream(file) << "x";
  // A file of that name is there already: nothing to create, and the file stays a file.
  EXPECT_EQ(kErrorAlreadyExists, CreateFolderTree(file.wstring().c_str()));
  EXPECT_TRUE(std::filesystem::is_regular_file(file));
  const ErrorCode below_file = CreateFolderTree((file / "child").wstring().c_str());
  EXPECT_NE(kErrorSuccess, below_file);
  EXPECT_NE(kErrorAlreadyExists, below_file);
  EXPECT_FALSE(std::filesystem::exists(file / "child"));

  EXPECT_EQ(kErrorBadPathname, CreateFolderTree(L"relative-folder"));
  EXPECT_FALSE(std::filesystem::exists("relative-folder"));
  EXPECT_EQ(kErrorBadPathname, CreateFolderTree(nullptr));
}

}  // namespace
}  // namespace platform
