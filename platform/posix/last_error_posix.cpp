#include "platform/last_error.h"

#include <cerrno>

namespace platform {

namespace {
thread_local ErrorCode g_last_error = kErrorSuccess;
}  // namespace

ErrorCode GetLastErrorCode() {
  return g_last_error;
}
void SetLastErrorCode(ErrorCode code) {
  g_last_error = code;
}

ErrorCode ErrorFromErrno(int error) {
  switch (error) {
    case EEXIST:
      return kErrorAlreadyExists;
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
    case EROFS:
      return kErrorWriteProtect;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case ENOSPC:
      return kErrorDiskFull;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace platform
