#include "utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kuvotrace::Utf8ToWide;
using kuvotrace::WideToUtf8;

TEST(Utf8Test, RoundTripsEveryPlane) {
  const std::wstring text = L"a\u00e9\u4e2d\U0001F600";
  const std::string utf8 = WideToUtf8(text);
  EXPECT_EQ(utf8, "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80");
  EXPECT_EQ(Utf8ToWide(utf8.data(), utf8.size()), text);
}

TEST(Utf8Test, InvalidBytesBecomeReplacementCharacters) {
  const std::string bad =
      "a\xff"
      "b\xc3";  // stray byte, truncated sequence
  EXPECT_EQ(Utf8ToWide(bad.data(), bad.size()), L"a\ufffdb\ufffd");
  const std::string overlong = "\xc0\xaf";  // '/' spelled in two bytes
  EXPECT_EQ(Utf8ToWide(overlong.data(), overlong.size()), L"\ufffd\ufffd");
  const std::string surrogate = "\xed\xa0\x80";  // encoded U+D800
  EXPECT_EQ(Utf8ToWide(surrogate.data(), surrogate.size()), L"\ufffd\ufffd\ufffd");
  EXPECT_EQ(Utf8ToWide(nullptr, 3), L"");
}

TEST(Utf8Test, UnpairedSurrogatesBecomeReplacementCharacters) {
  const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b'};
  EXPECT_EQ(WideToUtf8(lone, 3),
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(WideToUtf8(nullptr, 4), "");
}

}  // namespace
