// Narrow text from SDKs and the IP helper goes through the code-page conversions: any bytes
// must convert without reading or writing out of bounds, and valid UTF-8 must round-trip.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text_conversion.h"
#include "platform/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  const std::wstring wide = kuvo::NarrowToWide(text.c_str(), platform::kCodePageUtf8);
  const std::string back = kuvo::WideToNarrow(wide.c_str(), platform::kCodePageUtf8);
  if (!text.empty() && wide.empty()) std::abort();
  const bool valid =
      !text.empty() &&
      platform::MultiByteToWide(platform::kCodePageUtf8, platform::kMbErrInvalidChars, text.data(),
                                static_cast<int>(text.size()), nullptr, 0) > 0;
  if (valid && back != text) std::abort();
  return 0;
}
