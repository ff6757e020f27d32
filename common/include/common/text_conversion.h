// Conversions between wide text and narrow text in a code page. Callable from any thread.
//
// No error is reported: a null or empty text, an unsupported code page or any other failure
// gives an empty result. Invalid input is converted as the system does with flags 0 (U+FFFD).
#pragma once

#include <cstdint>
#include <string>

namespace kuvo {

// The whole null-terminated `text` (without its terminator) in `code_page`.
std::string WideToNarrow(const wchar_t* text, uint32_t code_page);
std::wstring NarrowToWide(const char* text, uint32_t code_page);

}  // namespace kuvo
