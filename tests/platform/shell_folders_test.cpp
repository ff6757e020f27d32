#include "platform/shell_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace platform {
namespace {

TEST(ShellFoldersTest, TheDocumentsFolderIsAnAbsolutePath) {
  const std::wstring documents = GetShellDocumentsFolder();
  ASSERT_FALSE(documents.empty());
  EXPECT_TRUE(std::filesystem::path(documents).is_absolute()) << documents.size();
}

}  // namespace
}  // namespace platform
