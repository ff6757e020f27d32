#include "utf8.h"

namespace kuvotrace {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendWide(char32_t c, std::wstring* out) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      *out += static_cast<wchar_t>(0xD800 + (c >> 10));
      *out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  *out += static_cast<wchar_t>(c);
}

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

}  // namespace

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
  std::string out;
  if (!text) return out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
        const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          AppendUtf8(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00), &out);
          ++i;
          continue;
        }
      }
    }
    if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacement;
    AppendUtf8(c, &out);
  }
  return out;
}

std::wstring Utf8ToWide(const char* text, std::size_t length) {
  std::wstring out;
  if (!text) return out;
  out.reserve(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  while (i < length) {
    const unsigned char lead = bytes[i];
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      AppendWide(lead, &out);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, min = 0x10000;
    } else {
      AppendWide(kReplacement, &out);
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= static_cast<std::size_t>(extra); ++j) {
      if (i + j >= length || (bytes[i + j] & 0xC0) != 0x80) break;
      c = (c << 6) | (bytes[i + j] & 0x3F);
    }
    if (j <= static_cast<std::size_t>(extra) || c < min || c > 0x10FFFF || IsSurrogate(c)) {
      // Overlong, truncated or out of range: replace the lead byte and resync on the next one.
      AppendWide(kReplacement, &out);
      ++i;
      continue;
    }
    AppendWide(c, &out);
    i += j;
  }
  return out;
}

}  // namespace kuvotrace
