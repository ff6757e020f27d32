// The registry seam against the real registry on Windows and the emulation elsewhere.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_data.h"
#include "test_registry_key.h"

namespace platform {
namespace {

using kuvo_test::TestRegistryKey;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(nullptr, test_.key()); }

  void SetString(RegistryKey key, const wchar_t* name, const std::wstring& text) {
    const std::vector<uint8_t> data = EncodeRegistryString(text);
    ASSERT_EQ(kErrorSuccess,
              SetRegistryValue(key, name, kRegSz, data.data(), static_cast<uint32_t>(data.size())));
  }

  TestRegistryKey test_;
};

TEST_F(RegistryTest, CreateReportsWhetherTheKeyIsNewAndOpenFindsIt) {
  RegistryKey key = nullptr;
  bool created = false;
  ASSERT_EQ(kErrorSuccess,
            CreateRegistryKey(TestRegistryKey::Root(), test_.path(L"a\\b\\c").c_str(),
                              kKeyAllAccess, &key, &created));
  EXPECT_TRUE(created);
  EXPECT_EQ(kErrorSuccess, CloseRegistryKey(key));
  ASSERT_EQ(kErrorSuccess, CreateRegistryKey(test_.key(), L"a\\b\\c", kKeyRead, &key, &created));
  EXPECT_FALSE(created);
  EXPECT_EQ(kErrorSuccess, CloseRegistryKey(key));

  ASSERT_EQ(kErrorSuccess, OpenRegistryKey(test_.key(), L"A\\B", kKeyRead, &key));  // any case
  EXPECT_EQ(kErrorSuccess, CloseRegistryKey(key));
  EXPECT_EQ(kErrorFileNotFound, OpenRegistryKey(test_.key(), L"a\\missing", kKeyRead, &key));
  EXPECT_EQ(nullptr, key);
}

TEST_F(RegistryTest, QueryAnswersMoreDataWithTheNeededSize) {
  SetString(test_.key(), L"Text", L"0123456789");
  const uint32_t stored = static_cast<uint32_t>(11 * sizeof(wchar_t));

  uint32_t type = kRegNone;
  uint32_t size = 0;
  ASSERT_EQ(kErrorSuccess, QueryRegistryValue(test_.key(), L"Text", &type, nullptr, &size));
  EXPECT_EQ(kRegSz, type);
  EXPECT_EQ(stored, size);

  wchar_t small[4] = {L'x', L'x', L'x', L'x'};
  size = sizeof(small);
  EXPECT_EQ(kErrorMoreData, QueryRegistryValue(test_.key(), L"Text", &type, small, &size));
  EXPECT_EQ(stored, size);

  wchar_t exact[11] = {};
  size = sizeof(exact);
  ASSERT_EQ(kErrorSuccess, QueryRegistryValue(test_.key(), L"TEXT", &type, exact, &size));
  EXPECT_EQ(stored, size);
  EXPECT_EQ(std::wstring(L"0123456789"), DecodeRegistryString(exact, size));

  size = sizeof(exact);
  EXPECT_EQ(kErrorFileNotFound, QueryRegistryValue(test_.key(), L"Missing", &type, exact, &size));
}

TEST_F(RegistryTest, AReadIntoATooSmallBufferLeavesItAsItWas) {
  SetString(test_.key(), L"Text", L"0123456789");
  const std::vector<uint8_t> binary(64, 0x5A);
  ASSERT_EQ(kErrorSuccess, SetRegistryValue(test_.key(), L"Bin", kRegBinary, binary.data(),
                                            static_cast<uint32_t>(binary.size())));
  const std::vector<uint8_t> untouched(48, 0xA5);

  for (const wchar_t* name : {L"Text", L"Bin"}) {
    std::vector<uint8_t> buffer = untouched;
    uint32_t size = 16;  // room for part of either value
    EXPECT_EQ(kErrorMoreData, QueryRegistryValue(test_.key(), name, nullptr, buffer.data(), &size))
        << name;
    EXPECT_GT(size, 16u) << name;
    EXPECT_EQ(untouched, buffer) << name;
  }

  // The enumeration reads values the same way. Which index is which depends on the registry's
  // order, so each index is read into a small buffer and then in full.
  for (uint32_t index = 0; index < 2; ++index) {
    wchar_t name[16];
    uint32_t length = 16;
    std::vector<uint8_t> buffer = untouched;
    uint32_t size = 16;
    EXPECT_EQ(kErrorMoreData,
              EnumRegistryValue(test_.key(), index, name, &length, nullptr, buffer.data(), &size));
    EXPECT_EQ(untouched, buffer) << index;
    length = 16;
    std::vector<uint8_t> full(size);
    ASSERT_EQ(kErrorSuccess,
              EnumRegistryValue(test_.key(), index, name, &length, nullptr, full.data(), &size));
    EXPECT_EQ(full.size(), size);
  }
}

TEST_F(RegistryTest, ValuesOfEveryTypeReadBackAsWritten) {
  const std::vector<uint8_t> dword = EncodeRegistryDword(9999);
  const std::vector<uint8_t> multi = EncodeRegistryMultiString({L"192.168.225.21", L"10.0.0.1"});
  const std::vector<uint8_t> empty_multi = EncodeRegistryMultiString({});
  const std::vector<uint8_t> binary = {0, 1, 2, 0xFF};
  const std::vector<uint8_t> text = EncodeRegistryString(L"\u4E2D\u6587 \U0001F600");
  struct Written {
    const wchar_t* name;
    uint32_t type;
    const std::vector<uint8_t>& data;
  };
  const Written values[] = {{L"Dword", kRegDword, dword},
                            {L"Multi", kRegMultiSz, multi},
                            {L"NoGateway", kRegMultiSz, empty_multi},
                            {L"Binary", kRegBinary, binary},
                            {L"Text", kRegSz, text},
                            {nullptr, kRegSz, text}};
  for (const Written& value : values) {
    ASSERT_EQ(kErrorSuccess,
              SetRegistryValue(test_.key(), value.name, value.type, value.data.data(),
                               static_cast<uint32_t>(value.data.size())));
  }
  // Read back through a second handle after a flush.
  ASSERT_EQ(kErrorSuccess, FlushRegistryKey(test_.key()));
  RegistryKey reader = nullptr;
  ASSERT_EQ(kErrorSuccess,
            OpenRegistryKey(TestRegistryKey::Root(), test_.path().c_str(), kKeyRead, &reader));
  for (const Written& value : values) {
    uint8_t buffer[256] = {};
    uint32_t type = kRegNone;
    uint32_t size = sizeof(buffer);
    ASSERT_EQ(kErrorSuccess, QueryRegistryValue(reader, value.name, &type, buffer, &size));
    EXPECT_EQ(value.type, type);
    EXPECT_EQ(value.data, std::vector<uint8_t>(buffer, buffer + size));
  }
  uint8_t buffer[256] = {};
  uint32_t size = sizeof(buffer);
  ASSERT_EQ(kErrorSuccess, QueryRegistryValue(reader, L"Multi", nullptr, buffer, &size));
  EXPECT_EQ((std::vector<std::wstring>{L"192.168.225.21", L"10.0.0.1"}),
            DecodeRegistryMultiString(buffer, size));
  EXPECT_EQ(kErrorSuccess, CloseRegistryKey(reader));
}

TEST_F(RegistryTest, AStringWithoutTerminatorIsReturnedAsStored) {
  // Windows counts a terminator that follows the given bytes in memory into the value, so the
  // unit after the text must not be one.
  const std::wstring text = L"no terminator";
  const std::wstring stored = text + L"#";
  const auto size_in_bytes = static_cast<uint32_t>(text.size() * sizeof(wchar_t));
  ASSERT_EQ(kErrorSuccess,
            SetRegistryValue(test_.key(), L"Raw", kRegSz, stored.data(), size_in_bytes));
  std::vector<wchar_t> buffer(text.size() + 8, L'#');
  uint32_t size = static_cast<uint32_t>(buffer.size() * sizeof(wchar_t));
  ASSERT_EQ(kErrorSuccess, QueryRegistryValue(test_.key(), L"Raw", nullptr, buffer.data(), &size));
  // The reader must bound the text by the size: the data is not terminated.
  EXPECT_EQ(size_in_bytes, size);
  EXPECT_EQ(text, DecodeRegistryString(buffer.data(), size));
}

TEST_F(RegistryTest, EnumeratesSubKeysInOrderAndValuesByIndex) {
  for (const wchar_t* name : {L"beta", L"Alpha", L"gamma"}) {
    RegistryKey key = nullptr;
    ASSERT_EQ(kErrorSuccess, CreateRegistryKey(test_.key(), name, kKeyAllAccess, &key, nullptr));
    CloseRegistryKey(key);
  }
  std::vector<std::wstring> names;
  wchar_t name[kMaxKeyNameLength + 1];
  for (uint32_t index = 0;; ++index) {
    uint32_t length = kMaxKeyNameLength + 1;
    const ErrorCode result = EnumRegistryKey(test_.key(), index, name, &length);
    if (result == kErrorNoMoreItems) break;
    ASSERT_EQ(kErrorSuccess, result);
    EXPECT_EQ(std::wcslen(name), length);
    names.emplace_back(name, length);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}), names);
  uint32_t short_length = 5;  // "Alpha" needs six with its terminator
  EXPECT_EQ(kErrorMoreData, EnumRegistryKey(test_.key(), 0, name, &short_length));

  SetString(test_.key(), L"One", L"1");
  SetString(test_.key(), L"Two", L"22");
  std::vector<std::wstring> values;
  for (uint32_t index = 0;; ++index) {
    uint32_t length = kMaxKeyNameLength + 1;
    uint32_t type = kRegNone;
    wchar_t data[8] = {};
    uint32_t size = sizeof(data);
    const ErrorCode result =
        EnumRegistryValue(test_.key(), index, name, &length, &type, data, &size);
    if (result == kErrorNoMoreItems) break;
    ASSERT_EQ(kErrorSuccess, result);
    EXPECT_EQ(kRegSz, type);
    values.push_back(std::wstring(name, length) + L"=" + DecodeRegistryString(data, size));
  }
  std::sort(values.begin(), values.end());  // wine orders values by name, Windows by creation
  EXPECT_EQ((std::vector<std::wstring>{L"One=1", L"Two=22"}), values);

  uint32_t length = kMaxKeyNameLength + 1;
  wchar_t tiny[1];
  uint32_t tiny_size = sizeof(tiny);
  EXPECT_EQ(kErrorMoreData,
            EnumRegistryValue(test_.key(), 1, name, &length, nullptr, tiny, &tiny_size));
  EXPECT_EQ(3 * sizeof(wchar_t), tiny_size);
}

TEST_F(RegistryTest, DeletedValuesAreGone) {
  SetString(test_.key(), L"Doomed", L"x");
  EXPECT_EQ(kErrorSuccess, DeleteRegistryValue(test_.key(), L"Doomed"));
  uint32_t size = 0;
  EXPECT_EQ(kErrorFileNotFound,
            QueryRegistryValue(test_.key(), L"Doomed", nullptr, nullptr, &size));
  EXPECT_EQ(kErrorFileNotFound, DeleteRegistryValue(test_.key(), L"Doomed"));
}

TEST_F(RegistryTest, AKeyOpenedForReadingRefusesWrites) {
  RegistryKey reader = nullptr;
  ASSERT_EQ(kErrorSuccess,
            OpenRegistryKey(TestRegistryKey::Root(), test_.path().c_str(), kKeyRead, &reader));
  const std::vector<uint8_t> data = EncodeRegistryDword(1);
  EXPECT_EQ(kErrorAccessDenied, SetRegistryValue(reader, L"V", kRegDword, data.data(), 4));
  CloseRegistryKey(reader);
}

TEST_F(RegistryTest, HandlesToADeletedKeyReportIt) {
  RegistryKey child = nullptr;
  ASSERT_EQ(kErrorSuccess,
            CreateRegistryKey(test_.key(), L"child\\grandchild", kKeyAllAccess, &child, nullptr));
  EXPECT_EQ(kErrorSuccess, DeleteRegistryTree(test_.key(), L"child"));
  const std::vector<uint8_t> data = EncodeRegistryDword(1);
  EXPECT_EQ(kErrorKeyDeleted, SetRegistryValue(child, L"V", kRegDword, data.data(), 4));
  EXPECT_EQ(kErrorSuccess, CloseRegistryKey(child));
  RegistryKey gone = nullptr;
  EXPECT_EQ(kErrorFileNotFound, OpenRegistryKey(test_.key(), L"child", kKeyRead, &gone));
}

TEST_F(RegistryTest, ConcurrentReadersAndWriters) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::wstring own = L"Value" + std::to_wstring(t);
      const std::wstring other = L"Value" + std::to_wstring((t + 1) % kThreads);
      for (int round = 0; round < kRounds; ++round) {
        RegistryKey key = nullptr;
        if (OpenRegistryKey(TestRegistryKey::Root(), test_.path().c_str(), kKeyAllAccess, &key) !=
            kErrorSuccess) {
          ++failures;
          continue;
        }
        const std::vector<uint8_t> data = EncodeRegistryDword(static_cast<uint32_t>(round));
        if (SetRegistryValue(key, own.c_str(), kRegDword, data.data(), 4) != kErrorSuccess) {
          ++failures;
        }
        uint8_t read[4];
        uint32_t size = sizeof(read);
        const ErrorCode result = QueryRegistryValue(key, other.c_str(), nullptr, read, &size);
        if (result != kErrorSuccess && result != kErrorFileNotFound) ++failures;
        wchar_t name[32];
        uint32_t length = 32;
        const ErrorCode listed =
            EnumRegistryValue(key, 0, name, &length, nullptr, nullptr, nullptr);
        if (listed != kErrorSuccess && listed != kErrorNoMoreItems) ++failures;
        if (CloseRegistryKey(key) != kErrorSuccess) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, failures.load());
  for (int t = 0; t < kThreads; ++t) {
    uint8_t data[4];
    uint32_t size = sizeof(data);
    const std::wstring name = L"Value" + std::to_wstring(t);
    ASSERT_EQ(kErrorSuccess, QueryRegistryValue(test_.key(), name.c_str(), nullptr, data, &size));
    uint32_t value = 0;
    ASSERT_TRUE(DecodeRegistryDword(data, size, &value));
    EXPECT_EQ(static_cast<uint32_t>(kRounds - 1), value);
  }
}

}  // namespace
}  // namespace platform
