#include "platform/code_page.h"

#include <windows.h>

namespace platform {

int MultiByteToWide(uint32_t code_page, uint32_t flags, const char* source, int source_length,
                    wchar_t* output, int output_size) {
  return ::MultiByteToWideChar(code_page, flags, source, source_length, output, output_size);
}

int WideToMultiByte(uint32_t code_page, uint32_t flags, const wchar_t* source, int source_length,
                    char* output, int output_size, const char* default_char,
                    bool* used_default_char) {
  BOOL used = FALSE;
  const int result =
      ::WideCharToMultiByte(code_page, flags, source, source_length, output, output_size,
                            default_char, used_default_char != nullptr ? &used : nullptr);
  if (used_default_char != nullptr) *used_default_char = used != FALSE;
  return result;
}

}  // namespace platform
