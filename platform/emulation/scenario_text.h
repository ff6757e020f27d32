// Text of the emulation's scenario files: UTF-8, and wide text inside the emulation.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// Without the spaces, tabs and carriage returns at either end.
std::string Trim(const std::string& text);
// "yes", "1" or "true"; "no", "0" or "false". False for anything else.
bool ParseYesNo(const std::string& text, bool* value);
// Decimal digits only, at most nine of them.
bool ParseNumber(const std::string& text, uint32_t* value);

}  // namespace platform
