#include "sdk_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace kuvochat {
namespace {

// A getter scripted by the handle: it answers the size query with `query_result` and
// `reported`, then copies `text` under the length it is given.
struct FakeText {
  int query_result = -2;
  uint32_t reported = 0;
  std::string text;
  bool fill_without_terminator = false;
  int fetches = 0;
  uint32_t fetch_len_in = 0;
};

int FakeGetter(void* handle, char* buf, uint32_t* len) {
  auto* fake = static_cast<FakeText*>(handle);
  if (buf == nullptr) {
    *len = fake->reported;
    return fake->query_result;
  }
  ++fake->fetches;
  fake->fetch_len_in = *len;
  if (fake->fill_without_terminator) {
    std::memset(buf, 'z', *len);
    return 0;
  }
  const size_t n = std::min<size_t>(*len, fake->text.size());
  std::memcpy(buf, fake->text.data(), n);
  *len = static_cast<uint32_t>(n);
  return 0;
}

TEST(ReadSdkText, AsksForTheLengthThenFetchesOneByteMore) {
  FakeText fake{-2, 5, "hello"};
  std::string out;
  uint32_t length = 0;
  ASSERT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out, &length));
  EXPECT_EQ(out, "hello");
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(fake.fetch_len_in, 6u);
}

TEST(ReadSdkText, AQueryAnswerOtherThanMinusTwoFails) {
  FakeText fake{0, 5, "hello"};
  std::string out = "stale";
  EXPECT_FALSE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out));
  EXPECT_EQ(out, "");
  EXPECT_EQ(fake.fetches, 0);
}

TEST(ReadSdkText, ALengthBeyondTheLimitFailsBeforeAnyAllocation) {
  FakeText fake{-2, 0xFFFFFFFFu, "x"};  // + 1 would wrap to 0 in 32 bits
  std::string out;
  EXPECT_FALSE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out));
  EXPECT_EQ(fake.fetches, 0);
  fake.reported = kMaxSdkTextLength + 1;
  EXPECT_FALSE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kBytes, &out));
  fake.reported = kMaxSdkTextLength;
  fake.text = "short";
  EXPECT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out));
  EXPECT_EQ(out, "short");
}

TEST(ReadSdkText, TextStopsAtTheFirstZeroAndBytesKeepTheReportedLength) {
  FakeText fake{-2, 5, std::string("ab\0cd", 5)};
  std::string out;
  ASSERT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out));
  EXPECT_EQ(out, "ab");
  ASSERT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kBytes, &out));
  EXPECT_EQ(out, std::string("ab\0cd", 5));
  fake.text = "abcdefgh";  // more than reported: only the reported bytes count
  ASSERT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kBytes, &out));
  EXPECT_EQ(out, "abcde");
}

TEST(ReadSdkText, AGetterThatFillsTheWholeBufferIsReadWithinIt) {
  FakeText fake{-2, 3, ""};
  fake.fill_without_terminator = true;
  std::string out;
  ASSERT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out));
  EXPECT_EQ(out, "zzzz");  // the length + 1 bytes it was lent, no further
}

TEST(ReadSdkText, ZeroLengthGivesAnEmptyText) {
  FakeText fake{-2, 0, ""};
  std::string out = "stale";
  uint32_t length = 7;
  ASSERT_TRUE(ReadSdkText(&FakeGetter, &fake, SdkTextKind::kText, &out, &length));
  EXPECT_EQ(out, "");
  EXPECT_EQ(length, 0u);
}

}  // namespace
}  // namespace kuvochat
