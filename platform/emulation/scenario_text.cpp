#include "scenario_text.h"

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

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool ParseYesNo(const std::string& text, bool* value) {
  if (text == "yes" || text == "1" || text == "true") {
    *value = true;
  } else if (text == "no" || text == "0" || text == "false") {
    *value = false;
  } else {
    return false;
  }
  return true;
}

bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  if (text.size() > 9) return false;
  *value = static_cast<uint32_t>(std::stoul(text));
  return true;
}

}  // namespace platform
