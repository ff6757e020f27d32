// Reading a text or byte string from the SDK under its length protocol: ask with no buffer for
// the length (the answer must be -2), then fetch into a zeroed buffer one byte longer.
#pragma once

#include <cstdint>
#include <string>

namespace kuvochat {

using SdkTextGetter = int (*)(void* handle, char* buf, uint32_t* len);

// Longest text accepted from the SDK. Custom data is limited to a few kilobytes by the vendor;
// an answer far beyond that is a broken length, refused before anything is allocated.
constexpr uint32_t kMaxSdkTextLength = 1u << 20;

enum class SdkTextKind {
  kText,   // up to the first zero byte
  kBytes,  // exactly the reported length
};

// False when the size query does not answer -2, the length is above kMaxSdkTextLength or the
// buffer cannot be had. `*length` receives the reported length when not null.
bool ReadSdkText(SdkTextGetter getter, void* handle, SdkTextKind kind, std::string* out,
                 uint32_t* length = nullptr);

}  // namespace kuvochat
