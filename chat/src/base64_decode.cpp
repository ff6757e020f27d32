#include "base64_decode.h"

#include <algorithm>
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

// The sextet of every byte value already shifted to its place in a group of four, so that a
// group is four lookups OR-ed together; an outsider sets the top bit, which no sextet reaches.
constexpr uint32_t kOutsider = 0x80000000u;
struct PlacedTable {
  uint32_t value[4][256];
  constexpr PlacedTable() : value() {
    for (int place = 0; place < 4; ++place) {
      for (int c = 0; c < 256; ++c) {
        const int sextet = kSextets.value[c];
        value[place][c] =
            sextet < 0 ? kOutsider : static_cast<uint32_t>(sextet) << (6 * (3 - place));
      }
    }
  }
};
constexpr PlacedTable kPlaced;

// Decodes `length` characters at `text` into `out`, which has room for length / 4 * 3 + 2
// bytes, and gives the number of bytes written. `out` may be `text`: every group is read whole
// before its (fewer) bytes are written, and the writes never pass the reads.
size_t DecodeInto(const char* text, size_t length, char* out) {
  const auto* src = reinterpret_cast<const unsigned char*>(text);
  char* dst = out;
  size_t i = 0;
  // Whole groups of four alphabet characters; a group holding an outsider is left to the loop
  // below, which stops at the outsider.
  for (; i + 4 <= length; i += 4) {
    const uint32_t group = kPlaced.value[0][src[i]] | kPlaced.value[1][src[i + 1]] |
                           kPlaced.value[2][src[i + 2]] | kPlaced.value[3][src[i + 3]];
    if (group & kOutsider) break;
    dst[0] = static_cast<char>((group >> 16) & 0xFF);
    dst[1] = static_cast<char>((group >> 8) & 0xFF);
    dst[2] = static_cast<char>(group & 0xFF);
    dst += 3;
  }
  // Fewer than four characters, or a group with an outsider: never a whole group here.
  uint32_t group = 0;
  int count = 0;
  for (; i < length && count < 4; ++i) {
    const int value = Sextet(src[i]);
    if (value < 0) break;  // "=" and every other outsider end the data
    group = (group << 6) | static_cast<uint32_t>(value);
    ++count;
  }
  // A partial group of n characters carries n - 1 whole bytes.
  if (count == 2) {
    *dst++ = static_cast<char>((group >> 4) & 0xFF);
  } else if (count == 3) {
    *dst++ = static_cast<char>((group >> 10) & 0xFF);
    *dst++ = static_cast<char>((group >> 2) & 0xFF);
  }
  return static_cast<size_t>(dst - out);
}
}  // namespace

std::string Base64Decode(const char* text, size_t length) {
  std::string out;
  if (text == nullptr) return out;
  // Sized once for the most the text can carry (a trailing partial group gives at most two
  // bytes), written through a pointer and cut to what was decoded: no growth checks per byte.
  out.resize(length / 4 * 3 + 2);
  out.resize(DecodeInto(text, length, &out[0]));
  return out;
}

void Base64DecodeInPlace(std::string* text) {
  const size_t length = text->size();
  // The output is never longer than the input but for the two bytes of room DecodeInto asks.
  text->resize(std::max(length, length / 4 * 3 + 2));
  text->resize(DecodeInto(text->data(), length, &(*text)[0]));
}

}  // namespace kuvochat
