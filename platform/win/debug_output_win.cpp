#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "debug_output_internal.h"

namespace platform::internal {

void WriteToDebugger(const char* line) {
  ::OutputDebugStringA(line);
}

void AppendToFile(const std::string& path, const char* data, std::size_t size) {
  const int wide_len = ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (wide_len <= 0) return;
  std::vector<wchar_t> wide(static_cast<size_t>(wide_len));
  if (::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), wide_len) <= 0) return;
  // FILE_APPEND_DATA alone makes every write land at the end of the file. Wine emulates that
  // append with a seek, so writers in other threads or modules (each module links its own copy
  // of this code) also take an exclusive lock on the file while they write.
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    file = ::CreateFileW(wide.data(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_SHARING_VIOLATION) return;
    if (file == INVALID_HANDLE_VALUE) ::Sleep(1);
  }
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED whole_file = {};
  const bool locked =
      ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole_file) != FALSE;
  // A debug line is far below 4 GiB; the clamp only keeps the cast honest.
  const DWORD length = static_cast<DWORD>(std::min<unsigned long long>(size, MAXDWORD));
  DWORD written = 0;
  ::WriteFile(file, data, length, &written, nullptr);
  if (locked) ::UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole_file);
  ::CloseHandle(file);
}

}  // namespace platform::internal
