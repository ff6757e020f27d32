#include "sdk_text.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace kuvochat {

bool ReadSdkText(SdkTextGetter getter, void* handle, SdkTextKind kind, std::string* out,
                 uint32_t* length) {
  out->clear();
  uint32_t needed = 0;
  if (getter(handle, nullptr, &needed) != -2) return false;
  if (needed > kMaxSdkTextLength) return false;
  if (length) *length = needed;
  // The SDK writes straight into the string (zeroed, one byte longer than the reported
  // length), which is then cut to the text: one allocation and no copy.
  try {
    out->resize(static_cast<size_t>(needed) + 1);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  uint32_t in_out = needed + 1;
  getter(handle, &(*out)[0], &in_out);
  if (kind == SdkTextKind::kBytes) {
    out->resize(needed);
  } else {
    // Bounded by the buffer: an SDK that filled every byte still leaves no overrun.
    out->resize(strnlen(out->data(), static_cast<size_t>(needed) + 1));
  }
  return true;
}

}  // namespace kuvochat
