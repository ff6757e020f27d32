// The process services over the Win32 API: one call each.
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#include <tlhelp32.h>

#include "platform/process_services.h"

namespace platform {

namespace {

class Win32ProcessServices final : public ProcessServices {
 public:
  uint32_t GetVersion() override {
    // GetVersion is deprecated, but its low word is exactly what the start-up tests.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return static_cast<uint32_t>(::GetVersion());
#pragma GCC diagnostic pop
  }

  bool OpenProcessTokenForQuery(ProcessToken* token) override {
    HANDLE handle = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &handle)) return false;
    *token = reinterpret_cast<ProcessToken>(handle);
    return true;
  }

  bool QueryTokenElevation(ProcessToken token, void* buffer, uint32_t size,
                           uint32_t* returned) override {
    DWORD written = 0;
    const BOOL ok = ::GetTokenInformation(reinterpret_cast<HANDLE>(token), TokenElevation, buffer,
                                          size, &written);
    *returned = written;
    return ok != FALSE;
  }

  void CloseToken(ProcessToken token) override {
    ::CloseHandle(reinterpret_cast<HANDLE>(token));
  }

  NamedEvent CreateNamedEvent(bool manual_reset, bool initial_state, const wchar_t* name) override {
    return reinterpret_cast<NamedEvent>(
        ::CreateEventW(nullptr, manual_reset ? TRUE : FALSE, initial_state ? TRUE : FALSE, name));
  }

  uint32_t GetModuleFileName(wchar_t* buffer, uint32_t size) override {
    return ::GetModuleFileNameW(nullptr, buffer, size);
  }

  std::wstring GetCommandLine() override {
    const wchar_t* line = ::GetCommandLineW();
    return line != nullptr ? std::wstring(line) : std::wstring();
  }

  bool ShellExecuteEx(const ShellExecuteRequest& request) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = request.mask;
    info.hwnd = nullptr;
    info.lpVerb = request.verb.c_str();
    info.lpFile = request.file.c_str();
    info.lpParameters = request.parameters.c_str();
    info.lpDirectory = nullptr;
    info.nShow = request.show;
    return ::ShellExecuteExW(&info) != FALSE;
  }

  uint32_t GetCurrentProcessId() override {
    return ::GetCurrentProcessId();
  }

  uint32_t GetParentProcessId() override {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = ::GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
      if (entry.th32ProcessID == self) {
        parent = entry.th32ParentProcessID;
        break;
      }
    }
    ::CloseHandle(snapshot);
    return parent;
  }

  bool WriteSmallFile(const std::wstring& path, const std::string& bytes) override {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    ::SetLastError(error);
    return ok != FALSE && written == bytes.size();
  }

  bool ReadSmallFile(const std::wstring& path, uint32_t limit, std::string* bytes) override {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes->assign(limit, '\0');
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, &(*bytes)[0], limit, &read, nullptr);
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    ::SetLastError(error);
    bytes->resize(ok != FALSE ? read : 0);
    return ok != FALSE;
  }

  uint32_t GetCurrentThreadId() override {
    return ::GetCurrentThreadId();
  }
  void Sleep(uint32_t milliseconds) override {
    ::Sleep(milliseconds);
  }
  ErrorCode LastErrorCode() override {
    return ::GetLastError();
  }
};

}  // namespace

ProcessServices& SystemProcessServices() {
  static Win32ProcessServices services;
  return services;
}

}  // namespace platform
