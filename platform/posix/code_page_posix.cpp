// UTF-8 <-> UTF-32 conversion with Windows' rules for invalid input.
#include "platform/code_page.h"

#include <cstring>
#include <cwchar>

#include "platform/last_error.h"

namespace platform {

static_assert(sizeof(wchar_t) == 4, "the POSIX conversions assume UTF-32 wide text");

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool IsUtf8CodePage(uint32_t code_page) {
  return code_page == kCodePageAcp || code_page == kCodePageUtf8;
}

int Fail(ErrorCode code) {
  SetLastErrorCode(code);
  return 0;
}

// Decodes one code point at `in` (with `left` > 0 bytes available) and returns the bytes used.
// An ill-formed sequence gives U+FFFD and consumes its maximal valid prefix (at least one byte),
// so the byte that broke it starts the next sequence.
size_t DecodeUtf8(const unsigned char* in, size_t left, uint32_t* code_point, bool* valid) {
  const unsigned char lead = in[0];
  *valid = true;
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  }
  size_t trail = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  uint32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) lower = 0xA0;  // overlong
    if (lead == 0xED) upper = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    value = lead & 0x07;
    if (lead == 0xF0) lower = 0x90;  // overlong
    if (lead == 0xF4) upper = 0x8F;  // above U+10FFFF
  } else {
    *valid = false;
    *code_point = kReplacement;
    return 1;
  }
  size_t used = 1;
  for (size_t i = 0; i < trail; ++i) {
    if (used >= left || in[used] < lower || in[used] > upper) {
      *valid = false;
      *code_point = kReplacement;
      return used;
    }
    value = (value << 6) | (in[used] & 0x3F);
    ++used;
    lower = 0x80;
    upper = 0xBF;
  }
  *code_point = value;
  return used;
}

size_t EncodeUtf8(uint32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

bool IsScalarValue(uint32_t c) {
  return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

}  // namespace

int MultiByteToWide(uint32_t code_page, uint32_t flags, const char* source, int source_length,
                    wchar_t* output, int output_size) {
  if (!IsUtf8CodePage(code_page)) return Fail(kErrorInvalidParameter);
  if ((flags & ~kMbErrInvalidChars) != 0) return Fail(kErrorInvalidFlags);
  if (source == nullptr || source_length == 0 || source_length < -1 || output_size < 0 ||
      (output == nullptr && output_size != 0)) {
    return Fail(kErrorInvalidParameter);
  }
  const size_t length =
      source_length == -1 ? std::strlen(source) + 1 : static_cast<size_t>(source_length);
  const auto* in = reinterpret_cast<const unsigned char*>(source);
  const bool strict = (flags & kMbErrInvalidChars) != 0;
  size_t produced = 0;
  for (size_t pos = 0; pos < length;) {
    uint32_t code_point = 0;
    bool valid = true;
    pos += DecodeUtf8(in + pos, length - pos, &code_point, &valid);
    if (!valid && strict) return Fail(kErrorNoUnicodeTranslation);
    if (output_size != 0) {
      if (produced >= static_cast<size_t>(output_size)) return Fail(kErrorInsufficientBuffer);
      output[produced] = static_cast<wchar_t>(code_point);
    }
    ++produced;
    if (produced > static_cast<size_t>(INT32_MAX)) return Fail(kErrorInvalidParameter);
  }
  SetLastErrorCode(kErrorSuccess);
  return static_cast<int>(produced);
}

int WideToMultiByte(uint32_t code_page, uint32_t flags, const wchar_t* source, int source_length,
                    char* output, int output_size, const char* default_char,
                    bool* used_default_char) {
  if (!IsUtf8CodePage(code_page)) return Fail(kErrorInvalidParameter);
  if ((flags & ~kWcErrInvalidChars) != 0) return Fail(kErrorInvalidFlags);
  // Windows refuses a default character with UTF-8: there is always a replacement.
  if (default_char != nullptr || used_default_char != nullptr) {
    return Fail(kErrorInvalidParameter);
  }
  if (source == nullptr || source_length == 0 || source_length < -1 || output_size < 0 ||
      (output == nullptr && output_size != 0)) {
    return Fail(kErrorInvalidParameter);
  }
  const size_t length =
      source_length == -1 ? std::wcslen(source) + 1 : static_cast<size_t>(source_length);
  const bool strict = (flags & kWcErrInvalidChars) != 0;
  size_t produced = 0;
  for (size_t pos = 0; pos < length; ++pos) {
    uint32_t c = static_cast<uint32_t>(source[pos]);
    if (!IsScalarValue(c)) {
      if (strict) return Fail(kErrorNoUnicodeTranslation);
      c = kReplacement;
    }
    char bytes[4];
    const size_t count = EncodeUtf8(c, bytes);
    if (output_size != 0) {
      if (produced + count > static_cast<size_t>(output_size)) {
        return Fail(kErrorInsufficientBuffer);
      }
      std::memcpy(output + produced, bytes, count);
    }
    produced += count;
    if (produced > static_cast<size_t>(INT32_MAX)) return Fail(kErrorInvalidParameter);
  }
  SetLastErrorCode(kErrorSuccess);
  return static_cast<int>(produced);
}

}  // namespace platform
