#include "utf8_text.h"

#include <vector>

#include "platform/code_page.h"

namespace platform {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return L"";
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWide(kCodePageUtf8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return L"";
  std::vector<wchar_t> wide(static_cast<size_t>(needed));
  MultiByteToWide(kCodePageUtf8, 0, text.data(), length, wide.data(), needed);
  return std::wstring(wide.data(), wide.size());
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int length = static_cast<int>(text.size());
  const int needed =
      WideToMultiByte(kCodePageUtf8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return "";
  std::vector<char> narrow(static_cast<size_t>(needed));
  WideToMultiByte(kCodePageUtf8, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  return std::string(narrow.data(), narrow.size());
}

}  // namespace platform
