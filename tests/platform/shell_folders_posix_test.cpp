// The POSIX documents folder: XDG settings from the environment and the user-dirs file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/shell_folders.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace platform {
namespace {

using kuvo_test::ScopedEnvironment;
using kuvo_test::TempFolder;

class ShellFoldersPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.Unset("XDG_DOCUMENTS_DIR");
    environment_.Unset("XDG_CONFIG_HOME");
    environment_.Set("HOME", home_.narrow());
  }
  void WriteUserDirs(const std::filesystem::path& config, const std::string& text) {
    std::filesystem::create_directories(config);
    std::ofstream(config / "user-dirs.dirs") << text;
  }

  ScopedEnvironment environment_;
  TempFolder home_;
};

TEST_F(ShellFoldersPosixTest, TheEnvironmentVariableComesFirst) {
  WriteUserDirs(home_.path() / ".config", "XDG_DOCUMENTS_DIR=\"$HOME/FromFile\"\n");
  environment_.Set("XDG_DOCUMENTS_DIR", "/srv/\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(std::wstring(L"/srv/\u00E9t\u00E9"), GetShellDocumentsFolder());
}

TEST_F(ShellFoldersPosixTest, TheUserDirsFileInTheConfigHome) {
  TempFolder config;
  WriteUserDirs(config.path(), "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  WriteUserDirs(home_.path() / ".config", "XDG_DOCUMENTS_DIR=\"$HOME/NotThisOne\"\n");
  environment_.Set("XDG_CONFIG_HOME", config.narrow());
  EXPECT_EQ((home_.path() / "Papers").wstring(), GetShellDocumentsFolder());
}

TEST_F(ShellFoldersPosixTest, TheUserDirsFileUnderHomeWhenTheConfigHomeIsUnsetOrRelative) {
  WriteUserDirs(home_.path() / ".config", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ((home_.path() / "Papers").wstring(), GetShellDocumentsFolder());
  environment_.Set("XDG_CONFIG_HOME", "relative/config");
  EXPECT_EQ((home_.path() / "Papers").wstring(), GetShellDocumentsFolder());
}

TEST_F(ShellFoldersPosixTest, DocumentsUnderHomeOtherwise) {
  EXPECT_EQ((home_.path() / "Documents").wstring(), GetShellDocumentsFolder());
  // An unusable entry falls back as well.
  WriteUserDirs(home_.path() / ".config", "XDG_DOCUMENTS_DIR=\"Papers\"\n");
  EXPECT_EQ((home_.path() / "Documents").wstring(), GetShellDocumentsFolder());
}

TEST_F(ShellFoldersPosixTest, TheAccountsHomeWhenHomeIsUnset) {
  environment_.Unset("HOME");
  const std::wstring documents = GetShellDocumentsFolder();
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(L"/Documents", documents.substr(documents.size() - 10));
}

}  // namespace
}  // namespace platform
