// KuvoAssist: the program started the way a host starts it. Linux: on the emulated machine of a
// phone whose adapter already has its static address, so it must end with 0, leave the adapter
// alone, relaunch nothing and log what it found. Windows (under wine there is no phone to
// emulate): the COM registration words, which must register and remove its type library.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host_checks.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;
#endif

namespace kit_host {

namespace {

#if defined(_WIN32)

std::wstring ProgramPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n < MAX_PATH ? n : 0);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"" KUVO_ASSIST_PROGRAM;
}

long Run(const std::wstring& word) {
  const std::wstring program = ProgramPath();
  std::wstring line = L"\"" + program + L"\" " + word;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return -1;
  }
  ::WaitForSingleObject(info.hProcess, 60000);
  DWORD code = 0xFFFFFFFFu;
  ::GetExitCodeProcess(info.hProcess, &code);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return static_cast<long>(code);
}

bool TypeLibRegistered() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TypeLib\\{5A169E82-FE20-40B0-B906-B73B91D1FFAF}\\1.0", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

#else

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

int Run(const std::string& folder) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  environment.push_back("KUVO_MACHINE_SCENARIO=" + folder + "/phone.machine");
  environment.push_back("KUVO_ASSIST_RUN_DIR=" + folder);
  environment.push_back("XDG_DOCUMENTS_DIR=" + folder + "/Documents");
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  std::string program = std::string(KUVO_RUNTIME_DIR) + "/" + KUVO_ASSIST_PROGRAM;
  char* argv[] = {&program[0], nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace

int CheckAssist(const std::string& work_folder, const std::string& scenario) {
#if defined(_WIN32)
  (void)work_folder;
  (void)scenario;
  int failures = Check(Run(L"/RegServer") == 0, "assist: /RegServer ends with 0");
  failures += Check(TypeLibRegistered(), "assist: type library registered");
  failures += Check(Run(L"-UnregServer") == 0, "assist: -UnregServer ends with 0");
  failures += Check(!TypeLibRegistered(), "assist: type library removed");
  return failures;
#else
  const std::string folder = work_folder + "/assist";
  const std::string machine = ReadFile(scenario);
  int failures = Check(machine.find("192.168.225.21") != std::string::npos,
                       "assist: the configured phone scenario is readable");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  { std::ofstream(folder + "/phone.machine", std::ios::binary) << machine; }
  failures += Check(Run(folder) == 0, "assist: the program ends with 0");
  const std::string after = ReadFile(folder + "/phone.machine");
  failures += Check(after.find("address = 192.168.225.21") != std::string::npos,
                    "assist: the phone keeps its address");
  failures += Check(ReadFile(folder + "/launches.log").empty(), "assist: no relaunch");
  const std::string log = ReadFile(folder + "/Documents/Kuvo 10.0/Log/KuvoPhone.log");
  failures += Check(log.find("GetAdapterInfoByDescription") != std::string::npos &&
                        log.find("{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}") != std::string::npos &&
                        log.find("ResetAdapterState") == std::string::npos,
                    "assist: the log names the phone adapter found, and no reset");
  return failures;
#endif
}

}  // namespace kit_host
