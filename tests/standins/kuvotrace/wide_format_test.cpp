#include "wide_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <string>

namespace {

std::wstring Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = kuvotrace::FormatWide(format, args);
  va_end(args);
  return text;
}

TEST(WideFormatTest, StringsFollowMicrosoftsWideMeaning) {
  const wchar_t* wide = L"w\u00e9de";
  const char* narrow = "n\xc3\xa4rrow";  // UTF-8
  EXPECT_EQ(Format(L"[%s]", wide), L"[w\u00e9de]");
  EXPECT_EQ(Format(L"[%S]", narrow), L"[n\u00e4rrow]");
  EXPECT_EQ(Format(L"[%hs|%ls|%ws]", narrow, wide, wide), L"[n\u00e4rrow|w\u00e9de|w\u00e9de]");
  EXPECT_EQ(Format(L"[%hS|%lS|%wS]", narrow, wide, wide), L"[n\u00e4rrow|w\u00e9de|w\u00e9de]");
  EXPECT_EQ(Format(L"[%c%C%hc%lc%wc]", L'\u00e9', 'a', 'b', L'c', L'd'), L"[\u00e9abcd]");
}

TEST(WideFormatTest, NarrowTextOutsideTheBasicPlaneKeepsItsCharacter) {
  EXPECT_EQ(Format(L"%S", "\xf0\x9f\x98\x80"), std::wstring(L"\U0001F600"));
}

TEST(WideFormatTest, WidthsPrecisionsAndFlags) {
  EXPECT_EQ(Format(L"[%5s|%-5s|%.2s|%5.1s]", L"ab", L"ab", L"abc", L"xyz"),
            L"[   ab|ab   |ab|    x]");
  EXPECT_EQ(Format(L"[%.3S]", "abcdef"), L"[abc]");
  EXPECT_EQ(Format(L"[%5d|%-5d|%05d|%+d|% d|%.3d|%+.3d]", 42, 42, -42, 42, 42, 7, 7),
            L"[   42|42   |-0042|+42| 42|007|+007]");
  EXPECT_EQ(Format(L"[%*d|%-*d|%*d]", 4, 1, 3, 2, -3, 3), L"[   1|2  |3  ]");
  EXPECT_EQ(Format(L"[%.*s|%.*s]", 2, L"abcd", -1, L"abcd"), L"[ab|abcd]");
  EXPECT_EQ(Format(L"[%.0d|%5.0d]", 0, 0), L"[|     ]");
  EXPECT_EQ(Format(L"[%08.3d]", 5), L"[     005]");  // a precision turns zero padding off
}

TEST(WideFormatTest, IntegerSizesHoldTheirFullRange) {
  EXPECT_EQ(Format(L"%d", INT_MIN), L"-2147483648");
  EXPECT_EQ(Format(L"%u", UINT_MAX), L"4294967295");
  EXPECT_EQ(Format(L"%ld|%lu", LONG_MIN, ULONG_MAX),
            std::to_wstring(LONG_MIN) + L"|" + std::to_wstring(ULONG_MAX));
  EXPECT_EQ(Format(L"%lld|%llu", LLONG_MIN, ULLONG_MAX),
            L"-9223372036854775808|18446744073709551615");
  EXPECT_EQ(Format(L"%I64d|%I64u|%I32d", static_cast<long long>(-5),
                   static_cast<unsigned long long>(1) << 40, -7),
            L"-5|1099511627776|-7");
  EXPECT_EQ(Format(L"%hd|%hu|%hhd", 70000, 70000, 300), L"4464|4464|44");
  EXPECT_EQ(Format(L"%zu|%Iu", static_cast<size_t>(12), static_cast<size_t>(13)), L"12|13");
  EXPECT_EQ(Format(L"%i", 17), L"17");
}

TEST(WideFormatTest, OtherBases) {
  EXPECT_EQ(Format(L"[%x|%X|%#x|%#X|%#x]", 255u, 255u, 255u, 255u, 0u), L"[ff|FF|0xff|0XFF|0]");
  EXPECT_EQ(Format(L"[%o|%#o|%#o]", 8u, 8u, 0u), L"[10|010|0]");
  EXPECT_EQ(Format(L"[%#06x]", 10u), L"[0x000a]");
  EXPECT_EQ(Format(L"[%llx]", 0xDEADBEEFCAFEull), L"[deadbeefcafe]");
}

TEST(WideFormatTest, PointersAndPercent) {
  const std::wstring text = Format(L"%p", reinterpret_cast<void*>(0xAB));
  EXPECT_EQ(text.size(), sizeof(void*) * 2);
  EXPECT_EQ(text.substr(text.size() - 3), L"0AB");
  EXPECT_EQ(Format(L"100%% of %d%%", 5), L"100% of 5%");
}

TEST(WideFormatTest, FloatingValues) {
  EXPECT_EQ(Format(L"[%.2f|%8.3f|%-7.1f|%+.0f]", 3.14159, 2.5, 1.25, 2.0),
            L"[3.14|   2.500|1.2    |+2]");
  EXPECT_EQ(Format(L"[%e]", 1500.0), L"[1.500000e+03]");
  EXPECT_EQ(Format(L"[%g|%G]", 0.0001, 1e-10), L"[0.0001|1E-10]");
  EXPECT_EQ(Format(L"[%Lf]", static_cast<long double>(1.5)), L"[1.500000]");
}

TEST(WideFormatTest, NullArgumentsPrintNull) {
  EXPECT_EQ(Format(L"[%s|%S|%5s]", static_cast<const wchar_t*>(nullptr),
                   static_cast<const char*>(nullptr), static_cast<const wchar_t*>(nullptr)),
            L"[(null)|(null)|(null)]");
  EXPECT_EQ(Format(nullptr), L"(null)");
}

TEST(WideFormatTest, BadFormatsStopAndKeepTheRestAsText) {
  EXPECT_EQ(Format(L"end %"), L"end %");
  EXPECT_EQ(Format(L"a %d %", 1), L"a 1 %");
  // After an unknown conversion no argument is read: the %s below must not take the int.
  EXPECT_EQ(Format(L"%d %y %s", 1, 2, L"x"), L"1 %y %s");
  int written = 0;
  EXPECT_EQ(Format(L"%n|%d", &written, 3), L"%n|%d");
  EXPECT_EQ(written, 0);
  EXPECT_EQ(Format(L"%99999999999999999999d", 1), L"%99999999999999999999d");
  EXPECT_EQ(Format(L"%.70000s", L"x"), L"%.70000s");
  EXPECT_EQ(Format(L"%*d|", INT_MIN, 1), L"%*d|");
  EXPECT_EQ(Format(L"%*d|", 1 << 20, 1), L"%*d|");
  EXPECT_EQ(Format(L"%I6d", 1), L"%I6d");
  EXPECT_EQ(Format(L"%ws%wd", L"a", 1), L"a%wd");
  EXPECT_EQ(Format(L"%-"), L"%-");
}

TEST(WideFormatTest, PrecisionBoundsTheReadOfUnterminatedText) {
  const char narrow[3] = {'a', 'b', 'c'};
  const wchar_t wide[3] = {L'x', L'y', L'z'};
  EXPECT_EQ(Format(L"%.3S|%.3s", narrow, wide), L"abc|xyz");
}

TEST(WideFormatTest, LargeWidthsAreHonoured) {
  EXPECT_EQ(Format(L"%1000d", 1).size(), 1000u);
  EXPECT_EQ(Format(L"%.1000d", 1).size(), 1000u);
}

}  // namespace
