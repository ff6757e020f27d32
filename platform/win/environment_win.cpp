#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/environment.h"

namespace platform {

namespace {

bool Widen(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
  if (needed <= 0) return false;
  wide->assign(static_cast<size_t>(needed), L'\0');
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), &(*wide)[0], needed) == needed;
}

bool Narrow(const wchar_t* wide, size_t length, std::string* text) {
  text->clear();
  if (length == 0) return true;
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
  if (bytes <= 0) return false;
  text->assign(static_cast<size_t>(bytes), '\0');
  return ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &(*text)[0], bytes,
                               nullptr, nullptr) == bytes;
}

}  // namespace

// Read as UTF-16 from the system's copy, so a value outside the ANSI code page survives.
bool GetEnv(const char* name, std::string* value) {
  value->clear();
  std::wstring wide_name;
  if (!Widen(name, &wide_name)) return false;
  const DWORD needed = ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::vector<wchar_t> wide(needed + 1, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(wide_name.c_str(), wide.data(), needed);
  if (got >= needed) return false;
  return Narrow(wide.data(), got, value);
}

// _wputenv_s changes the C runtime's copy and the system's.
bool SetEnv(const char* name, const std::string& value) {
  std::wstring wide_name;
  std::wstring wide_value;
  if (!Widen(name, &wide_name) || !Widen(value, &wide_value)) return false;
  return ::_wputenv_s(wide_name.c_str(), wide_value.c_str()) == 0;
}

bool UnsetEnv(const char* name) {
  std::wstring wide_name;
  if (!Widen(name, &wide_name)) return false;
  return ::_wputenv_s(wide_name.c_str(), L"") == 0;
}

}  // namespace platform
