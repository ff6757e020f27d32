// The identity and resources of the KuvoAssist COM module. The Windows build embeds them from
// assist/res; these constants are the same values for the code that needs them as text and for
// systems without resources.
#pragma once

#include <cstdint>

namespace assist {

constexpr wchar_t kModuleLibid[] = L"{5A169E82-FE20-40B0-B906-B73B91D1FFAF}";
constexpr wchar_t kModuleAppId[] = L"{CE03B2EF-4500-4B5A-928F-3B9C7AEB1D8A}";
constexpr wchar_t kTypeLibraryName[] = L"KuvoAssistLibW";
constexpr uint16_t kTypeLibraryMajor = 1;
constexpr uint16_t kTypeLibraryMinor = 0;

constexpr wchar_t kRegistryResourceType[] = L"REGISTRY";
constexpr uint16_t kRegistryScriptId = 101;
// The script creates and removes no keys.
constexpr char kRegistryScript[] = "HKCR\r\n{\r\n}\r\n";
constexpr wchar_t kTypeLibraryResourceType[] = L"TYPELIB";
constexpr uint16_t kTypeLibraryId = 1;
constexpr uint16_t kProjectNameId = 100;
constexpr wchar_t kProjectName[] = L"KuvoAssist";

}  // namespace assist
