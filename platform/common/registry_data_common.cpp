#include "platform/registry_data.h"

#include <cstring>

namespace platform {

namespace {

void AppendText(const std::wstring& text, std::vector<uint8_t>* bytes) {
  const size_t start = bytes->size();
  bytes->resize(start + (text.size() + 1) * sizeof(wchar_t), 0);
  if (!text.empty()) std::memcpy(bytes->data() + start, text.data(), text.size() * sizeof(wchar_t));
}

// The whole wchar_t units in the data; copied, because registry buffers need not be aligned.
std::wstring Units(const void* data, size_t size) {
  std::wstring units(size / sizeof(wchar_t), L'\0');
  if (data != nullptr && !units.empty()) {
    std::memcpy(&units[0], data, units.size() * sizeof(wchar_t));
  }
  return units;
}

}  // namespace

std::vector<uint8_t> EncodeRegistryString(const std::wstring& text) {
  std::vector<uint8_t> bytes;
  AppendText(text, &bytes);
  return bytes;
}

std::vector<uint8_t> EncodeRegistryMultiString(const std::vector<std::wstring>& texts) {
  std::vector<uint8_t> bytes;
  for (const std::wstring& text : texts) AppendText(text, &bytes);
  AppendText(std::wstring(), &bytes);
  return bytes;
}

std::vector<uint8_t> EncodeRegistryDword(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

std::vector<uint8_t> EncodeRegistryQword(uint64_t value) {
  std::vector<uint8_t> bytes(8);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

std::wstring DecodeRegistryString(const void* data, size_t size) {
  std::wstring text = Units(data, size);
  const size_t end = text.find(L'\0');
  if (end != std::wstring::npos) text.resize(end);
  return text;
}

std::vector<std::wstring> DecodeRegistryMultiString(const void* data, size_t size) {
  const std::wstring units = Units(data, size);
  std::vector<std::wstring> texts;
  size_t start = 0;
  while (start < units.size()) {
    size_t end = units.find(L'\0', start);
    if (end == std::wstring::npos) end = units.size();
    if (end == start) break;  // the list's final terminator
    texts.push_back(units.substr(start, end - start));
    start = end + 1;
  }
  return texts;
}

bool DecodeRegistryDword(const void* data, size_t size, uint32_t* value) {
  if (data == nullptr || size < 4) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  *value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

}  // namespace platform
