// Code-page conversion between wide text and narrow text, in Windows' calling shape
// (MultiByteToWideChar / WideCharToMultiByte).
//
// Both functions return the number of units written, or, when the output size is 0, the number
// of units needed. They return 0 on failure and set the last error (platform/last_error.h):
//   kErrorInsufficientBuffer    the output buffer is too small (its content is then unspecified);
//   kErrorInvalidParameter      null input, input length 0 or below -1, null output with a
//                               non-zero size, negative output size, unsupported code page,
//                               default-character arguments given with UTF-8;
//   kErrorInvalidFlags          flags the code page does not accept;
//   kErrorNoUnicodeTranslation  invalid input with kMbErrInvalidChars / kWcErrInvalidChars.
// A source length of -1 means a null-terminated input, converted together with its terminator.
//
// Wide text is UTF-16 on Windows and UTF-32 elsewhere. Outside Windows the supported code pages
// are kCodePageAcp (the process code page, UTF-8 there) and kCodePageUtf8. As on Windows with
// flags 0, each invalid UTF-8 sequence (stray or truncated bytes, overlong forms, encoded
// surrogates, values above U+10FFFF) becomes U+FFFD, and so does every wide unit that is not a
// Unicode scalar value (a lone surrogate, or a value above U+10FFFF).
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kCodePageAcp = 0;
constexpr uint32_t kCodePageUtf8 = 65001;

constexpr uint32_t kMbErrInvalidChars = 0x08;  // MB_ERR_INVALID_CHARS
constexpr uint32_t kWcErrInvalidChars = 0x80;  // WC_ERR_INVALID_CHARS

int MultiByteToWide(uint32_t code_page, uint32_t flags, const char* source, int source_length,
                    wchar_t* output, int output_size);

int WideToMultiByte(uint32_t code_page, uint32_t flags, const wchar_t* source, int source_length,
                    char* output, int output_size, const char* default_char,
                    bool* used_default_char);

}  // namespace platform
