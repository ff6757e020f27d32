#include "common/folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "platform/file_system.h"
#include "platform/registry_data.h"
#include "temp_folder.h"
#include "test_registry_key.h"

namespace kuvo {
namespace {

using kuvo_test::TempFolder;
using kuvo_test::TestRegistryKey;

const std::wstring kSystemProfilePath = L"C:\\Windows\\system32\\config\\systemprofile\\Documents";

class ResolveDocumentsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(nullptr, test_.key()); }

  // The test's stand-in for the "Shell Folders" key.
  std::wstring ShellFolders() const { return test_.path(L"Shell Folders"); }

  // Stores the first `size` bytes of `data` (all of them by default).
  void SetPersonal(uint32_t type, const std::vector<uint8_t>& data, size_t size = SIZE_MAX) {
    platform::RegistryKey key = nullptr;
    ASSERT_EQ(platform::kErrorSuccess,
              platform::CreateRegistryKey(TestRegistryKey::Root(), ShellFolders().c_str(),
                                          platform::kKeyAllAccess, &key, nullptr));
    ASSERT_EQ(platform::kErrorSuccess,
              platform::SetRegistryValue(key, L"Personal", type, data.data(),
                                         static_cast<uint32_t>(std::min(size, data.size()))));
    platform::CloseRegistryKey(key);
  }
  void SetPersonal(const std::wstring& text) {
    SetPersonal(platform::kRegSz, platform::EncodeRegistryString(text));
  }
  std::wstring Resolve(const std::wstring& shell_path) {
    return ResolveDocumentsFolder(shell_path, TestRegistryKey::Root(), ShellFolders().c_str());
  }

  TestRegistryKey test_;
};

TEST_F(ResolveDocumentsFolderTest, AnOrdinaryUsersFolderIsKept) {
  SetPersonal(L"D:\\Elsewhere");
  EXPECT_EQ(L"C:\\Users\\kim\\Documents", Resolve(L"C:\\Users\\kim\\Documents"));
  EXPECT_EQ(L"", Resolve(L""));
}

TEST_F(ResolveDocumentsFolderTest, TheSystemAccountTakesThePersonalValue) {
  SetPersonal(L"C:\\Users\\kim\\Documents");
  EXPECT_EQ(L"C:\\Users\\kim\\Documents", Resolve(kSystemProfilePath));
}

TEST_F(ResolveDocumentsFolderTest, TheSystemProfileStaysWhenPersonalCannotBeRead) {
  // The key is missing.
  EXPECT_EQ(kSystemProfilePath, Resolve(kSystemProfilePath));
  // The key exists without the value.
  SetPersonal(platform::kRegSz, platform::EncodeRegistryString(L"x"));
  platform::RegistryKey key = nullptr;
  ASSERT_EQ(platform::kErrorSuccess,
            platform::OpenRegistryKey(TestRegistryKey::Root(), ShellFolders().c_str(),
                                      platform::kKeyAllAccess, &key));
  platform::DeleteRegistryValue(key, L"Personal");
  platform::CloseRegistryKey(key);
  EXPECT_EQ(kSystemProfilePath, Resolve(kSystemProfilePath));
  // A value that is no usable path: another type, or empty.
  SetPersonal(platform::kRegDword, platform::EncodeRegistryDword(7));
  EXPECT_EQ(kSystemProfilePath, Resolve(kSystemProfilePath));
  SetPersonal(L"");
  EXPECT_EQ(kSystemProfilePath, Resolve(kSystemProfilePath));
}

TEST_F(ResolveDocumentsFolderTest, ThePersonalValueIsReadWithin519BytesOfText) {
  // 258 characters and a terminator fill 518 bytes of UTF-16: within the limit.
  const std::wstring fits = L"C:\\" + std::wstring(255, L'f');
  SetPersonal(fits);
  EXPECT_EQ(fits, Resolve(kSystemProfilePath));
  // One more character needs 520 bytes: the value cannot be read.
  SetPersonal(fits + L"g");
  EXPECT_EQ(kSystemProfilePath, Resolve(kSystemProfilePath));
  SetPersonal(std::wstring(2000, L'x'));
  EXPECT_EQ(kSystemProfilePath, Resolve(kSystemProfilePath));
}

TEST_F(ResolveDocumentsFolderTest, AnUnterminatedValueIsBoundedByItsSize) {
  // 259 characters without a terminator: 518 bytes, read in full and never past them.
  // Windows counts a terminator that follows the given bytes in memory into the value, so the
  // bytes after the text must not be one.
  const std::wstring text = L"C:\\" + std::wstring(256, L'u');
  SetPersonal(platform::kRegSz, platform::EncodeRegistryString(text + L"#"),
              text.size() * sizeof(wchar_t));
  EXPECT_EQ(text, Resolve(kSystemProfilePath));
}

TEST(FoldersTest, TheLogFolderIsCreatedWithTheDataFolderAndMissingParents) {
  TempFolder temp;
  const std::wstring documents = platform::JoinPath(temp.wide(), L"Documents");  // missing too
  const std::wstring data = platform::JoinPath(documents, L"Kuvo 10.0");
  const std::wstring log = platform::JoinPath(data, L"Log");
  EXPECT_EQ(log, LogFolderIn(documents));
  EXPECT_TRUE(platform::PathExists(data.c_str()));
  EXPECT_TRUE(platform::PathExists(log.c_str()));
  // Existing folders are found again, and the data folder alone works the same way.
  EXPECT_EQ(log, LogFolderIn(documents));
  EXPECT_EQ(data, DataFolderIn(documents));
}

}  // namespace
}  // namespace kuvo
