// Conversions between wide text (UTF-16 on Windows, UTF-32 elsewhere) and UTF-8.
//
// Invalid input never fails a conversion: each bad unit or byte becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>

namespace kuvotrace {

std::string WideToUtf8(const wchar_t* text, std::size_t length);
inline std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8(text.data(), text.size());
}
std::wstring Utf8ToWide(const char* text, std::size_t length);

}  // namespace kuvotrace
