// Demo section "assist": the KuvoAssist program against a misconfigured emulated phone. The
// first start is not elevated, so it relaunches itself with "runas" and the elevated instance
// repairs the adapter; a second start finds it configured and ends. Prints the phone adapter's
// settings before and after, the launches and the log lines. (Systems other than Windows: the
// program runs on its emulated machine.)
#if !defined(_WIN32)
#include <limits.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo_section.h"

extern char** environ;

namespace {

constexpr char kSection[] = "assist";
constexpr char kPhoneGuid[] = "{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}";

constexpr char kScenario[] =
    "[process]\n"
    "elevated = no\n"
    "runas = accept\n"
    "\n"
    "[adapter]\n"
    "instance_id = PCI\\VEN_8086&DEV_15B8&SUBSYS_86721043&REV_00\\3&11583659&0&FE\n"
    "guid = {1F0C2A6E-8B1D-4C55-9E0A-3D7B5A9C0E11}\n"
    "description = Intel(R) Ethernet Connection (2) I219-V\n"
    "address = 192.168.1.23\n"
    "mask = 255.255.255.0\n"
    "gateway = 192.168.1.1\n"
    "\n"
    "[adapter]\n"
    "instance_id = USB\\VID_2C7C&PID_0125&MI_00\\6&2F6A1B3C&0&0000\n"
    "guid = {6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}\n"
    "description = Remote NDIS based Internet Sharing Device\n"
    "dhcp = yes\n"
    "dhcp_address = 192.168.225.34\n"
    "dhcp_mask = 255.255.0.0\n"
    "dhcp_gateway = 192.168.225.1\n"
    "address = 192.168.225.34\n"
    "mask = 255.255.0.0\n"
    "gateway = 192.168.225.1\n";

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string OwnFolder() {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return ".";
  const std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

// The phone adapter's settings as the saved machine has them.
std::string PhoneSettings(const std::string& machine) {
  const size_t at = machine.find(std::string("guid = ") + kPhoneGuid);
  if (at == std::string::npos) return "(no phone adapter)";
  const size_t end = machine.find("\n[", at);
  std::istringstream block(machine.substr(at, end == std::string::npos ? end : end - at));
  std::string settings;
  for (std::string line; std::getline(block, line);) {
    for (const char* key : {"dhcp = ", "address = ", "mask = ", "gateway = "}) {
      if (line.rfind(key, 0) == 0) settings += (settings.empty() ? "" : ", ") + line;
    }
  }
  return settings;
}

int RunProgram(const std::string& program, const std::string& folder) {
  std::vector<std::string> environment;
  // The demo's own documents folder gives way to the program's.
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.rfind("XDG_DOCUMENTS_DIR=", 0) != 0 && text.rfind("KUVO_MACHINE_SCENARIO=", 0) != 0 &&
        text.rfind("KUVO_ASSIST_RUN_DIR=", 0) != 0) {
      environment.push_back(text);
    }
  }
  environment.push_back("KUVO_MACHINE_SCENARIO=" + folder + "/phone.machine");
  environment.push_back("KUVO_ASSIST_RUN_DIR=" + folder);
  environment.push_back("XDG_DOCUMENTS_DIR=" + folder + "/Documents");
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  std::string argv0 = program;
  char* argv[] = {&argv0[0], nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits for the processes of the launch log (not children of the demo).
void WaitForLaunches(const std::string& folder) {
  std::istringstream lines(ReadFile(folder + "/launches.log"));
  for (std::string line; std::getline(lines, line);) {
    const long fd = ::syscall(SYS_pidfd_open, std::atoi(line.c_str()), 0);
    if (fd < 0) continue;
    pollfd wait{static_cast<int>(fd), POLLIN, 0};
    while (::poll(&wait, 1, -1) < 0 && errno == EINTR) {
    }
    ::close(static_cast<int>(fd));
  }
}

void SayLines(const std::string& prefix, const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) demo::Say(kSection, prefix + line);
}

int RunAssist(const demo::DemoArgs&) {
  const std::string program = OwnFolder() + "/KuvoAssist";
  char pattern[] = "/tmp/kuvo-demo-assist-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  std::ofstream(folder + "/phone.machine", std::ios::binary) << kScenario;
  demo::Say(kSection, "phone adapter before: " + PhoneSettings(kScenario));

  const int first = RunProgram(program, folder);
  demo::Say(kSection, "first start (not elevated) ended with " + std::to_string(first));
  WaitForLaunches(folder);
  SayLines("launch (pid, verb, show, parameters): ", ReadFile(folder + "/launches.log"));
  const std::string machine = ReadFile(folder + "/phone.machine");
  demo::Say(kSection, "phone adapter after: " + PhoneSettings(machine));
  const std::string log_path = folder + "/Documents/Kuvo 10.0/Log/KuvoPhone.log";
  SayLines("log: ", ReadFile(log_path));

  const size_t log_size = ReadFile(log_path).size();
  const int second = RunProgram(program, folder);
  demo::Say(kSection, "second start ended with " + std::to_string(second) +
                          (ReadFile(folder + "/launches.log").find('\n') ==
                                   ReadFile(folder + "/launches.log").rfind('\n')
                               ? ", no further launch"
                               : ", launched again"));
  SayLines("log: ", ReadFile(log_path).substr(log_size));

  const bool repaired =
      PhoneSettings(machine).find("address = 192.168.225.21") != std::string::npos;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return first == 0 && second == 0 && repaired ? 0 : 1;
}

const demo::DemoSection kAssistSection(
    50, kSection,
    "KuvoAssist on an emulated machine whose USB phone adapter is misconfigured: the first "
    "start relaunches itself elevated and repairs it, the second finds it configured.",
    &RunAssist);

}  // namespace
#endif  // !_WIN32
