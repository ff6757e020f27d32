// The rule behind the registry reads: a buffer that is too small is left as it was, whatever the
// system does with the buffer it is given.
#include "platform/registry_scratch_read.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace platform {
namespace {

// Behaves as Windows may: on kErrorMoreData the buffer it was given holds part of the data.
ErrorCode ReadLikeWindows(const std::vector<uint8_t>& value, uint8_t* buffer, uint32_t* size) {
  const auto needed = static_cast<uint32_t>(value.size());
  if (buffer != nullptr) {
    std::memcpy(buffer, value.data(), *size < needed ? *size : needed);
    if (*size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
  }
  if (size != nullptr) *size = needed;
  return kErrorSuccess;
}

TEST(RegistryScratchReadTest, ATooSmallBufferStaysAsItWasAndLearnsTheSize) {
  const std::vector<uint8_t> value(40, 0x11);
  std::vector<uint8_t> buffer(16, 0xA5);
  uint32_t size = 16;
  EXPECT_EQ(kErrorMoreData,
            ReadRegistryDataThroughScratch(buffer.data(), &size, [&](uint8_t* b, uint32_t* s) {
              EXPECT_NE(buffer.data(), b);
              return ReadLikeWindows(value, b, s);
            }));
  EXPECT_EQ(40u, size);
  EXPECT_EQ(std::vector<uint8_t>(16, 0xA5), buffer);

  // No room at all: still a buffer (not a size query), still untouched.
  size = 0;
  bool got_buffer = false;
  EXPECT_EQ(kErrorMoreData,
            ReadRegistryDataThroughScratch(buffer.data(), &size, [&](uint8_t* b, uint32_t* s) {
              got_buffer = b != nullptr;
              return ReadLikeWindows(value, b, s);
            }));
  EXPECT_TRUE(got_buffer);
  EXPECT_EQ(40u, size);
  EXPECT_EQ(std::vector<uint8_t>(16, 0xA5), buffer);
}

TEST(RegistryScratchReadTest, ASuccessfulReadCopiesTheDataAndNothingMore) {
  const std::vector<uint8_t> value = {1, 2, 3, 4, 5};
  std::vector<uint8_t> buffer(16, 0xA5);
  uint32_t size = 16;
  ASSERT_EQ(kErrorSuccess,
            ReadRegistryDataThroughScratch(buffer.data(), &size, [&](uint8_t* b, uint32_t* s) {
              std::memset(b, 0xEE, *s);  // the system may write past the data
              return ReadLikeWindows(value, b, s);
            }));
  EXPECT_EQ(5u, size);
  std::vector<uint8_t> expected(16, 0xA5);
  std::memcpy(expected.data(), value.data(), value.size());
  EXPECT_EQ(expected, buffer);

  // A system that claims more than the room it had is not believed past the room.
  size = 4;
  std::vector<uint8_t> small(4, 0xA5);
  ASSERT_EQ(kErrorSuccess,
            ReadRegistryDataThroughScratch(small.data(), &size, [&](uint8_t* b, uint32_t* s) {
              std::memset(b, 0x22, *s);
              *s = 1000;
              return kErrorSuccess;
            }));
  EXPECT_EQ(std::vector<uint8_t>(4, 0x22), small);
}

TEST(RegistryScratchReadTest, SizeQueriesPassStraightThrough) {
  const std::vector<uint8_t> value(9, 0x33);
  uint32_t size = 0;
  EXPECT_EQ(kErrorSuccess,
            ReadRegistryDataThroughScratch(nullptr, &size, [&](uint8_t* b, uint32_t* s) {
              EXPECT_EQ(nullptr, b);
              return ReadLikeWindows(value, b, s);
            }));
  EXPECT_EQ(9u, size);
  EXPECT_EQ(kErrorSuccess,
            ReadRegistryDataThroughScratch(nullptr, nullptr, [&](uint8_t* b, uint32_t* s) {
              EXPECT_EQ(nullptr, s);
              return ReadLikeWindows(value, b, s);
            }));
}

}  // namespace
}  // namespace platform
