#include "program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
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

constexpr int kProcessTimeoutMs = 60000;

// Blocks until the process `pid` has ended, a minute at most; false when it had not.
bool WaitForProcess(int pid) {
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd < 0) return true;  // already gone
  pollfd wait{static_cast<int>(fd), POLLIN, 0};
  int ready = 0;
  while ((ready = ::poll(&wait, 1, kProcessTimeoutMs)) < 0 && errno == EINTR) {
  }
  ::close(static_cast<int>(fd));
  return ready > 0;
}

}  // namespace

ProgramRun::ProgramRun(const std::string& process, const std::string& machine) {
  scenario_ = folder_.narrow() + "/phone.machine";
  documents_ = folder_.narrow() + "/Documents";
  program_ = KUVO_ASSIST_PROGRAM;
  std::ofstream file(scenario_, std::ios::binary);
  file << "[process]\n" << process << "\n" << machine;
}

ProgramRun::~ProgramRun() {
  if (prompt_ >= 0) ::close(prompt_);
}

int ProgramRun::Run(const std::vector<std::string>& arguments, int show) {
  return Wait(Start(arguments, show));
}

int ProgramRun::Start(const std::vector<std::string>& arguments, int show) {
  std::vector<std::string> argv_text{program_};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  const char* const kOwn[] = {"KUVO_MACHINE_SCENARIO", "KUVO_ASSIST_RUN_DIR",
                              "XDG_DOCUMENTS_DIR",     "KUVO_ASSIST_SHOW",
                              "KUVO_ASSIST_ELEVATED",  "KUVO_ASSIST_PARENT_PID"};
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    bool own = false;
    for (const char* name : kOwn) own = own || StartsWith(*entry, name);
    if (!own) environment.emplace_back(*entry);
  }
  environment.push_back("KUVO_MACHINE_SCENARIO=" + scenario_);
  environment.push_back("KUVO_ASSIST_RUN_DIR=" + folder_.narrow());
  environment.push_back("XDG_DOCUMENTS_DIR=" + documents_);
  environment.push_back("KUVO_ASSIST_SHOW=" + std::to_string(show));
  environment.insert(environment.end(), extra_environment_.begin(), extra_environment_.end());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (!working_folder_.empty()) {
    ::posix_spawn_file_actions_addchdir_np(&actions, working_folder_.c_str());
  }
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

int ProgramRun::Wait(int pid) {
  if (pid <= 0) return -1000;
  if (!WaitForProcess(pid)) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1002;
}

bool ProgramRun::WaitForLaunched(size_t limit) {
  std::set<int> waited;
  for (bool more = true; more;) {
    more = false;
    for (const Launch& launch : Launches()) {
      if (waited.count(launch.pid) != 0) continue;
      if (waited.size() == limit) return false;
      waited.insert(launch.pid);
      WaitForProcess(launch.pid);
      more = true;  // it may have launched others
    }
  }
  return true;
}

void ProgramRun::AwaitPrompt() {
  const std::string fifo = folder_.narrow() + "/runas-prompt";
  ::mkfifo(fifo.c_str(), 0600);  // whichever side comes first makes it
  // Opening for writing returns once the program has opened it to read its answer. The test's
  // time limit bounds a program that never gets there.
  while ((prompt_ = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
  }
}

void ProgramRun::AnswerPrompt(const std::string& answer) {
  if (prompt_ < 0) return;
  const std::string line = answer + "\n";
  if (::write(prompt_, line.data(), line.size()) < 0) {
    // The program went away; closing below is all that is left to do.
  }
  ::close(prompt_);
  prompt_ = -1;
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

std::string ProgramRun::Log(const std::string& documents) const {
  return ReadFile(documents + "/Kuvo 10.0/Log/KuvoPhone.log");
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
