#include "platform/shell_folders.h"

#include <shlobj.h>
#include <windows.h>

namespace platform {

std::wstring GetShellDocumentsFolder() {
  // The shell writes at most MAX_PATH characters; the larger zero-filled buffer keeps the
  // result terminated whatever it does.
  wchar_t path[520] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::wstring();
  }
  path[519] = L'\0';
  return path;
}

}  // namespace platform
