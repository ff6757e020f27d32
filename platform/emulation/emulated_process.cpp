// Process services on systems other than Windows: events as locked files of the run folder,
// "runas" as a real process of the program.
#include "platform/testing/emulated_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/last_error.h"
#include "scenario_text.h"

extern char** environ;

namespace platform {

namespace {

bool ParseVersion(const std::string& text, uint32_t* version) {
  unsigned major = 0, minor = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%u.%u%c", &major, &minor, &tail) != 2) return false;
  if (major > 255 || minor > 255) return false;
  *version = major | (minor << 8);
  return true;
}

// Event names become file names: letters, digits, '-' and '.' stay, the rest is hexadecimal.
std::string EventFileName(const std::wstring& name) {
  std::string file = "event-";
  char hex[16];
  for (wchar_t c : name) {
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
        c == L'-') {
      file += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof(hex), "_%x_", static_cast<unsigned>(c));
      file += hex;
    }
  }
  return file + ".lock";
}

bool IsVariable(const char* entry, const char* name) {
  const size_t n = std::strlen(name);
  return std::strncmp(entry, name, n) == 0 && entry[n] == '=';
}

// Blocks until the process `pid` has ended (at once when it has already).
void WaitForProcessEnd(uint32_t pid) {
  const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0);
  if (fd < 0) return;
  pollfd wait{static_cast<int>(fd), POLLIN, 0};
  while (::poll(&wait, 1, -1) < 0 && errno == EINTR) {
  }
  ::close(static_cast<int>(fd));
}

int OpenLockFile(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

}  // namespace

bool SplitProcessScenario(const std::string& text, ProcessScenario* process, std::string* rest,
                          std::string* error) {
  *process = ProcessScenario{};
  rest->clear();
  std::istringstream lines(text);
  bool inside = false;
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    const std::string item = Trim(line);
    if (!item.empty() && item[0] == '[') inside = item == "[process]";
    if (!inside) {
      *rest += line + "\n";
      continue;
    }
    if (item.empty() || item[0] == '#' || item == "[process]") continue;
    const size_t equals = item.find('=');
    const std::string key = Trim(item.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : Trim(item.substr(equals + 1));
    bool ok = equals != std::string::npos;
    if (!ok) {
    } else if (key == "version") {
      ok = ParseVersion(value, &process->version);
    } else if (key == "elevated") {
      ok = ParseYesNo(value, &process->elevated);
    } else if (key == "token") {
      ok = ParseYesNo(value, &process->token);
    } else if (key == "slow_start") {
      ok = ParseYesNo(value, &process->slow_start);
    } else if (key == "runas") {
      process->runas_unelevated = value == "unelevated";
      process->runas_asks = value == "ask";
      process->runas_accepted = value == "accept" || process->runas_unelevated;
      ok = process->runas_accepted || process->runas_asks ||
           ParseNumber(value, &process->runas_error);
    } else {
      ok = false;
    }
    if (!ok) {
      *error = "line " + std::to_string(number) + ": " + item;
      return false;
    }
  }
  return true;
}

std::string FormatProcessScenario(const ProcessScenario& process) {
  std::string text = "[process]\n";
  text += "version = " + std::to_string(process.version & 0xFF) + "." +
          std::to_string((process.version >> 8) & 0xFF) + "\n";
  text += std::string("elevated = ") + (process.elevated ? "yes" : "no") + "\n";
  text += std::string("token = ") + (process.token ? "yes" : "no") + "\n";
  text += std::string("slow_start = ") + (process.slow_start ? "yes" : "no") + "\n";
  std::string runas = std::to_string(process.runas_error);
  if (process.runas_asks) {
    runas = "ask";
  } else if (process.runas_unelevated) {
    runas = "unelevated";
  } else if (process.runas_accepted) {
    runas = "accept";
  }
  text += "runas = " + runas + "\n\n";
  return text;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    std::string argument;
    bool quoted = false;
    while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && line[i] == '\\') ++slashes, ++i;
        if (i < n && line[i] == '"') {
          argument.append(slashes / 2, '\\');
          if (slashes % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(slashes, '\\');
        }
      } else if (line[i] == '"') {
        quoted = !quoted;
        ++i;
      } else {
        argument += line[i++];
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
      line += argument;
      continue;
    }
    line += '"';
    size_t slashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      line.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
      slashes = 0;
      line += c;
    }
    line.append(slashes * 2, '\\');
    line += '"';
  }
  return line;
}

EmulatedProcess::EmulatedProcess(const ProcessScenario& scenario, std::string run_folder,
                                 std::string program, std::vector<std::string> arguments)
    : scenario_(scenario),
      run_folder_(std::move(run_folder)),
      program_(std::move(program)),
      arguments_(std::move(arguments)) {
  const char* parent = std::getenv(kParentVariable);
  parent_ = parent != nullptr && *parent != '\0'
                ? static_cast<uint32_t>(std::strtoul(parent, nullptr, 10))
                : static_cast<uint32_t>(::getppid());
  const char* slow = std::getenv(kSlowStartVariable);
  if (slow != nullptr && std::strcmp(slow, "1") == 0) WaitForProcessEnd(parent_);
}

EmulatedProcess::~EmulatedProcess() {
  for (int fd : event_files_) ::close(fd);
}

bool EmulatedProcess::elevated() const {
  const char* variable = std::getenv(kElevatedVariable);
  return scenario_.elevated || (variable != nullptr && std::strcmp(variable, "1") == 0);
}

uint32_t EmulatedProcess::GetVersion() {
  return scenario_.version;
}

bool EmulatedProcess::OpenProcessTokenForQuery(ProcessToken* token) {
  if (!scenario_.token) {
    SetLastErrorCode(kErrorAccessDenied);
    return false;
  }
  ++open_tokens_;
  *token = reinterpret_cast<ProcessToken>(this);
  return true;
}

bool EmulatedProcess::QueryTokenElevation(ProcessToken token, void* buffer, uint32_t size,
                                          uint32_t* returned) {
  if (token != reinterpret_cast<ProcessToken>(this) || open_tokens_ == 0) {
    SetLastErrorCode(kErrorInvalidHandle);
    return false;
  }
  *returned = kTokenElevationSize;
  if (size < kTokenElevationSize || buffer == nullptr) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return false;
  }
  const uint32_t value = elevated() ? 1 : 0;
  std::memcpy(buffer, &value, sizeof(value));
  return true;
}

void EmulatedProcess::CloseToken(ProcessToken token) {
  if (token == reinterpret_cast<ProcessToken>(this) && open_tokens_ > 0) --open_tokens_;
}

NamedEvent EmulatedProcess::CreateNamedEvent(bool, bool, const wchar_t* name) {
  if (run_folder_.empty() || name == nullptr) {
    SetLastErrorCode(kErrorPathNotFound);
    return nullptr;
  }
  // The guard makes "is it new, then hold it" one step across processes.
  RunFolderLock guard(run_folder_, "events.guard");
  const int fd = OpenLockFile(run_folder_ + "/" + EventFileName(name));
  if (fd < 0) {
    SetLastErrorCode(ErrorFromErrno(errno));
    return nullptr;
  }
  const bool created = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (::flock(fd, LOCK_SH) != 0) {
    SetLastErrorCode(ErrorFromErrno(errno));
    ::close(fd);
    return nullptr;
  }
  event_files_.push_back(fd);
  SetLastErrorCode(created ? kErrorSuccess : kErrorAlreadyExists);
  return reinterpret_cast<NamedEvent>(static_cast<intptr_t>(event_files_.size()));
}

uint32_t EmulatedProcess::GetModuleFileName(wchar_t* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return 0;
  }
  const std::wstring path = Utf8ToWide(program_);
  if (path.size() >= size) {
    path.copy(buffer, size - 1);
    buffer[size - 1] = L'\0';
    SetLastErrorCode(kErrorInsufficientBuffer);
    return size;
  }
  path.copy(buffer, path.size());
  buffer[path.size()] = L'\0';
  SetLastErrorCode(kErrorSuccess);
  return static_cast<uint32_t>(path.size());
}

std::wstring EmulatedProcess::GetCommandLine() {
  std::vector<std::string> all{program_};
  all.insert(all.end(), arguments_.begin(), arguments_.end());
  return Utf8ToWide(JoinCommandLine(all));
}

bool EmulatedProcess::AwaitPromptAnswer() {
  const std::string fifo = run_folder_ + "/" + kRunasPromptName;
  if (run_folder_.empty() || (::mkfifo(fifo.c_str(), 0600) != 0 && errno != EEXIST)) {
    SetLastErrorCode(kErrorCancelled);
    return false;
  }
  int fd = -1;
  while ((fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
  }
  std::string answer;
  char buffer[64];
  for (ssize_t n = 0; fd >= 0;) {
    n = ::read(fd, buffer, sizeof(buffer));
    if (n > 0) {
      answer.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  if (fd >= 0) ::close(fd);
  for (char& c : answer) c = c == '\n' ? ' ' : c;
  answer = Trim(answer);
  ErrorCode error = kErrorCancelled;
  if (answer == "accept") return true;
  if (!ParseNumber(answer, &error)) error = kErrorCancelled;
  SetLastErrorCode(error);
  return false;
}

bool EmulatedProcess::ShellExecuteEx(const ShellExecuteRequest& request) {
  const bool runas = request.verb == L"runas";
  if (runas && scenario_.runas_asks && !AwaitPromptAnswer()) return false;
  if (runas && !scenario_.runas_accepted && !scenario_.runas_asks) {
    SetLastErrorCode(scenario_.runas_error);
    return false;
  }
  const std::string file = WideToUtf8(request.file);
  if (::access(file.c_str(), X_OK) != 0) {
    SetLastErrorCode(kErrorFileNotFound);
    return false;
  }
  const std::string parameters = WideToUtf8(request.parameters);
  std::vector<std::string> arguments = SplitCommandLine(parameters);
  arguments.insert(arguments.begin(), file);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  // The started process sees the environment of this one, with an elevated token for "runas"
  // (unless the scenario starts it unelevated), and this process as its parent.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (IsVariable(*entry, kElevatedVariable) || IsVariable(*entry, kParentVariable) ||
        IsVariable(*entry, kSlowStartVariable)) {
      continue;
    }
    environment.emplace_back(*entry);
  }
  if (runas && !scenario_.runas_unelevated) {
    environment.push_back(std::string(kElevatedVariable) + "=1");
  }
  environment.push_back(std::string(kParentVariable) + "=" + std::to_string(::getpid()));
  if (runas && scenario_.slow_start) environment.push_back(std::string(kSlowStartVariable) + "=1");
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(&entry[0]);
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (spawned != 0) {
    SetLastErrorCode(ErrorFromErrno(spawned));
    return false;
  }
  if (!run_folder_.empty()) {
    RunFolderLock guard(run_folder_, "launches.guard");
    std::ofstream log(run_folder_ + "/" + kLaunchLogName, std::ios::app | std::ios::binary);
    log << pid << '\t' << WideToUtf8(request.verb) << '\t' << request.show << '\t' << parameters
        << '\n';
  }
  SetLastErrorCode(kErrorSuccess);
  return true;
}

uint32_t EmulatedProcess::GetCurrentProcessId() {
  return static_cast<uint32_t>(::getpid());
}

uint32_t EmulatedProcess::GetParentProcessId() {
  return parent_;
}

bool EmulatedProcess::WriteSmallFile(const std::wstring& path, const std::string& bytes) {
  const int fd = ::open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastErrorCode(ErrorFromErrno(errno));
    return false;
  }
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  const int error = errno;
  ::close(fd);
  if (written != static_cast<ssize_t>(bytes.size())) {
    SetLastErrorCode(ErrorFromErrno(error));
    return false;
  }
  SetLastErrorCode(kErrorSuccess);
  return true;
}

bool EmulatedProcess::ReadSmallFile(const std::wstring& path, uint32_t limit, std::string* bytes) {
  const int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetLastErrorCode(ErrorFromErrno(errno));
    return false;
  }
  bytes->assign(limit, '\0');
  const ssize_t n = limit == 0 ? 0 : ::read(fd, &(*bytes)[0], limit);
  const int error = errno;
  ::close(fd);
  if (n < 0) {
    bytes->clear();
    SetLastErrorCode(ErrorFromErrno(error));
    return false;
  }
  bytes->resize(static_cast<size_t>(n));
  SetLastErrorCode(kErrorSuccess);
  return true;
}

uint32_t EmulatedProcess::GetCurrentThreadId() {
  return static_cast<uint32_t>(::syscall(SYS_gettid));
}

void EmulatedProcess::Sleep(uint32_t milliseconds) {
  timespec delay{static_cast<time_t>(milliseconds / 1000),
                 static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

ErrorCode EmulatedProcess::LastErrorCode() {
  return GetLastErrorCode();
}

RunFolderLock::RunFolderLock(const std::string& run_folder, const char* name) {
  if (run_folder.empty()) return;
  fd_ = OpenLockFile(run_folder + "/" + name);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

RunFolderLock::~RunFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
