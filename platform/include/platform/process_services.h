// The process services of KuvoAssist's start-up, in the calls' own shape: the Windows version,
// the process token's elevation, named events, ShellExecuteExW, the program's own path, the
// process command line, the process ids, small files and sleeping.
//
// Calls that Windows answers with a last error set it here too (LastErrorCode). On Windows
// CurrentSystem().process (platform/system.h) is the real APIs; elsewhere an emulation
// (platform/testing/emulated_process.h) that starts real processes and makes events real
// cross-process objects. For one thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error_codes.h"

namespace platform {

struct ProcessTokenHandle;
using ProcessToken = ProcessTokenHandle*;
struct NamedEventHandle;
using NamedEvent = NamedEventHandle*;

// TOKEN_ELEVATION: one 4-byte value.
constexpr uint32_t kTokenElevationSize = 4;
// The longest path the program asks for (MAX_PATH).
constexpr uint32_t kMaxPath = 260;
constexpr ErrorCode kErrorCancelled = 1223;

// SHELLEXECUTEINFOW as the start-up fills it: no mask, no window, no directory.
struct ShellExecuteRequest {
  uint32_t mask = 0;
  std::wstring verb;
  std::wstring file;
  std::wstring parameters;
  int show = 0;
};

class ProcessServices {
 public:
  virtual ~ProcessServices() = default;

  // GetVersion(): low byte major, next byte minor.
  virtual uint32_t GetVersion() = 0;
  // OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY); false (last error set) on failure.
  virtual bool OpenProcessTokenForQuery(ProcessToken* token) = 0;
  // GetTokenInformation(TokenElevation) into `buffer` of `size` bytes; `returned` receives the
  // size the system wrote or needs.
  virtual bool QueryTokenElevation(ProcessToken token, void* buffer, uint32_t size,
                                   uint32_t* returned) = 0;
  virtual void CloseToken(ProcessToken token) = 0;

  // CreateEventW with default security. Sets the last error: 0 for a new event,
  // kErrorAlreadyExists (with a handle to the existing one) when the name is taken. Null on
  // failure. The handle lives until the process ends.
  virtual NamedEvent CreateNamedEvent(bool manual_reset, bool initial_state,
                                      const wchar_t* name) = 0;

  // GetModuleFileNameW(null): characters written into `buffer` of `size` (truncated and
  // terminated when the path is longer), 0 on failure.
  virtual uint32_t GetModuleFileName(wchar_t* buffer, uint32_t size) = 0;
  // GetCommandLineW(): the whole command line, program path included.
  virtual std::wstring GetCommandLine() = 0;
  // ShellExecuteExW; does not wait for the started process and keeps no handle to it. False
  // with the last error set on failure.
  virtual bool ShellExecuteEx(const ShellExecuteRequest& request) = 0;

  // GetCurrentProcessId().
  virtual uint32_t GetCurrentProcessId() = 0;
  // The id of the process that created this one, as the system recorded it at creation
  // (th32ParentProcessID of this process's Toolhelp entry). It stays known after that process
  // has ended; a process started through "runas" has the one that asked as its parent. 0 when
  // it cannot be found.
  virtual uint32_t GetParentProcessId() = 0;

  // A small file: replaced whole by `bytes` (CreateFileW CREATE_ALWAYS, WriteFile), or read up
  // to `limit` bytes. False (last error set) on failure.
  virtual bool WriteSmallFile(const std::wstring& path, const std::string& bytes) = 0;
  virtual bool ReadSmallFile(const std::wstring& path, uint32_t limit, std::string* bytes) = 0;

  // GetCurrentThreadId().
  virtual uint32_t GetCurrentThreadId() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual ErrorCode LastErrorCode() = 0;
};

}  // namespace platform
