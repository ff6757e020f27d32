// Texts of KuvoDesk: UTF-8 and wide conversions, the host event texts.
#pragma once

#include <string>

namespace kuvo_desk {

std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);
// "%s\n%s": the client address, a line feed, the session name.
std::wstring ReadyText(const std::string& address, const std::string& session_name);
// "Kuvo远程协助（#%s#）" with the display name, or "Kuvo远程协助" when it is empty.
std::wstring SessionWindowTitle(const std::string& display_name);

}  // namespace kuvo_desk
