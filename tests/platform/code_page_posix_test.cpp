// Argument checks that Windows documents but wine does not make (it takes any negative length
// as "null-terminated" and ignores a default character with UTF-8), so only the POSIX
// implementation is held to them.
#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/last_error.h"

namespace platform {
namespace {

TEST(CodePagePosixTest, RejectsWhatWindowsDocumentsAsInvalid) {
  wchar_t wide[4] = {};
  char narrow[4] = {};
  EXPECT_EQ(0, MultiByteToWide(kCodePageUtf8, 0, "abc", -2, wide, 4));
  EXPECT_EQ(kErrorInvalidParameter, GetLastErrorCode());
  EXPECT_EQ(0, WideToMultiByte(kCodePageUtf8, 0, L"abc", -2, narrow, 4, nullptr, nullptr));
  EXPECT_EQ(kErrorInvalidParameter, GetLastErrorCode());
  // UTF-8 always has a replacement, so a default character is refused.
  EXPECT_EQ(0, WideToMultiByte(kCodePageUtf8, 0, L"abc", 3, narrow, 4, "?", nullptr));
  EXPECT_EQ(kErrorInvalidParameter, GetLastErrorCode());
  bool used = false;
  EXPECT_EQ(0, WideToMultiByte(kCodePageUtf8, 0, L"abc", 3, narrow, 4, nullptr, &used));
  EXPECT_EQ(kErrorInvalidParameter, GetLastErrorCode());
  // Flags that UTF-8 does not take.
  EXPECT_EQ(0, MultiByteToWide(kCodePageUtf8, 0x1, "abc", 3, wide, 4));
  EXPECT_EQ(kErrorInvalidFlags, GetLastErrorCode());
}

}  // namespace
}  // namespace platform
