// Paths are wide in the seam and UTF-8 file names here.
#include "platform/file_system.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/code_page.h"
#include "platform/last_error.h"

namespace platform {

const wchar_t kPathSeparator = L'/';

namespace {

bool ToFileName(const wchar_t* path, std::string* name) {
  const int needed = WideToMultiByte(kCodePageUtf8, 0, path, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  std::string buffer(static_cast<size_t>(needed), '\0');
  const int written =
      WideToMultiByte(kCodePageUtf8, 0, path, -1, &buffer[0], needed, nullptr, nullptr);
  if (written != needed) return false;
  buffer.resize(static_cast<size_t>(written) - 1);  // the terminator
  *name = std::move(buffer);
  return true;
}

bool IsFolder(const std::string& name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// mkdir for one level; a folder that is already there (made by someone else meanwhile, too)
// counts as made.
ErrorCode MakeOneFolder(const std::string& name) {
  if (::mkdir(name.c_str(), 0777) == 0) return kErrorSuccess;
  const int error = errno;
  if (error == EEXIST) return IsFolder(name) ? kErrorSuccess : kErrorPathNotFound;
  return ErrorFromErrno(error);
}

}  // namespace

bool PathExists(const wchar_t* path) {
  std::string name;
  if (path == nullptr || !ToFileName(path, &name) || name.empty()) return false;
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0;
}

ErrorCode CreateFolderTree(const wchar_t* path) {
  std::string name;
  if (path == nullptr || !ToFileName(path, &name) || name.empty() || name[0] != '/') {
    return kErrorBadPathname;
  }
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) return kErrorAlreadyExists;

  for (size_t slash = name.find('/', 1); slash != std::string::npos;
       slash = name.find('/', slash + 1)) {
    if (name[slash - 1] == '/') continue;  // "a//b"
    const ErrorCode result = MakeOneFolder(name.substr(0, slash));
    if (result != kErrorSuccess) return result;
  }
  if (::mkdir(name.c_str(), 0777) == 0) return kErrorSuccess;
  return ErrorFromErrno(errno);
}

}  // namespace platform
