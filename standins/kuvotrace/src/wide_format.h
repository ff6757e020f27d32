// A wide printf with Microsoft's meaning of the conversions, the same on every system.
//
// In a wide format `%s` takes a wide string and `%S` a narrow (UTF-8) one; `%hs` is narrow,
// `%ls` and `%ws` wide; `%c` is a wide character and `%C` / `%hc` a narrow one. Integers take
// the size prefixes hh h l ll L j z t I I32 I64 (a `long` has the system's own size); floating
// values print through the C library. Flags `- + space # 0`, widths and precisions (also `*`),
// `%p` and `%%` work as in the C library.
//
// Bad formats never crash: a null format prints "(null)", a null string argument prints
// "(null)", and at the first malformed or unknown conversion (a trailing `%`, an unknown letter,
// `%n`, a width or precision above kMaxField) the rest of the format is copied as it stands and
// no further argument is read.
#pragma once

#include <cstdarg>
#include <string>

namespace kuvotrace {

constexpr int kMaxField = 65536;

// Consumes `args` (the caller's va_list is left indeterminate, as with vswprintf).
std::wstring FormatWide(const wchar_t* format, va_list args);

}  // namespace kuvotrace
