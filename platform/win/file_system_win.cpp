#include "platform/file_system.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

namespace platform {

const wchar_t kPathSeparator = L'\\';

bool PathExists(const wchar_t* path) {
  return path != nullptr && ::PathFileExistsW(path) != FALSE;
}

ErrorCode CreateFolderTree(const wchar_t* path) {
  if (path == nullptr) return kErrorBadPathname;
  return static_cast<ErrorCode>(::SHCreateDirectoryExW(nullptr, path, nullptr));
}

}  // namespace platform
