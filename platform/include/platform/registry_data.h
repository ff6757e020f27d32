// Encoding and decoding registry value data (portable; no registry calls).
//
// Registry data comes from outside: decoding never reads past the given size, accepts a missing
// terminator, and ignores a trailing partial wchar_t.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A read limit stated in bytes of UTF-16 text (as Windows code states it), scaled to the
// platform's wchar_t so that it admits the same number of characters everywhere: the same
// number on Windows, twice it where wchar_t has four bytes.
constexpr uint32_t WideByteLimit(uint32_t utf16_bytes) {
  return static_cast<uint32_t>(utf16_bytes * sizeof(wchar_t) / 2);
}

// REG_SZ / REG_EXPAND_SZ data: the text and one terminator.
std::vector<uint8_t> EncodeRegistryString(const std::wstring& text);
// REG_MULTI_SZ data: each text with its terminator, then one more terminator. An empty list is
// a single terminator. Texts must not contain L'\0' (they would split).
std::vector<uint8_t> EncodeRegistryMultiString(const std::vector<std::wstring>& texts);
// REG_DWORD data: four bytes, little-endian.
std::vector<uint8_t> EncodeRegistryDword(uint32_t value);
// REG_QWORD data: eight bytes, little-endian.
std::vector<uint8_t> EncodeRegistryQword(uint64_t value);

// The text in the first `size` bytes of `data`, up to the first terminator if there is one.
std::wstring DecodeRegistryString(const void* data, size_t size);
// The texts of REG_MULTI_SZ data: split at each terminator, ending at an empty text or at the
// end of the data.
std::vector<std::wstring> DecodeRegistryMultiString(const void* data, size_t size);
// A REG_DWORD's value; false when fewer than four bytes are given.
bool DecodeRegistryDword(const void* data, size_t size, uint32_t* value);

}  // namespace platform
