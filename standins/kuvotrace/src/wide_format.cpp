#include "wide_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "utf8.h"

namespace kuvotrace {

namespace {

enum class Size {
  kDefault,
  kChar,
  kShort,
  kLong,
  kLongLong,
  kLongDouble,
  kInt32,
  kInt64,
  kSize,
  kIntMax,
  kPtrDiff,
  kWide
};

struct Field {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool alt = false;
  bool zero = false;
  int width = 0;
  int precision = -1;  // -1: none
  Size size = Size::kDefault;
  wchar_t conversion = 0;
};

class Formatter {
 public:
  Formatter(const wchar_t* format, va_list* args) : p_(format), args_(args) {}

  std::wstring Run() {
    while (*p_) {
      if (*p_ != L'%') {
        out_ += *p_++;
        continue;
      }
      const wchar_t* start = p_;
      ++p_;
      Field field;
      if (!ParseField(&field) || !Convert(field)) {
        out_ += start;  // malformed from here on: keep the text, read no more arguments
        break;
      }
    }
    return std::move(out_);
  }

 private:
  // Reads digits into *value; false when the number exceeds kMaxField.
  bool ParseNumber(int* value) {
    long long n = 0;
    while (*p_ >= L'0' && *p_ <= L'9') {
      n = n * 10 + (*p_ - L'0');
      if (n > kMaxField) return false;
      ++p_;
    }
    *value = static_cast<int>(n);
    return true;
  }

  bool ParseField(Field* field) {
    for (;; ++p_) {
      if (*p_ == L'-')
        field->left = true;
      else if (*p_ == L'+')
        field->plus = true;
      else if (*p_ == L' ')
        field->space = true;
      else if (*p_ == L'#')
        field->alt = true;
      else if (*p_ == L'0')
        field->zero = true;
      else
        break;
    }
    if (*p_ == L'*') {
      ++p_;
      const long long width = va_arg(*args_, int);
      if (width < 0) field->left = true;
      const long long magnitude = width < 0 ? -width : width;
      if (magnitude > kMaxField) return false;
      field->width = static_cast<int>(magnitude);
    } else if (!ParseNumber(&field->width)) {
      return false;
    }
    if (*p_ == L'.') {
      ++p_;
      if (*p_ == L'*') {
        ++p_;
        const int precision = va_arg(*args_, int);
        if (precision > kMaxField) return false;
        field->precision = precision < 0 ? -1 : precision;
      } else if (!ParseNumber(&field->precision)) {
        return false;
      }
    }
    switch (*p_) {
      case L'h':
        ++p_;
        if (*p_ == L'h')
          ++p_, field->size = Size::kChar;
        else
          field->size = Size::kShort;
        break;
      case L'l':
        ++p_;
        if (*p_ == L'l')
          ++p_, field->size = Size::kLongLong;
        else
          field->size = Size::kLong;
        break;
      case L'L':
        ++p_, field->size = Size::kLongDouble;
        break;
      case L'w':
        ++p_, field->size = Size::kWide;
        break;
      case L'j':
        ++p_, field->size = Size::kIntMax;
        break;
      case L'z':
        ++p_, field->size = Size::kSize;
        break;
      case L't':
        ++p_, field->size = Size::kPtrDiff;
        break;
      case L'I':
        ++p_;
        if (p_[0] == L'6' && p_[1] == L'4')
          p_ += 2, field->size = Size::kInt64;
        else if (p_[0] == L'3' && p_[1] == L'2')
          p_ += 2, field->size = Size::kInt32;
        else
          field->size = Size::kSize;
        break;
      default:
        break;
    }
    if (!*p_) return false;
    field->conversion = *p_++;
    return true;
  }

  bool Convert(const Field& field) {
    switch (field.conversion) {
      case L'%':
        out_ += L'%';
        return true;
      case L'd':
      case L'i':
        return Signed(field);
      case L'u':
      case L'o':
      case L'x':
      case L'X':
        return Unsigned(field);
      case L'p':
        return Pointer(field);
      case L'c':
      case L'C':
        return Character(field);
      case L's':
      case L'S':
        return String(field);
      case L'f':
      case L'F':
      case L'e':
      case L'E':
      case L'g':
      case L'G':
      case L'a':
      case L'A':
        return Floating(field);
      default:
        return false;  // unknown, and %n, which would write through an argument
    }
  }

  bool Signed(const Field& field) {
    long long value = 0;
    switch (field.size) {
      case Size::kDefault:
      case Size::kInt32:
        value = va_arg(*args_, int);
        break;
      case Size::kChar:
        value = static_cast<signed char>(va_arg(*args_, int));
        break;
      case Size::kShort:
        value = static_cast<short>(va_arg(*args_, int));
        break;
      case Size::kLong:
        value = va_arg(*args_, long);
        break;
      case Size::kLongLong:
      case Size::kInt64:
        value = va_arg(*args_, long long);
        break;
      case Size::kSize:
      case Size::kPtrDiff:
        value = va_arg(*args_, std::ptrdiff_t);
        break;
      case Size::kIntMax:
        value = va_arg(*args_, std::intmax_t);
        break;
      default:
        return false;
    }
    const bool negative = value < 0;
    const unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                                                  : static_cast<unsigned long long>(value);
    std::wstring sign;
    if (negative)
      sign = L"-";
    else if (field.plus)
      sign = L"+";
    else if (field.space)
      sign = L" ";
    EmitInteger(field, sign, Digits(magnitude, 10, false), magnitude == 0);
    return true;
  }

  bool Unsigned(const Field& field) {
    unsigned long long value = 0;
    switch (field.size) {
      case Size::kDefault:
      case Size::kInt32:
        value = va_arg(*args_, unsigned int);
        break;
      case Size::kChar:
        value = static_cast<unsigned char>(va_arg(*args_, unsigned int));
        break;
      case Size::kShort:
        value = static_cast<unsigned short>(va_arg(*args_, unsigned int));
        break;
      case Size::kLong:
        value = va_arg(*args_, unsigned long);
        break;
      case Size::kLongLong:
      case Size::kInt64:
        value = va_arg(*args_, unsigned long long);
        break;
      case Size::kSize:
      case Size::kPtrDiff:
        value = va_arg(*args_, std::size_t);
        break;
      case Size::kIntMax:
        value = va_arg(*args_, std::uintmax_t);
        break;
      default:
        return false;
    }
    const wchar_t c = field.conversion;
    const unsigned base = c == L'o' ? 8 : (c == L'u' ? 10 : 16);
    std::wstring digits = Digits(value, base, c == L'X');
    std::wstring prefix;
    if (field.alt && value != 0) {
      if (c == L'x') prefix = L"0x";
      if (c == L'X') prefix = L"0X";
    }
    if (field.alt && c == L'o' &&
        (field.precision < 0 || static_cast<size_t>(field.precision) <= digits.size())) {
      if (digits != L"0") digits.insert(0, L"0");
    }
    EmitInteger(field, prefix, digits, value == 0);
    return true;
  }

  bool Pointer(const Field& field) {
    const auto value = reinterpret_cast<std::uintptr_t>(va_arg(*args_, void*));
    std::wstring digits = Digits(value, 16, true);
    digits.insert(0, sizeof(void*) * 2 - digits.size(), L'0');
    Pad(field, digits);
    return true;
  }

  bool Character(const Field& field) {
    const bool narrow = field.conversion == L'C'
                            ? field.size != Size::kLong && field.size != Size::kWide
                            : field.size == Size::kShort;
    const int raw = va_arg(*args_, int);
    std::wstring text;
    if (narrow) {
      const char c = static_cast<char>(raw);
      text = Utf8ToWide(&c, 1);
    } else {
      text.assign(1, static_cast<wchar_t>(raw));
    }
    Pad(field, text);
    return true;
  }

  bool String(const Field& field) {
    const bool narrow = field.conversion == L'S'
                            ? field.size != Size::kLong && field.size != Size::kWide
                            : field.size == Size::kShort;
    std::wstring text;
    if (narrow) {
      const char* s = va_arg(*args_, const char*);
      if (!s) {
        text = L"(null)";
      } else {
        // Never read past the precision: the argument need not be terminated within it.
        std::size_t n = 0;
        while ((field.precision < 0 || n < static_cast<std::size_t>(field.precision)) && s[n]) ++n;
        text = Utf8ToWide(s, n);
      }
    } else {
      const wchar_t* s = va_arg(*args_, const wchar_t*);
      if (!s) {
        text = L"(null)";
      } else {
        std::size_t n = 0;
        while ((field.precision < 0 || n < static_cast<std::size_t>(field.precision)) && s[n]) ++n;
        text.assign(s, n);
      }
    }
    if (field.precision >= 0 && text.size() > static_cast<std::size_t>(field.precision)) {
      text.resize(static_cast<std::size_t>(field.precision));
    }
    Pad(field, text);
    return true;
  }

  bool Floating(const Field& field) {
    // The C library does the digits; its format is built here from checked parts only.
    std::string fmt = "%";
    if (field.left) fmt += '-';
    if (field.plus) fmt += '+';
    if (field.space) fmt += ' ';
    if (field.alt) fmt += '#';
    if (field.zero) fmt += '0';
    fmt += "*.*";
    const int precision = field.precision < 0 ? 6 : field.precision;
    std::string text;
    if (field.size == Size::kLongDouble) {
      fmt += 'L';
      fmt += static_cast<char>(field.conversion);
      text = PrintNarrow(fmt, field.width, precision, va_arg(*args_, long double));
    } else {
      fmt += static_cast<char>(field.conversion);
      text = PrintNarrow(fmt, field.width, precision, va_arg(*args_, double));
    }
    out_ += Utf8ToWide(text.data(), text.size());
    return true;
  }

  template <typename T>
  static std::string PrintNarrow(const std::string& fmt, int width, int precision, T value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(nullptr, 0, fmt.c_str(), width, precision, value);
    if (n <= 0) return std::string();
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(&text[0], text.size(), fmt.c_str(), width, precision, value);
#pragma GCC diagnostic pop
    text.resize(static_cast<std::size_t>(n));
    return text;
  }

  static std::wstring Digits(unsigned long long value, unsigned base, bool upper) {
    const wchar_t* symbols = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    wchar_t buffer[64];
    int i = 64;
    do {
      buffer[--i] = symbols[value % base];
      value /= base;
    } while (value);
    return std::wstring(buffer + i, buffer + 64);
  }

  // Sign or prefix, zeros up to the precision, the digits; padded to the width.
  void EmitInteger(const Field& field, const std::wstring& prefix, std::wstring digits, bool zero) {
    if (field.precision == 0 && zero) digits.clear();
    if (field.precision > 0 && digits.size() < static_cast<std::size_t>(field.precision)) {
      digits.insert(0, static_cast<std::size_t>(field.precision) - digits.size(), L'0');
    }
    const bool zero_pad = field.zero && !field.left && field.precision < 0;
    std::wstring body = prefix + digits;
    if (zero_pad && body.size() < static_cast<std::size_t>(field.width)) {
      body.insert(prefix.size(), static_cast<std::size_t>(field.width) - body.size(), L'0');
    }
    Pad(field, body);
  }

  void Pad(const Field& field, const std::wstring& text) {
    const std::size_t width = static_cast<std::size_t>(field.width);
    const std::size_t fill = text.size() < width ? width - text.size() : 0;
    if (!field.left) out_.append(fill, L' ');
    out_ += text;
    if (field.left) out_.append(fill, L' ');
  }

  const wchar_t* p_;
  va_list* args_;
  std::wstring out_;
};

}  // namespace

std::wstring FormatWide(const wchar_t* format, va_list args) {
  if (!format) return L"(null)";
  va_list copy;
  va_copy(copy, args);
  std::wstring text = Formatter(format, &copy).Run();
  va_end(copy);
  return text;
}

}  // namespace kuvotrace
