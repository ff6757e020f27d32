// Reading and writing the registry values of the adapter repair through the injected registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/machine_registry.h"

namespace assist {

// Reads a REG_SZ / REG_EXPAND_SZ value, or the first string of a REG_MULTI_SZ one, of at most
// `utf16_byte_limit` bytes of UTF-16 text (the same number of characters on every platform).
// A longer value, one of another type or a failed read counts as absent: false.
bool ReadRegistryText(platform::MachineRegistry& registry, platform::RegistryKey key,
                      const wchar_t* name, uint32_t utf16_byte_limit, std::wstring* text);

platform::ErrorCode WriteRegistryDword(platform::MachineRegistry& registry,
                                       platform::RegistryKey key, const wchar_t* name,
                                       uint32_t value);
platform::ErrorCode WriteRegistryString(platform::MachineRegistry& registry,
                                        platform::RegistryKey key, const wchar_t* name,
                                        const std::wstring& text);
platform::ErrorCode WriteRegistryMultiString(platform::MachineRegistry& registry,
                                             platform::RegistryKey key, const wchar_t* name,
                                             const std::vector<std::wstring>& texts);

}  // namespace assist
