#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace platform {
namespace {

// "aé中😀" in UTF-8.
const char kUtf8Mixed[] = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
const wchar_t kWideMixed[] = L"a\u00E9\u4E2D\U0001F600";

std::wstring ToWide(const std::string& text, uint32_t flags = 0) {
  const int needed =
      MultiByteToWide(kCodePageUtf8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (needed <= 0) return L"<failed>";
  std::wstring out(static_cast<size_t>(needed), L'\0');
  EXPECT_EQ(needed, MultiByteToWide(kCodePageUtf8, flags, text.data(),
                                    static_cast<int>(text.size()), &out[0], needed));
  return out;
}

std::string ToUtf8(const std::wstring& text, uint32_t flags = 0) {
  const int needed = WideToMultiByte(kCodePageUtf8, flags, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return "<failed>";
  std::string out(static_cast<size_t>(needed), '\0');
  EXPECT_EQ(needed,
            WideToMultiByte(kCodePageUtf8, flags, text.data(), static_cast<int>(text.size()),
                            &out[0], needed, nullptr, nullptr));
  return out;
}

TEST(CodePageTest, ConvertsBothWaysIncludingCharactersOutsideTheBasicPlane) {
  EXPECT_EQ(std::wstring(kWideMixed), ToWide(kUtf8Mixed));
  EXPECT_EQ(std::string(kUtf8Mixed), ToUtf8(kWideMixed));
}

TEST(CodePageTest, CodePageZeroIsTheProcessCodePage) {
  // CP_ACP is UTF-8 outside Windows; on Windows plain ASCII is the same in every ANSI page.
  wchar_t wide[8] = {};
  EXPECT_EQ(3, MultiByteToWide(kCodePageAcp, 0, "abc", 3, wide, 8));
  EXPECT_EQ(std::wstring(L"abc"), wide);
  char narrow[8] = {};
  EXPECT_EQ(3, WideToMultiByte(kCodePageAcp, 0, L"abc", 3, narrow, 8, nullptr, nullptr));
  EXPECT_EQ(std::string("abc"), narrow);
}

TEST(CodePageTest, LengthMinusOneConvertsTheTerminatorToo) {
  wchar_t wide[8];
  std::fill(std::begin(wide), std::end(wide), L'x');
  EXPECT_EQ(4, MultiByteToWide(kCodePageUtf8, 0, "abc", -1, wide, 8));
  EXPECT_EQ(L'\0', wide[3]);
  char narrow[8];
  std::fill(std::begin(narrow), std::end(narrow), 'x');
  EXPECT_EQ(4, WideToMultiByte(kCodePageUtf8, 0, L"abc", -1, narrow, 8, nullptr, nullptr));
  EXPECT_EQ('\0', narrow[3]);
}

TEST(CodePageTest, SizeZeroAsksForTheNeededSizeAndASmallBufferFails) {
  const int needed_wide = MultiByteToWide(kCodePageUtf8, 0, kUtf8Mixed, -1, nullptr, 0);
  EXPECT_EQ(static_cast<int>(std::wstring(kWideMixed).size()) + 1, needed_wide);

  std::vector<wchar_t> wide(static_cast<size_t>(needed_wide - 1));
  SetLastErrorCode(kErrorSuccess);
  EXPECT_EQ(0, MultiByteToWide(kCodePageUtf8, 0, kUtf8Mixed, -1, wide.data(), needed_wide - 1));
  EXPECT_EQ(kErrorInsufficientBuffer, GetLastErrorCode());

  const int needed_narrow =
      WideToMultiByte(kCodePageUtf8, 0, kWideMixed, -1, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(static_cast<int>(sizeof(kUtf8Mixed)), needed_narrow);
  // One byte short: the last character (four bytes) no longer fits.
  std::vector<char> narrow(static_cast<size_t>(needed_narrow - 2));
  SetLastErrorCode(kErrorSuccess);
  EXPECT_EQ(0, WideToMultiByte(kCodePageUtf8, 0, kWideMixed, -1, narrow.data(), needed_narrow - 2,
                               nullptr, nullptr));
  EXPECT_EQ(kErrorInsufficientBuffer, GetLastErrorCode());
}

TEST(CodePageTest, RejectsBadArguments) {
  wchar_t wide[4] = {};
  char narrow[4] = {};
  const auto expect_invalid = [](int result, const char* what) {
    EXPECT_EQ(0, result) << what;
    EXPECT_EQ(kErrorInvalidParameter, GetLastErrorCode()) << what;
  };
  expect_invalid(MultiByteToWide(kCodePageUtf8, 0, nullptr, 3, wide, 4), "null input");
  expect_invalid(MultiByteToWide(kCodePageUtf8, 0, "abc", 0, wide, 4), "empty input");
  expect_invalid(MultiByteToWide(kCodePageUtf8, 0, "abc", 3, nullptr, 4), "null output");
  expect_invalid(MultiByteToWide(kCodePageUtf8, 0, "abc", 3, wide, -1), "negative size");
  expect_invalid(WideToMultiByte(kCodePageUtf8, 0, nullptr, 3, narrow, 4, nullptr, nullptr),
                 "null wide input");
  expect_invalid(WideToMultiByte(kCodePageUtf8, 0, L"abc", 0, narrow, 4, nullptr, nullptr),
                 "empty wide input");
  expect_invalid(WideToMultiByte(kCodePageUtf8, 0, L"abc", 3, nullptr, 4, nullptr, nullptr),
                 "null narrow output");
}

TEST(CodePageTest, InvalidUtf8BecomesReplacementCharacters) {
  // A stray continuation byte and an impossible byte, each between valid text.
  EXPECT_EQ(std::wstring(L"a\uFFFDb"), ToWide("a\x80"
                                              "b"));
  EXPECT_EQ(std::wstring(L"a\uFFFDb"), ToWide("a\xFF"
                                              "b"));
  // Overlong forms, encoded surrogates, values above U+10FFFF and truncated sequences: never
  // decoded to a character, the text around them kept.
  for (const std::string bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xE4\xB8", "\xF0\x9F\x98"}) {
    const std::wstring wide = ToWide("<" + bad + ">");
    ASSERT_GE(wide.size(), 3u) << bad;
    EXPECT_EQ(L'<', wide.front());
    EXPECT_EQ(L'>', wide.back());
    for (size_t i = 1; i + 1 < wide.size(); ++i) EXPECT_EQ(L'\uFFFD', wide[i]) << bad;
  }
}

TEST(CodePageTest, InvalidUtf8FailsWhenAskedTo) {
  wchar_t wide[8] = {};
  SetLastErrorCode(kErrorSuccess);
  EXPECT_EQ(0, MultiByteToWide(kCodePageUtf8, kMbErrInvalidChars,
                               "a\xFF"
                               "b",
                               3, wide, 8));
  EXPECT_EQ(kErrorNoUnicodeTranslation, GetLastErrorCode());
  EXPECT_EQ(3, MultiByteToWide(kCodePageUtf8, kMbErrInvalidChars, "abc", 3, wide, 8));
}

TEST(CodePageTest, LoneSurrogatesBecomeReplacementCharacters) {
  const std::wstring lone_high(1, static_cast<wchar_t>(0xD800));
  const std::wstring lone_low(1, static_cast<wchar_t>(0xDC00));
  EXPECT_EQ(std::string("a\xEF\xBF\xBD"
                        "b"),
            ToUtf8(L"a" + lone_high + L"b"));
  EXPECT_EQ(std::string("a\xEF\xBF\xBD"
                        "b"),
            ToUtf8(L"a" + lone_low + L"b"));

  char narrow[8] = {};
  const std::wstring text = L"a" + lone_high;
  SetLastErrorCode(kErrorSuccess);
  EXPECT_EQ(0, WideToMultiByte(kCodePageUtf8, kWcErrInvalidChars, text.data(),
                               static_cast<int>(text.size()), narrow, 8, nullptr, nullptr));
  EXPECT_EQ(kErrorNoUnicodeTranslation, GetLastErrorCode());
}

TEST(CodePageTest, WideValuesAboveTheUnicodeRangeBecomeReplacementCharacters) {
  if (sizeof(wchar_t) != 4) GTEST_SKIP() << "16-bit wide characters cannot hold such values";
  const std::wstring text = {L'a', static_cast<wchar_t>(0x110000), L'b'};
  EXPECT_EQ(std::string("a\xEF\xBF\xBD"
                        "b"),
            ToUtf8(text));
  EXPECT_EQ("<failed>", ToUtf8(text, kWcErrInvalidChars));
}

}  // namespace
}  // namespace platform
