#include "base64_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base64_encode.h"

namespace kuvochat {
namespace {

TEST(Base64Decode, WholeAndPaddedGroups) {
  EXPECT_EQ(Base64Decode("YWJj"), "abc");
  EXPECT_EQ(Base64Decode("YWI="), "ab");
  EXPECT_EQ(Base64Decode("YQ=="), "a");
  EXPECT_EQ(Base64Decode(""), "");
}

TEST(Base64Decode, StopsAtTheFirstOutsider) {
  EXPECT_EQ(Base64Decode("YWJj\nZGVm"), "abc");
  EXPECT_EQ(Base64Decode("YWJj ZGVm"), "abc");
  EXPECT_EQ(Base64Decode("YWJj=ZGVm"), "abc");
  EXPECT_EQ(Base64Decode(std::string("YWJj\0ZGVm", 9)), "abc");
  EXPECT_EQ(Base64Decode("-_"), "");  // the URL alphabet is not accepted
}

TEST(Base64Decode, ATrailingGroupOfNCharactersGivesNMinusOneBytes) {
  EXPECT_EQ(Base64Decode("YWJjZ"), "abc");
  EXPECT_EQ(Base64Decode("YWJjZG"), "abcd");
  EXPECT_EQ(Base64Decode("YWJjZGV"), "abcde");
  EXPECT_EQ(Base64Decode("Y"), "");
}

TEST(Base64Decode, RawBytesRoundTripThroughTheEncoder) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  for (size_t n = 0; n <= all.size(); n += 37) {
    const std::string part = all.substr(0, n);
    EXPECT_EQ(Base64Decode(Base64Encode(part)), part) << n;
  }
}

// Decoding over the text itself must give what decoding into a fresh string gives, for whole,
// partial, padded and interrupted texts of every short length.
TEST(Base64Decode, InPlaceMatchesTheCopyingDecoder) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  std::vector<std::string> texts = {"",      "Y",      "YW",      "YWJ",
                                    "YWJj",  "YWI=",   "YQ==",    "YWJj\nZGVm",
                                    "YWJjZ", "YWJjZG", "YWJjZGV", std::string("YW\0jZGVm", 9)};
  for (size_t n = 0; n <= all.size(); n += 17) texts.push_back(Base64Encode(all.substr(0, n)));
  for (const std::string& text : texts) {
    std::string in_place = text;
    Base64DecodeInPlace(&in_place);
    EXPECT_EQ(in_place, Base64Decode(text)) << text;
  }
}

TEST(Base64Decode, NullTextGivesNothing) {
  EXPECT_EQ(Base64Decode(nullptr, 10), "");
}

}  // namespace
}  // namespace kuvochat
