// Inbound base64: the decoding of a received custom element's data into the payload bytes.
#pragma once

#include <cstddef>
#include <string>

namespace kuvochat {

// Decodes the standard alphabet. Decoding stops at the first "=" or at the first character
// outside the alphabet (a line break, a NUL, anything); a trailing group of n characters
// yields n - 1 bytes, so a single trailing character yields nothing. Never fails.
std::string Base64Decode(const char* text, size_t length);
inline std::string Base64Decode(const std::string& text) {
  return Base64Decode(text.data(), text.size());
}
// The same decoding, written over the text itself (no second buffer).
void Base64DecodeInPlace(std::string* text);

}  // namespace kuvochat
