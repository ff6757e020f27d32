// The product folders in the real documents folder. Windows only: elsewhere the tests would
// write into the user's own home; folders_posix_test.cpp points the documents folder away.
#include <gtest/gtest.h>

#include "common/folders.h"
#include "platform/file_system.h"

namespace kuvo {
namespace {

TEST(FoldersWinTest, TheLogFolderIsCreatedInTheUsersDocuments) {
  const std::wstring documents = GetDocumentsFolder();
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(documents + L"\\Kuvo 10.0", GetDataFolder());
  EXPECT_EQ(documents + L"\\Kuvo 10.0\\Log", GetLogFolder());
  EXPECT_TRUE(platform::PathExists(GetLogFolder().c_str()));
}

}  // namespace
}  // namespace kuvo
