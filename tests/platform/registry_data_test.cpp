#include "platform/registry_data.h"

#include <gtest/gtest.h>

#include <cstring>

namespace platform {
namespace {

std::vector<uint8_t> Bytes(const std::wstring& units) {
  std::vector<uint8_t> bytes(units.size() * sizeof(wchar_t));
  if (!bytes.empty()) std::memcpy(bytes.data(), units.data(), bytes.size());
  return bytes;
}

TEST(RegistryDataTest, StringsCarryOneTerminator) {
  EXPECT_EQ(Bytes(std::wstring(L"ab\0", 3)), EncodeRegistryString(L"ab"));
  EXPECT_EQ(Bytes(std::wstring(L"\0", 1)), EncodeRegistryString(L""));
  EXPECT_EQ(Bytes(std::wstring(L"a\0bc\0\0", 6)), EncodeRegistryMultiString({L"a", L"bc"}));
  EXPECT_EQ(Bytes(std::wstring(L"\0", 1)), EncodeRegistryMultiString({}));
}

TEST(RegistryDataTest, DecodingStopsAtTheTerminatorOrTheSize) {
  const std::vector<uint8_t> terminated = Bytes(std::wstring(L"abc\0junk", 8));
  EXPECT_EQ(L"abc", DecodeRegistryString(terminated.data(), terminated.size()));
  const std::vector<uint8_t> bare = Bytes(L"abc");
  EXPECT_EQ(L"abc", DecodeRegistryString(bare.data(), bare.size()));
  EXPECT_EQ(L"ab", DecodeRegistryString(bare.data(), 2 * sizeof(wchar_t)));
  // A trailing partial unit is not read.
  EXPECT_EQ(L"ab", DecodeRegistryString(bare.data(), 3 * sizeof(wchar_t) - 1));
  EXPECT_EQ(L"", DecodeRegistryString(bare.data(), 1));
  EXPECT_EQ(L"", DecodeRegistryString(nullptr, 0));
}

TEST(RegistryDataTest, MultiStringsSplitAndToleratesAMissingFinalTerminator) {
  const std::vector<uint8_t> full = EncodeRegistryMultiString({L"one", L"two"});
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}),
            DecodeRegistryMultiString(full.data(), full.size()));
  const std::vector<uint8_t> cut = Bytes(std::wstring(L"one\0tw", 6));
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"tw"}),
            DecodeRegistryMultiString(cut.data(), cut.size()));
  const std::vector<uint8_t> stops = Bytes(std::wstring(L"one\0\0hidden\0", 12));
  EXPECT_EQ((std::vector<std::wstring>{L"one"}),
            DecodeRegistryMultiString(stops.data(), stops.size()));
  EXPECT_TRUE(DecodeRegistryMultiString(nullptr, 0).empty());
}

TEST(RegistryDataTest, ByteLimitsKeepTheirNumberOfCharacters) {
  // 256 bytes of UTF-16 hold 127 characters and a terminator, on every platform.
  const uint32_t limit = WideByteLimit(256);
  EXPECT_EQ(128u, limit / sizeof(wchar_t));
  EXPECT_EQ(EncodeRegistryString(std::wstring(127, L'x')).size(), limit);
  EXPECT_GT(EncodeRegistryString(std::wstring(128, L'x')).size(), limit);
}

TEST(RegistryDataTest, DwordsAreLittleEndianAndNeedFourBytes) {
  EXPECT_EQ((std::vector<uint8_t>{0x0F, 0x27, 0, 0}), EncodeRegistryDword(9999));
  EXPECT_EQ((std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0x80}),
            EncodeRegistryQword(0x8000000000000001ull));
  uint32_t value = 0;
  const std::vector<uint8_t> bytes = {0x0F, 0x27, 0, 0, 0xAA};
  EXPECT_TRUE(DecodeRegistryDword(bytes.data(), bytes.size(), &value));
  EXPECT_EQ(9999u, value);
  EXPECT_FALSE(DecodeRegistryDword(bytes.data(), 3, &value));
}

}  // namespace
}  // namespace platform
