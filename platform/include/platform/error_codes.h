// Error codes of the OS seam. Every seam call reports failures with the Win32 value, on every
// platform, so component code logs and compares the same numbers everywhere.
#pragma once

#include <cstdint>

namespace platform {

using ErrorCode = uint32_t;

constexpr ErrorCode kErrorSuccess = 0;
constexpr ErrorCode kErrorFileNotFound = 2;
constexpr ErrorCode kErrorPathNotFound = 3;
constexpr ErrorCode kErrorAccessDenied = 5;
constexpr ErrorCode kErrorInvalidHandle = 6;
constexpr ErrorCode kErrorNotEnoughMemory = 8;
constexpr ErrorCode kErrorWriteProtect = 19;
constexpr ErrorCode kErrorGenFailure = 31;
constexpr ErrorCode kErrorFileExists = 80;
constexpr ErrorCode kErrorInvalidParameter = 87;
constexpr ErrorCode kErrorDiskFull = 112;
constexpr ErrorCode kErrorInsufficientBuffer = 122;
constexpr ErrorCode kErrorBadPathname = 161;
constexpr ErrorCode kErrorAlreadyExists = 183;
constexpr ErrorCode kErrorFilenameExcedRange = 206;
constexpr ErrorCode kErrorMoreData = 234;
constexpr ErrorCode kErrorNoMoreItems = 259;
constexpr ErrorCode kErrorInvalidFlags = 1004;
constexpr ErrorCode kErrorKeyDeleted = 1018;
constexpr ErrorCode kErrorNoUnicodeTranslation = 1113;

}  // namespace platform
