// Whether the program runs elevated, and its elevated relaunch.
#pragma once

#include <string>

#include "platform/process_services.h"

namespace assist {

// The relaunch's once-only marker: a named event that lives as long as the instance that
// started the relaunch.
constexpr wchar_t kRelaunchEventName[] = L"{1EDD4F3B-4516-418E-904B-651616C37827}";

// False before Windows Vista, when the token cannot be opened, or when TokenElevation does not
// answer exactly 4 bytes.
bool IsRunAsAdmin(platform::ProcessServices& process);

// Starts the program again with the "runas" verb, `arguments` and `show`, once per marker: false
// without launching when the marker already exists (or cannot be made), and when the user
// declined (1223) or the file was not found (2). Any other failure counts as a launch that may
// have been made. Pauses 100 ms after a launch.
bool RunAsAdmin(platform::ProcessServices& process, const std::wstring& arguments, int show);

}  // namespace assist
