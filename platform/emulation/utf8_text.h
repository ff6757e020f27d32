// UTF-8 and wide text inside the emulation (scenario texts are UTF-8).
#pragma once

#include <string>

namespace platform {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace platform
