// Reading registry data so that a buffer that is too small stays as it was (portable, so the
// rule is tested on every platform; the Win32 registry reads go through it).
//
// Windows leaves the caller's buffer undefined when it answers kErrorMoreData: it may hold part
// of the data. The seam promises the caller's buffer unchanged, so the system writes into a
// scratch buffer of the caller's room and only a successful read is copied out.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/error_codes.h"

namespace platform {

// Calls `read(buffer, size)`, one read of the system's that fills at most `*size` bytes of
// `buffer` (null for a size query) and sets `*size` to the size of the data, with a scratch
// buffer of `*size` bytes in place of `data`, and copies the data to `data` only when the read
// succeeded. A null `data` (or a null `size`) goes to `read` as it is. kErrorNotEnoughMemory,
// without calling `read`, when no scratch buffer can be had.
template <typename Read>
ErrorCode ReadRegistryDataThroughScratch(void* data, uint32_t* size, Read&& read) {
  if (data == nullptr || size == nullptr) return read(static_cast<uint8_t*>(data), size);
  const uint32_t room = *size;
  // One byte at least, so that a zero room still passes a buffer (and not a size query).
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[room != 0 ? room : 1]);
  if (scratch == nullptr) return kErrorNotEnoughMemory;
  const ErrorCode result = read(scratch.get(), size);
  if (result == kErrorSuccess) std::memcpy(data, scratch.get(), *size < room ? *size : room);
  return result;
}

}  // namespace platform
