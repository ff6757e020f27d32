// The system-specific halves of OutputDebugText.
#pragma once

#include <cstddef>
#include <string>

namespace platform::internal {

// Passes `line` to the debugger (or, where there is none, to stderr when asked to).
void WriteToDebugger(const char* line);
// Appends `size` bytes to the file at `path` (UTF-8) in one write, creating the file.
void AppendToFile(const std::string& path, const char* data, std::size_t size);

}  // namespace platform::internal
