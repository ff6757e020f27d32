// Fakes of the process and COM-module services that record what they were asked.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/com_module_services.h"
#include "platform/process_services.h"
#include "platform/wmi.h"

namespace assist_test {

class FakeProcess : public platform::ProcessServices {
 public:
  uint32_t version = 0x0106;
  bool token_opens = true;
  bool query_succeeds = true;
  uint32_t returned_size = platform::kTokenElevationSize;
  uint32_t elevation = 0;
  platform::ErrorCode event_error = platform::kErrorSuccess;
  bool shell_succeeds = true;
  platform::ErrorCode shell_error = platform::kErrorSuccess;
  std::wstring path = L"C:\\Program Files\\Kuvo\\KuvoAssist.exe";
  std::wstring command_line = L"\"C:\\Program Files\\Kuvo\\KuvoAssist.exe\"";
  uint32_t process_id = 4100;
  uint32_t parent_id = 3900;
  bool files_writable = true;
  std::map<std::wstring, std::string> files;

  int tokens_opened = 0;
  int tokens_closed = 0;
  std::vector<uint32_t> query_sizes;
  std::vector<std::wstring> events;
  std::vector<platform::ShellExecuteRequest> launches;
  std::vector<uint32_t> sleeps;

  uint32_t GetVersion() override { return version; }
  bool OpenProcessTokenForQuery(platform::ProcessToken* token) override {
    if (!token_opens) return Fail(platform::kErrorAccessDenied);
    ++tokens_opened;
    *token = reinterpret_cast<platform::ProcessToken>(this);
    return true;
  }
  bool QueryTokenElevation(platform::ProcessToken, void* buffer, uint32_t size,
                           uint32_t* returned) override {
    query_sizes.push_back(size);
    *returned = returned_size;
    if (!query_succeeds) return Fail(platform::kErrorInsufficientBuffer);
    std::memcpy(buffer, &elevation, size < 4 ? size : 4);
    return true;
  }
  void CloseToken(platform::ProcessToken) override { ++tokens_closed; }
  platform::NamedEvent CreateNamedEvent(bool, bool, const wchar_t* name) override {
    events.push_back(name);
    last_error = event_error;
    return reinterpret_cast<platform::NamedEvent>(this);
  }
  uint32_t GetModuleFileName(wchar_t* buffer, uint32_t size) override {
    const size_t n = path.size() < size ? path.size() : size - 1;
    path.copy(buffer, n);
    buffer[n] = L'\0';
    return static_cast<uint32_t>(n);
  }
  std::wstring GetCommandLine() override { return command_line; }
  bool ShellExecuteEx(const platform::ShellExecuteRequest& request) override {
    launches.push_back(request);
    if (!shell_succeeds) return Fail(shell_error);
    last_error = platform::kErrorSuccess;
    return true;
  }
  uint32_t GetCurrentProcessId() override { return process_id; }
  uint32_t GetParentProcessId() override { return parent_id; }
  bool WriteSmallFile(const std::wstring& file, const std::string& bytes) override {
    if (!files_writable) return Fail(platform::kErrorAccessDenied);
    files[file] = bytes;
    return true;
  }
  bool ReadSmallFile(const std::wstring& file, uint32_t limit, std::string* bytes) override {
    const auto found = files.find(file);
    if (found == files.end()) return Fail(platform::kErrorFileNotFound);
    *bytes = found->second.substr(0, limit);
    return true;
  }
  uint32_t GetCurrentThreadId() override { return 4242; }
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
  platform::ErrorCode LastErrorCode() override { return last_error; }

 private:
  bool Fail(platform::ErrorCode error) {
    last_error = error;
    return false;
  }
  platform::ErrorCode last_error = platform::kErrorSuccess;
};

class FakeComModule : public platform::ComModuleServices {
 public:
  bool lock_succeeds = true;
  platform::HResult init_result = platform::kSOk;
  bool has_script = true;
  std::string script = "HKCR\r\n{\r\n}\r\n";
  platform::HResult register_result = platform::kSOk;
  platform::HResult unregister_result = platform::kSOk;

  std::vector<std::string> calls;  // in order

  bool InitializeModuleLock() override {
    calls.push_back("lock");
    return lock_succeeds;
  }
  platform::HResult CoInitializeEx(uint32_t model) override {
    calls.push_back(model == platform::kCoinitApartmentThreaded ? "init:sta" : "init:mta");
    return init_result;
  }
  void CoUninitialize() override { calls.push_back("uninit"); }
  bool LoadResource(const wchar_t* type, uint16_t id, std::string* bytes) override {
    calls.push_back("resource:" + std::string(type, type + std::wcslen(type)) + ":" +
                    std::to_string(id));
    if (!has_script) return false;
    *bytes = script;
    return true;
  }
  std::wstring LoadString(uint16_t) override { return std::wstring(); }
  platform::HResult RegisterTypeLibrary(const std::wstring& path, bool per_user) override {
    calls.push_back(per_user ? "typelib:register:user" : "typelib:register");
    paths.push_back(path);
    return register_result;
  }
  platform::HResult UnregisterTypeLibrary(const std::wstring& path, bool per_user) override {
    calls.push_back(per_user ? "typelib:unregister:user" : "typelib:unregister");
    paths.push_back(path);
    return unregister_result;
  }
  std::vector<std::wstring> paths;
};

}  // namespace assist_test
