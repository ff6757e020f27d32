#include "program_run.h"

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

extern char** environ;

namespace assist_test {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool StartsWith(const char* entry, const char* name) {
  const size_t n = std::strlen(name);
  return std::strncmp(entry, name, n) == 0 && entry[n] == '=';
}

// Blocks until the process `pid` (not a child of ours) has ended.
void WaitForProcess(int pid) {
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd < 0) return;  // already gone
  pollfd wait{static_cast<int>(fd), POLLIN, 0};
  while (::poll(&wait, 1, -1) < 0 && errno == EINTR) {
  }
  ::close(static_cast<int>(fd));
}

}  // namespace

ProgramRun::ProgramRun(const std::string& process, const std::string& machine) {
  scenario_ = folder_.narrow() + "/phone.machine";
  std::ofstream file(scenario_, std::ios::binary);
  file << "[process]\n" << process << "\n" << machine;
}

int ProgramRun::Run(const std::vector<std::string>& arguments, int show) {
  std::vector<std::string> argv_text{KUVO_ASSIST_PROGRAM};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  const char* const kOwn[] = {"KUVO_MACHINE_SCENARIO", "KUVO_ASSIST_RUN_DIR", "XDG_DOCUMENTS_DIR",
                              "KUVO_ASSIST_SHOW", "KUVO_ASSIST_ELEVATED"};
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    bool own = false;
    for (const char* name : kOwn) own = own || StartsWith(*entry, name);
    if (!own) environment.emplace_back(*entry);
  }
  environment.push_back("KUVO_MACHINE_SCENARIO=" + scenario_);
  environment.push_back("KUVO_ASSIST_RUN_DIR=" + folder_.narrow());
  environment.push_back("XDG_DOCUMENTS_DIR=" + folder_.narrow() + "/Documents");
  environment.push_back("KUVO_ASSIST_SHOW=" + std::to_string(show));
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  pid_t pid = 0;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1000;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1001;
}

void ProgramRun::WaitForLaunched() {
  std::set<int> waited;
  for (bool more = true; more;) {
    more = false;
    for (const Launch& launch : Launches()) {
      if (!waited.insert(launch.pid).second) continue;
      WaitForProcess(launch.pid);
      more = true;  // it may have launched others
    }
  }
}

std::string ProgramRun::Machine() const {
  return ReadFile(scenario_);
}

std::vector<Launch> ProgramRun::Launches() const {
  std::vector<Launch> launches;
  std::istringstream lines(ReadFile(folder_.narrow() + "/launches.log"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    Launch launch;
    std::string pid, show;
    std::getline(fields, pid, '\t');
    std::getline(fields, launch.verb, '\t');
    std::getline(fields, show, '\t');
    std::getline(fields, launch.parameters);
    launch.pid = std::stoi(pid);
    launch.show = std::stoi(show);
    launches.push_back(launch);
  }
  return launches;
}

std::vector<long long> ProgramRun::ExitCodes() const {
  std::vector<long long> codes;
  std::istringstream lines(ReadFile(folder_.narrow() + "/exit-codes.log"));
  for (std::string line; std::getline(lines, line);) {
    codes.push_back(std::stoll(line.substr(line.find('\t') + 1)));
  }
  return codes;
}

std::string ProgramRun::Log() const {
  return ReadFile(folder_.narrow() + "/Documents/Kuvo 10.0/Log/KuvoPhone.log");
}

std::string AdapterBlock(const std::string& machine, const std::string& guid) {
  const size_t at = machine.find("guid = " + guid);
  if (at == std::string::npos) return std::string();
  const size_t start = machine.rfind("[adapter]", at);
  const size_t end = machine.find("\n[", at);
  return machine.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

size_t Count(const std::string& in, const std::string& text) {
  size_t count = 0;
  for (size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + text.size())) {
    ++count;
  }
  return count;
}

}  // namespace assist_test
