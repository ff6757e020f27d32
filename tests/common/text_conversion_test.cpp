#include "common/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace kuvo {
namespace {

constexpr uint32_t kUtf8 = platform::kCodePageUtf8;

std::string Repeat(const std::string& piece, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

std::wstring Repeat(const std::wstring& piece, size_t count) {
  std::wstring text;
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(TextConversionTest, NullAndEmptyTextsGiveEmptyResults) {
  EXPECT_EQ("", WideToNarrow(nullptr, kUtf8));
  EXPECT_EQ(L"", NarrowToWide(nullptr, kUtf8));
  EXPECT_EQ("", WideToNarrow(L"", kUtf8));
  EXPECT_EQ(L"", NarrowToWide("", kUtf8));
}

TEST(TextConversionTest, ConvertsBothWaysIncludingCharactersOutsideTheBasicPlane) {
  EXPECT_EQ("192.168.225.21", WideToNarrow(L"192.168.225.21", kUtf8));
  EXPECT_EQ("\xE7\xBD\x91\xE5\x8D\xA1 \xF0\x9F\x98\x80",
            WideToNarrow(L"\u7F51\u5361 \U0001F600", kUtf8));
  EXPECT_EQ(L"\u7F51\u5361 \U0001F600",
            NarrowToWide("\xE7\xBD\x91\xE5\x8D\xA1 \xF0\x9F\x98\x80", kUtf8));
}

TEST(TextConversionTest, TextsAroundAndBeyondTheFirstBufferConvertInFull) {
  // 1024 units fit the first buffer exactly; one more needs the second, exactly sized pass.
  for (const size_t extra : {0u, 1u, 2000u}) {
    const std::string narrow = Repeat("\xC3\xA9", 512) + std::string(extra, 'a');
    const std::wstring wide = Repeat(L"\u00E9", 512) + std::wstring(extra, L'a');
    EXPECT_EQ(narrow, WideToNarrow(wide.c_str(), kUtf8)) << extra;

    const std::string ascii(1024 + extra, 'x');
    EXPECT_EQ(std::wstring(1024 + extra, L'x'), NarrowToWide(ascii.c_str(), kUtf8)) << extra;
  }
  const std::wstring emoji = Repeat(L"\U0001F600", 700);  // 2800 bytes; 700 or 1400 units
  const std::string emoji_narrow = Repeat("\xF0\x9F\x98\x80", 700);
  EXPECT_EQ(emoji_narrow, WideToNarrow(emoji.c_str(), kUtf8));
  EXPECT_EQ(emoji, NarrowToWide(emoji_narrow.c_str(), kUtf8));
}

TEST(TextConversionTest, InvalidUtf8IsReplacedNotDropped) {
  EXPECT_EQ(L"a\uFFFDb", NarrowToWide("a\xFF"
                                      "b",
                                      kUtf8));
  const std::string long_invalid = std::string(1500, 'a') + "\xFF";
  const std::wstring converted = NarrowToWide(long_invalid.c_str(), kUtf8);
  ASSERT_EQ(1501u, converted.size());
  EXPECT_EQ(L'\uFFFD', converted.back());
}

TEST(TextConversionTest, AnUnsupportedCodePageGivesAnEmptyResult) {
  constexpr uint32_t kNoSuchCodePage = 12345;
  EXPECT_EQ("", WideToNarrow(L"text", kNoSuchCodePage));
  EXPECT_EQ(L"", NarrowToWide("text", kNoSuchCodePage));
}

}  // namespace
}  // namespace kuvo
