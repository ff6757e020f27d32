// Inbound base64 on arbitrary custom-element data: never more bytes than the text can hold, and
// whatever the library encodes decodes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base64_decode.h"
#include "base64_encode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string decoded = kuvochat::Base64Decode(text);
  if (decoded.size() > (size / 4) * 3 + 2) std::abort();

  const std::string encoded = kuvochat::Base64Encode(text);
  if (encoded.size() != ((size + 2) / 3) * 4) std::abort();
  if (kuvochat::Base64Decode(encoded) != text) std::abort();
  return 0;
}
