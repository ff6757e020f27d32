#include "platform/registry_scratch_read.h"

#include <cstring>
#include <memory>
#include <new>

namespace platform {

ErrorCode ReadRegistryDataThroughScratch(void* data, uint32_t* size, const RegistryDataRead& read) {
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
