// Outbound base64 (RFC 4648 standard alphabet, "=" padding, no line breaks): the form in which
// every payload rides in the data of the one custom element of a sent message.
#pragma once

#include <cstddef>
#include <string>

namespace kuvochat {

// Encodes size bytes at data. An empty input gives an empty text.
std::string Base64Encode(const void* data, size_t size);
inline std::string Base64Encode(const std::string& bytes) {
  return Base64Encode(bytes.data(), bytes.size());
}

}  // namespace kuvochat
