#include "sdk_text.h"

#include <cstring>
#include <new>
#include <vector>

namespace kuvochat {

bool ReadSdkText(SdkTextGetter getter, void* handle, SdkTextKind kind, std::string* out,
                 uint32_t* length) {
  out->clear();
  uint32_t needed = 0;
  if (getter(handle, nullptr, &needed) != -2) return false;
  if (needed > kMaxSdkTextLength) return false;
  if (length) *length = needed;
  std::vector<char> buffer;
  try {
    buffer.assign(static_cast<size_t>(needed) + 1, '\0');
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint32_t in_out = needed + 1;
  getter(handle, buffer.data(), &in_out);
  if (kind == SdkTextKind::kBytes) {
    out->assign(buffer.data(), needed);
  } else {
    // Bounded by the buffer: an SDK that filled every byte still leaves no overrun.
    out->assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }
  return true;
}

}  // namespace kuvochat
