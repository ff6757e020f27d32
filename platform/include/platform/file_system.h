// Path tests and folder creation.
//
// Paths are wide; on POSIX they are converted to UTF-8 file names. Callable from any thread.
#pragma once

#include <string>

#include "platform/error_codes.h"

namespace platform {

// The separator between path components: '\\' on Windows, '/' elsewhere.
extern const wchar_t kPathSeparator;

// `base`, the separator, then `name` (the "%s\\name" of Windows paths, with this platform's
// separator). No separator is removed or collapsed, so an empty base gives a rooted name.
std::wstring JoinPath(const std::wstring& base, const std::wstring& name);

// PathFileExistsW: true when a file or folder of that path exists. False for null.
bool PathExists(const wchar_t* path);

// SHCreateDirectoryExW: creates the folder and every missing parent.
// kErrorSuccess when created; kErrorAlreadyExists when the path already exists;
// kErrorBadPathname for a null or relative path; otherwise the failure's Win32 code
// (kErrorPathNotFound when a parent is a file, kErrorAccessDenied, ...).
ErrorCode CreateFolderTree(const wchar_t* path);

}  // namespace platform
