#include "base64_decode.h"

#include <cstdint>

namespace kuvochat {

namespace {
// Sextet of every byte value, -1 outside the alphabet. A table rather than range tests: the
// branches of range tests mispredict on payload text, which is close to random.
struct SextetTable {
  int8_t value[256];
  constexpr SextetTable() : value() {
    for (int i = 0; i < 256; ++i) value[i] = -1;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
      value[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
  }
};
constexpr SextetTable kSextets;

int Sextet(unsigned char c) {
  return kSextets.value[c];
}
}  // namespace

std::string Base64Decode(const char* text, size_t length) {
  std::string out;
  if (text == nullptr) return out;
  out.reserve(length / 4 * 3 + 3);
  uint32_t group = 0;
  int count = 0;
  for (size_t i = 0; i < length; ++i) {
    const int value = Sextet(static_cast<unsigned char>(text[i]));
    if (value < 0) break;  // "=" and every other outsider end the data
    group = (group << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      out.push_back(static_cast<char>((group >> 16) & 0xFF));
      out.push_back(static_cast<char>((group >> 8) & 0xFF));
      out.push_back(static_cast<char>(group & 0xFF));
      group = 0;
      count = 0;
    }
  }
  // A partial group of n characters carries n - 1 whole bytes.
  if (count == 2) {
    out.push_back(static_cast<char>((group >> 4) & 0xFF));
  } else if (count == 3) {
    out.push_back(static_cast<char>((group >> 10) & 0xFF));
    out.push_back(static_cast<char>((group >> 2) & 0xFF));
  }
  return out;
}

}  // namespace kuvochat
