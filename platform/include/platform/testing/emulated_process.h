// The process services of KuvoAssist on systems other than Windows (not available on Windows).
//
// The process's own state comes from the [process] section of the machine scenario file:
//
//   [process]
//   version = 6.1            the Windows version that GetVersion reports (major.minor)
//   elevated = yes | no      whether the process token is elevated
//   token = yes | no         whether the process token can be opened
//   runas = accept | N       the user's answer to the elevation prompt: accept starts the
//                            program, a number is the error ShellExecuteEx fails with
//                            (1223 declined, 2 not found, ...)
//
// A run folder (the environment variable KUVO_ASSIST_RUN_DIR, else the scenario file's folder)
// holds what several processes share:
//   - named events are lock files "event-<name>.lock" there; a process holds a shared lock on
//     each event it opened until it ends, so the name exists exactly while some process holds a
//     handle, as on Windows;
//   - "runas" starts the program file as a real process with the parsed parameters, its token
//     elevated (KUVO_ASSIST_ELEVATED=1 in its environment), and appends a line to
//     "launches.log": "<pid>\t<verb>\t<show>\t<parameters>" (UTF-8);
//   - "machine.lock" serialises the processes that load and write back the machine.
#pragma once

#include <string>
#include <vector>

#include "platform/process_services.h"

namespace platform {

constexpr char kRunFolderVariable[] = "KUVO_ASSIST_RUN_DIR";
constexpr char kElevatedVariable[] = "KUVO_ASSIST_ELEVATED";
constexpr char kLaunchLogName[] = "launches.log";

struct ProcessScenario {
  uint32_t version = 0x0106;  // Windows 7: major 6 in the low byte, minor 1 above it
  bool elevated = false;
  bool token = true;
  bool runas_accepted = true;
  ErrorCode runas_error = kErrorCancelled;  // when not accepted
};

// Takes the [process] section out of scenario text: `rest` receives every other line. False
// with the reason for a malformed line of the section.
bool SplitProcessScenario(const std::string& text, ProcessScenario* process, std::string* rest,
                          std::string* error);
std::string FormatProcessScenario(const ProcessScenario& process);

// Windows' rules for a command line: arguments separated by blanks, "..." groups, backslashes
// before a quote escape it.
std::vector<std::string> SplitCommandLine(const std::string& line);
// The reverse: each argument quoted when it holds a blank or a quote.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

class EmulatedProcess final : public ProcessServices {
 public:
  // `program` is the program's absolute path; `arguments` the ones it received.
  EmulatedProcess(const ProcessScenario& scenario, std::string run_folder, std::string program,
                  std::vector<std::string> arguments);
  ~EmulatedProcess() override;
  EmulatedProcess(const EmulatedProcess&) = delete;
  EmulatedProcess& operator=(const EmulatedProcess&) = delete;

  uint32_t GetVersion() override;
  bool OpenProcessTokenForQuery(ProcessToken* token) override;
  bool QueryTokenElevation(ProcessToken token, void* buffer, uint32_t size,
                           uint32_t* returned) override;
  void CloseToken(ProcessToken token) override;
  NamedEvent CreateNamedEvent(bool manual_reset, bool initial_state, const wchar_t* name) override;
  uint32_t GetModuleFileName(wchar_t* buffer, uint32_t size) override;
  std::wstring GetCommandLine() override;
  bool ShellExecuteEx(const ShellExecuteRequest& request) override;
  uint32_t GetCurrentThreadId() override;
  void Sleep(uint32_t milliseconds) override;
  ErrorCode LastErrorCode() override;

  bool elevated() const;

 private:
  ProcessScenario scenario_;
  std::string run_folder_;
  std::string program_;
  std::vector<std::string> arguments_;
  std::vector<int> event_files_;  // held until the process ends
  int open_tokens_ = 0;
};

// An exclusive lock on a file of the run folder, held for the object's life (blocks until it is
// free). Not held when the folder is empty or the file cannot be opened.
class RunFolderLock {
 public:
  RunFolderLock(const std::string& run_folder, const char* name);
  ~RunFolderLock();
  RunFolderLock(const RunFolderLock&) = delete;
  RunFolderLock& operator=(const RunFolderLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform
