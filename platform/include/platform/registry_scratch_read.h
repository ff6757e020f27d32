// Reading registry data so that a buffer that is too small stays as it was (portable, so the
// rule is tested on every platform; the Win32 registry reads go through it).
//
// Windows leaves the caller's buffer undefined when it answers kErrorMoreData: it may hold part
// of the data. The seam promises the caller's buffer unchanged, so the system writes into a
// scratch buffer of the caller's room and only a successful read is copied out.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/error_codes.h"

namespace platform {

// One read of the system's: fills at most `*size` bytes of `buffer` (null for a size query) and
// sets `*size` to the size of the data (null when the caller wants no size).
using RegistryDataRead = std::function<ErrorCode(uint8_t* buffer, uint32_t* size)>;

// Calls `read` with a scratch buffer of `*size` bytes in place of `data`, and copies the data to
// `data` only when the read succeeded. A null `data` (or a null `size`) goes to `read` as it is.
// kErrorNotEnoughMemory, without calling `read`, when no scratch buffer can be had.
ErrorCode ReadRegistryDataThroughScratch(void* data, uint32_t* size, const RegistryDataRead& read);

}  // namespace platform
