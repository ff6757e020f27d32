// The program's start-up: logging, the adapter check and repair (or the elevated relaunch),
// then the COM module, whose result is the exit code.
#pragma once

#include <string>

#include "platform/system.h"

namespace assist {

constexpr int kTraceId = 22521;
constexpr int kTraceLevel = 2;
constexpr wchar_t kLogFileName[] = L"KuvoPhone.log";

// Runs on the adapter, process and COM module services of `system` (platform/program_entry.h).
// `arguments` are the command-line arguments without the program name, `show` the show command;
// both are passed on unchanged to an elevated relaunch.
int RunKuvoAssist(const platform::System& system, const std::wstring& arguments, int show);

// The log file: the log folder followed by "\\KuvoPhone.log" (the platform's separator).
std::wstring LogFilePath();
// The relaunch record (elevation.h) in the product's data folder.
std::wstring RelaunchRecordPath();

}  // namespace assist
