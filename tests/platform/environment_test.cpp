// The environment seam: values round-trip as UTF-8, removal is seen, and the C runtime's getenv
// sees the same changes (components and stand-ins read variables both ways).
#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace platform {
namespace {

constexpr char kName[] = "KUVO_ENVIRONMENT_TEST";

TEST(EnvironmentTest, SetGetAndUnsetAreSeenEverywhere) {
  const std::string value = "C:\\Users\\\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87";  // été 中文
  ASSERT_TRUE(SetEnv(kName, value));
  std::string read;
  EXPECT_TRUE(GetEnv(kName, &read));
  EXPECT_EQ(value, read);
  EXPECT_EQ(value, GetEnvOrEmpty(kName));
  EXPECT_NE(nullptr, std::getenv(kName));

  ASSERT_TRUE(SetEnv(kName, "second"));
  EXPECT_EQ("second", GetEnvOrEmpty(kName));
  ASSERT_STREQ("second", std::getenv(kName));

  EXPECT_TRUE(UnsetEnv(kName));
  EXPECT_FALSE(GetEnv(kName, &read));
  EXPECT_EQ("", read);
  EXPECT_EQ(nullptr, std::getenv(kName));
  EXPECT_TRUE(UnsetEnv(kName));  // not set: nothing to do
}

}  // namespace
}  // namespace platform
