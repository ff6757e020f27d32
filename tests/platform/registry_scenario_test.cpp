#include "platform/registry_scenario.h"

#include <gtest/gtest.h>

#include "platform/registry_data.h"

namespace platform {
namespace {

TEST(RegistryScenarioTest, ParsesKeysFlagsAndEveryValueForm) {
  const std::string text =
      "# the phone adapter\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\Tcpip\\{GUID}]\n"
      "  ; indented comment\n"
      "!deny-write\n"
      "\"IPAddress\" = multi_sz:\"192.168.1.5\", \"10.0.0.1\"\n"
      "\"DefaultGatewayMetric\"=multi_sz:\n"
      "\"EnableDHCP\"=dword:1\n"
      "\"InterfaceMetric\"=dword:0x270f\n"
      "\"Big\"=qword:0x100000000\n"
      "\"Name \\\"quoted\\\" \\\\\"=sz:\"C:\\\\Users\\\\\xC3\xA9\"\n"
      "@=expand_sz:\"%SystemRoot%\"\n"
      "\"Raw\"=sz_unterminated:\"ab\"\n"
      "\"Bin\"=hex:00,ff,1\n"
      "\"Empty\"=hex:\n"
      "\"Typed\"=hex(7):41,00\n"
      "[HKCU\\\\ Software \\Kuvo\\]\r\n";
  std::vector<RegistryScenarioKey> keys;
  std::string error;
  ASSERT_TRUE(ParseRegistryScenario(text, &keys, &error)) << error;
  ASSERT_EQ(2u, keys.size());

  const RegistryScenarioKey& key = keys[0];
  EXPECT_EQ(RegistryRoot::kLocalMachine, key.root);
  EXPECT_EQ(L"SYSTEM\\Tcpip\\{GUID}", key.path);
  EXPECT_TRUE(key.deny_write);
  ASSERT_EQ(11u, key.values.size());
  const auto expect = [&](size_t index, const std::wstring& name, uint32_t type,
                          const std::vector<uint8_t>& data) {
    EXPECT_EQ(name, key.values[index].name) << index;
    EXPECT_EQ(type, key.values[index].type) << index;
    EXPECT_EQ(data, key.values[index].data) << index;
  };
  expect(0, L"IPAddress", kRegMultiSz, EncodeRegistryMultiString({L"192.168.1.5", L"10.0.0.1"}));
  expect(1, L"DefaultGatewayMetric", kRegMultiSz, EncodeRegistryMultiString({}));
  expect(2, L"EnableDHCP", kRegDword, EncodeRegistryDword(1));
  expect(3, L"InterfaceMetric", kRegDword, EncodeRegistryDword(9999));
  expect(4, L"Big", kRegQword, EncodeRegistryQword(0x100000000ull));
  expect(5, L"Name \"quoted\" \\", kRegSz, EncodeRegistryString(L"C:\\Users\\\u00E9"));
  expect(6, L"", kRegExpandSz, EncodeRegistryString(L"%SystemRoot%"));
  std::vector<uint8_t> raw = EncodeRegistryString(L"ab");
  raw.resize(2 * sizeof(wchar_t));
  expect(7, L"Raw", kRegSz, raw);
  expect(8, L"Bin", kRegBinary, {0x00, 0xFF, 0x01});
  expect(9, L"Empty", kRegBinary, {});
  expect(10, L"Typed", kRegMultiSz, {0x41, 0x00});

  EXPECT_EQ(RegistryRoot::kCurrentUser, keys[1].root);
  EXPECT_EQ(L"Software\\Kuvo", keys[1].path);
  EXPECT_TRUE(keys[1].values.empty());
}

TEST(RegistryScenarioTest, ReportsTheLineOfAnError) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"\"A\"=sz:\"x\"\n", "line 1: a key line must come first"},
      {"[HKLM\\K]\n\"A\"=sz:\"x\n", "line 2: missing closing '\"'"},
      {"[HKXX\\K]\n", "line 1: unknown root \"HKXX\""},
      {"[HKLM]\n", "line 1: a key needs a path below its root"},
      {"[HKLM\\K]\n\n\"A\"=dword:4294967296\n", "line 3: number too large"},
      {"[HKLM\\K]\n\"A\"=word:1\n", "line 2: unknown value type \"word\""},
      {"[HKLM\\K]\n\"A\"=hex:zz\n", "line 2: expected a hex byte"},
      {"[HKLM\\K]\n\"A\"=hex(x):00\n", "line 2: bad value type \"hex(x)\""},
      {"[HKLM\\K]\n\"A\"=sz:\"x\" trailing\n", "line 2: text after the value"},
      {"[HKLM\\K]\n\"A\" sz:\"x\"\n", "line 2: expected '='"},
      {"[HKLM\\K]\n!read-only\n", "line 2: unknown flag \"!read-only\""},
      {"[HKLM\\K]\n\"A\"=sz:\"\xFF\"\n", "line 2: text is not valid UTF-8"},
      {"[HKLM\\K]\n\"A\"=multi_sz:\"a\",\"\"\n", "line 2: a multi_sz text may not be empty"},
      {"[HKLM\\K\tL]\n", "line 1: a key name may not contain control characters"},
      {std::string("[HKLM\\K]\n\"A\0B\"=dword:1\n", 23),
       "line 2: a value name may not contain a null character"},
  };
  for (const auto& c : cases) {
    std::vector<RegistryScenarioKey> keys;
    std::string error;
    EXPECT_FALSE(ParseRegistryScenario(c.text, &keys, &error)) << c.text;
    EXPECT_EQ(c.error, error) << c.text;
  }
}

TEST(RegistryScenarioTest, FormattedTextParsesBackToTheSameKeys) {
  RegistryScenarioKey key;
  key.root = RegistryRoot::kLocalMachine;
  key.path = L"System\\Class\\0001";
  key.deny_write = true;
  std::vector<uint8_t> unterminated = EncodeRegistryString(L"raw");
  unterminated.resize(3 * sizeof(wchar_t));
  std::vector<uint8_t> odd = EncodeRegistryString(L"odd");
  odd.push_back(0x7F);  // not a whole number of units: only raw bytes can say this
  key.values = {
      {L"DriverDesc", kRegSz, EncodeRegistryString(L"Remote NDIS \"x\" \\ \u00E9")},
      {L"", kRegExpandSz, EncodeRegistryString(L"%x%")},
      {L"Multi", kRegMultiSz, EncodeRegistryMultiString({L"a", L"b"})},
      {L"NoItems", kRegMultiSz, EncodeRegistryMultiString({})},
      {L"Dword", kRegDword, EncodeRegistryDword(0xDEADBEEF)},
      {L"Qword", kRegQword, EncodeRegistryQword(42)},
      {L"ShortDword", kRegDword, {1, 2}},
      {L"Binary", kRegBinary, {0, 1, 254}},
      {L"Unterminated", kRegSz, unterminated},
      {L"Odd", kRegSz, odd},
      {L"Other", 0x1234, {9}},
  };
  RegistryScenarioKey plain;
  plain.root = RegistryRoot::kUsers;
  plain.path = L"S-1-5-18";

  const std::string text = FormatRegistryScenario({key, plain});
  std::vector<RegistryScenarioKey> parsed;
  std::string error;
  ASSERT_TRUE(ParseRegistryScenario(text, &parsed, &error)) << error << "\n" << text;
  ASSERT_EQ(2u, parsed.size()) << text;
  EXPECT_EQ(key.root, parsed[0].root);
  EXPECT_EQ(key.path, parsed[0].path);
  EXPECT_TRUE(parsed[0].deny_write);
  ASSERT_EQ(key.values.size(), parsed[0].values.size()) << text;
  for (size_t i = 0; i < key.values.size(); ++i) {
    EXPECT_EQ(key.values[i].name, parsed[0].values[i].name) << text;
    EXPECT_EQ(key.values[i].type, parsed[0].values[i].type) << text;
    EXPECT_EQ(key.values[i].data, parsed[0].values[i].data) << text;
  }
  EXPECT_EQ(RegistryRoot::kUsers, parsed[1].root);
  EXPECT_NE(std::string::npos, text.find("\"DriverDesc\"=sz:")) << text;
  EXPECT_NE(std::string::npos, text.find("\"Dword\"=dword:0xdeadbeef")) << text;
}

}  // namespace
}  // namespace platform
