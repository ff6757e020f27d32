#include "registry_text.h"

#include "platform/registry_data.h"

namespace assist {

bool ReadRegistryText(platform::MachineRegistry& registry, platform::RegistryKey key,
                      const wchar_t* name, uint32_t utf16_byte_limit, std::wstring* text) {
  const uint32_t limit = platform::WideByteLimit(utf16_byte_limit);
  std::vector<uint8_t> data(limit);
  uint32_t type = platform::kRegNone;
  uint32_t size = limit;
  if (registry.QueryValue(key, name, &type, data.data(), &size) != platform::kErrorSuccess ||
      size > limit) {
    return false;
  }
  if (type == platform::kRegSz || type == platform::kRegExpandSz) {
    *text = platform::DecodeRegistryString(data.data(), size);
    return true;
  }
  if (type == platform::kRegMultiSz) {
    const std::vector<std::wstring> texts = platform::DecodeRegistryMultiString(data.data(), size);
    *text = texts.empty() ? std::wstring() : texts.front();
    return true;
  }
  return false;
}

namespace {

platform::ErrorCode Write(platform::MachineRegistry& registry, platform::RegistryKey key,
                          const wchar_t* name, uint32_t type, const std::vector<uint8_t>& data) {
  return registry.SetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size()));
}

}  // namespace

platform::ErrorCode WriteRegistryDword(platform::MachineRegistry& registry,
                                       platform::RegistryKey key, const wchar_t* name,
                                       uint32_t value) {
  return Write(registry, key, name, platform::kRegDword, platform::EncodeRegistryDword(value));
}

platform::ErrorCode WriteRegistryString(platform::MachineRegistry& registry,
                                        platform::RegistryKey key, const wchar_t* name,
                                        const std::wstring& text) {
  return Write(registry, key, name, platform::kRegSz, platform::EncodeRegistryString(text));
}

platform::ErrorCode WriteRegistryMultiString(platform::MachineRegistry& registry,
                                             platform::RegistryKey key, const wchar_t* name,
                                             const std::vector<std::wstring>& texts) {
  return Write(registry, key, name, platform::kRegMultiSz,
               platform::EncodeRegistryMultiString(texts));
}

}  // namespace assist
