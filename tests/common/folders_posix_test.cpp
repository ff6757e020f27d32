// The folder routines end to end on POSIX: the documents folder from the XDG settings, the
// system-profile fallback through the emulated registry.
#include <gtest/gtest.h>

#include "common/folders.h"
#include "platform/file_system.h"
#include "platform/testing/registry_emulation.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace kuvo {
namespace {

using kuvo_test::ScopedEnvironment;
using kuvo_test::TempFolder;

const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class FoldersPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetRegistryForTesting();
    environment_.Set("HOME", home_.narrow());
    environment_.Unset("XDG_CONFIG_HOME");
    environment_.Set("XDG_DOCUMENTS_DIR", home_.narrow() + "/Papers");
  }
  void TearDown() override { platform::ResetRegistryForTesting(); }

  ScopedEnvironment environment_;
  TempFolder home_;
};

TEST_F(FoldersPosixTest, GetLogFolderCreatesBothFoldersUnderTheDocuments) {
  const std::wstring documents = home_.wide() + L"/Papers";
  EXPECT_EQ(documents, GetDocumentsFolder());
  EXPECT_FALSE(platform::PathExists(documents.c_str()));
  EXPECT_EQ(documents + L"/Kuvo 10.0/Log", GetLogFolder());
  EXPECT_TRUE(platform::PathExists((documents + L"/Kuvo 10.0/Log").c_str()));
  EXPECT_EQ(documents + L"/Kuvo 10.0", GetDataFolder());
}

TEST_F(FoldersPosixTest, TheSystemProfileFallsBackToTheUsersPersonalFolder) {
  const std::string system_documents = home_.narrow() + "/systemprofile/Documents";
  environment_.Set("XDG_DOCUMENTS_DIR", system_documents);
  EXPECT_EQ(std::wstring(system_documents.begin(), system_documents.end()), GetDocumentsFolder());

  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kCurrentUser, kShellFolders,
                                         L"Personal", L"/home/kim/Documents");
  EXPECT_EQ(L"/home/kim/Documents", GetDocumentsFolder());
  EXPECT_EQ(0u, platform::OpenRegistryHandleCountForTesting());  // the key was closed
}

}  // namespace
}  // namespace kuvo
