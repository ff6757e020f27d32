// The calling thread's last-error value (GetLastError / SetLastError).
//
// Seam calls that answer in Windows' shape (a count, with the reason in the last error) set it
// on every platform; on Windows it is the system's own value, elsewhere a thread-local one.
#pragma once

#include "platform/error_codes.h"

namespace platform {

ErrorCode GetLastErrorCode();
void SetLastErrorCode(ErrorCode code);

#if !defined(_WIN32)
// The Win32 error code that stands for an errno value.
ErrorCode ErrorFromErrno(int error);
#endif

}  // namespace platform
