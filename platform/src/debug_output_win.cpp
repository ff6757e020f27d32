#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "debug_output_internal.h"

namespace platform::internal {

void WriteToDebugger(const char* line) {
  ::OutputDebugStringA(line);
}

std::string GetEnvironment(const char* name) {
  const DWORD needed = ::GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) return std::string();
  std::vector<char> buffer(needed + 1, '\0');
  const DWORD got = ::GetEnvironmentVariableA(name, buffer.data(), needed);
  if (got == 0 || got >= needed) return std::string();
  return std::string(buffer.data(), got);
}

void AppendToFile(const std::string& path, const char* data, std::size_t size) {
  const int wide_len = ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (wide_len <= 0) return;
  std::vector<wchar_t> wide(static_cast<size_t>(wide_len));
  if (::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), wide_len) <= 0) return;
  // FILE_APPEND_DATA alone makes every write land at the end of the file as one piece.
  HANDLE file = ::CreateFileW(wide.data(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  // A debug line is far below 4 GiB; the clamp only keeps the cast honest.
  const DWORD length = static_cast<DWORD>(std::min<unsigned long long>(size, MAXDWORD));
  DWORD written = 0;
  ::WriteFile(file, data, length, &written, nullptr);
  ::CloseHandle(file);
}

}  // namespace platform::internal
