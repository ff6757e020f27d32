#include "desk_text.h"

#include "common/text_conversion.h"

namespace kuvo_desk {

namespace {
constexpr uint32_t kCodePageUtf8 = 65001;
}  // namespace

std::wstring FromUtf8(const std::string& text) {
  return kuvo::NarrowToWide(text.c_str(), kCodePageUtf8);
}

std::string ToUtf8(const std::wstring& text) {
  return kuvo::WideToNarrow(text.c_str(), kCodePageUtf8);
}

std::wstring ReadyText(const std::string& address, const std::string& session_name) {
  return FromUtf8(address) + L"\n" + FromUtf8(session_name);
}

std::wstring SessionWindowTitle(const std::string& display_name) {
  if (display_name.empty()) return L"Kuvo远程协助";
  return L"Kuvo远程协助（#" + FromUtf8(display_name) + L"#）";
}

}  // namespace kuvo_desk
