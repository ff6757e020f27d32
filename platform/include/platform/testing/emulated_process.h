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
//                            (1223 declined, 2 not found, ...);
//           unelevated       starts the program without elevation (a standard user with the
//                            prompt switched off);
//           ask              the prompt waits for its answer: ShellExecuteEx blocks until a
//                            line "accept" or a number has been written to the FIFO
//                            "runas-prompt" of the run folder (made by whichever side comes
//                            first) and the writer has closed it
//   slow_start = yes | no    a program started through "runas" begins its work only once the
//                            asking process has ended (an elevation slower than the asker's
//                            100 ms pause, so the marker event is gone by then)
//
// A run folder (the environment variable KUVO_ASSIST_RUN_DIR, else the scenario file's folder)
// holds what several processes share:
//   - named events are lock files "event-<name>.lock" there; a process holds a shared lock on
//     each event it opened until it ends, so the name exists exactly while some process holds a
//     handle, as on Windows;
//   - "runas" starts the program file as a real process with the parsed parameters, its token
//     elevated (KUVO_ASSIST_ELEVATED=1 in its environment), and appends a line to
//     "launches.log": "<pid>\t<verb>\t<show>\t<parameters>" (UTF-8);
//   - "machine.lock" serialises each load and each write-back of the machine; the processes
//     themselves overlap (see platform/testing/machine_merge.h).
//
// A process started by ShellExecuteEx knows its parent's id as Windows records it, even after
// the parent has ended (KUVO_ASSIST_PARENT_PID in its environment); any other process takes
// getppid() at construction. Small files are real files (UTF-8 paths).
#pragma once

#include <string>
#include <vector>

#include "platform/process_services.h"

namespace platform {

constexpr char kRunFolderVariable[] = "KUVO_ASSIST_RUN_DIR";
constexpr char kElevatedVariable[] = "KUVO_ASSIST_ELEVATED";
constexpr char kParentVariable[] = "KUVO_ASSIST_PARENT_PID";
constexpr char kSlowStartVariable[] = "KUVO_ASSIST_SLOW_START";
constexpr char kLaunchLogName[] = "launches.log";
constexpr char kRunasPromptName[] = "runas-prompt";

struct ProcessScenario {
  uint32_t version = 0x0106;  // Windows 7: major 6 in the low byte, minor 1 above it
  bool elevated = false;
  bool token = true;
  bool runas_accepted = true;
  bool runas_unelevated = false;  // accepted, but the program starts unelevated
  bool runas_asks = false;        // the answer comes through the prompt FIFO
  bool slow_start = false;
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
  // `program` is the program's absolute path; `arguments` the ones it received. A process that
  // a "slow_start" scenario started waits here until its parent has ended.
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
  uint32_t GetCurrentProcessId() override;
  uint32_t GetParentProcessId() override;
  bool WriteSmallFile(const std::wstring& path, const std::string& bytes) override;
  bool ReadSmallFile(const std::wstring& path, uint32_t limit, std::string* bytes) override;
  uint32_t GetCurrentThreadId() override;
  void Sleep(uint32_t milliseconds) override;
  ErrorCode LastErrorCode() override;

  bool elevated() const;

 private:
  // The user's answer at an "ask" prompt: true to go on, else false with the last error set.
  bool AwaitPromptAnswer();

  ProcessScenario scenario_;
  std::string run_folder_;
  std::string program_;
  std::vector<std::string> arguments_;
  uint32_t parent_ = 0;
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
