#include "base64_encode.h"

#include <gtest/gtest.h>

#include <string>

namespace kuvochat {
namespace {

TEST(Base64Encode, Rfc4648Vectors) {
  EXPECT_EQ(Base64Encode(std::string()), "");
  EXPECT_EQ(Base64Encode(std::string("f")), "Zg==");
  EXPECT_EQ(Base64Encode(std::string("fo")), "Zm8=");
  EXPECT_EQ(Base64Encode(std::string("foo")), "Zm9v");
  EXPECT_EQ(Base64Encode(std::string("foob")), "Zm9vYg==");
  EXPECT_EQ(Base64Encode(std::string("fooba")), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode(std::string("foobar")), "Zm9vYmFy");
}

TEST(Base64Encode, HighBytesUseThePlusAndSlashAlphabetWithoutLineBreaks) {
  EXPECT_EQ(Base64Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
  EXPECT_EQ(Base64Encode(std::string("\x00\x00\x00\x00", 4)), "AAAAAA==");
  const std::string big(3000, '\xAA');
  const std::string text = Base64Encode(big);
  EXPECT_EQ(text.size(), 4000u);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find('='), std::string::npos);
}

TEST(Base64Encode, NullDataIsEmpty) {
  EXPECT_EQ(Base64Encode(nullptr, 5), "");
}

}  // namespace
}  // namespace kuvochat
