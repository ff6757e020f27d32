#include "common/text_conversion.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/code_page.h"
#include "platform/last_error.h"

namespace kuvo {

namespace {

// Most texts fit the first buffer; a longer one is converted again into a buffer of exactly
// the size the system asks for.
constexpr int kFirstBufferUnits = 1024;

// Converter(input, input_length, output, output_size) in the system's calling shape.
template <typename Out, typename In, typename Converter>
std::basic_string<Out> Convert(const In* text, size_t length, Converter convert) {
  if (text == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) {
    return std::basic_string<Out>();
  }
  const int input_length = static_cast<int>(length);
  std::vector<Out> buffer(kFirstBufferUnits, Out());
  platform::SetLastErrorCode(platform::kErrorSuccess);
  int written = convert(text, input_length, buffer.data(), kFirstBufferUnits);
  if (written > 0) {
    return std::basic_string<Out>(buffer.data(), std::min(written, kFirstBufferUnits));
  }
  if (platform::GetLastErrorCode() != platform::kErrorInsufficientBuffer) {
    return std::basic_string<Out>();
  }
  const int needed = convert(text, input_length, nullptr, 0);
  if (needed <= 0) return std::basic_string<Out>();
  buffer.assign(static_cast<size_t>(needed), Out());
  written = convert(text, input_length, buffer.data(), needed);
  if (written <= 0) return std::basic_string<Out>();
  return std::basic_string<Out>(buffer.data(), std::min(written, needed));
}

}  // namespace

std::string WideToNarrow(const wchar_t* text, uint32_t code_page) {
  if (text == nullptr) return std::string();
  return Convert<char>(text, std::wcslen(text),
                       [code_page](const wchar_t* in, int in_length, char* out, int out_size) {
                         return platform::WideToMultiByte(code_page, 0, in, in_length, out,
                                                          out_size, nullptr, nullptr);
                       });
}

std::wstring NarrowToWide(const char* text, uint32_t code_page) {
  if (text == nullptr) return std::wstring();
  return Convert<wchar_t>(text, std::strlen(text),
                          [code_page](const char* in, int in_length, wchar_t* out, int out_size) {
                            return platform::MultiByteToWide(code_page, 0, in, in_length, out,
                                                             out_size);
                          });
}

}  // namespace kuvo
