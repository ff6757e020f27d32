#include "platform/program_entry.h"

#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/environment.h"
#include "platform/testing/emulated_com_module.h"
#include "platform/testing/emulated_machine.h"
#include "platform/testing/emulated_process.h"
#include "platform/testing/machine_merge.h"
#include "platform/testing/system_override.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ProgramPath(const char* argv0) {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n > 0) return std::string(self, static_cast<size_t>(n));
  return argv0 != nullptr ? std::string(argv0) : std::string();
}

std::string ReadText(const std::string& path, bool* ok) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  *ok = static_cast<bool>(file);
  return text.str();
}

// Loads scenario text into the process's [process] section and machine; false with a message
// that begins with the program's file name.
bool Load(const std::string& program, const std::string& path, const std::string& text, bool read,
          ProcessScenario* process, EmulatedMachine* machine) {
  std::string rest, error;
  if (!read || !SplitProcessScenario(text, process, &rest, &error) ||
      !machine->LoadScenario(rest, &error)) {
    const std::string name = program.substr(program.rfind('/') + 1);
    std::fprintf(stderr, "%s: cannot load %s: %s\n", name.c_str(), path.c_str(), error.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunProgram(int argc, char** argv, const ModuleResources& resources,
               const std::function<int(const std::string&)>& program) {
  const std::string scenario_file = GetEnvOrEmpty("KUVO_MACHINE_SCENARIO");
  std::string run_folder = GetEnvOrEmpty(kRunFolderVariable);
  if (run_folder.empty() && !scenario_file.empty()) run_folder = FolderOf(scenario_file);

  const std::string program_path = ProgramPath(argc > 0 ? argv[0] : nullptr);
  ProcessScenario process_scenario;
  EmulatedMachine machine;
  std::string loaded;  // the machine as this process found it
  if (!scenario_file.empty()) {
    bool read = false;
    std::string text;
    {
      RunFolderLock machine_lock(run_folder, "machine.lock");
      text = ReadText(scenario_file, &read);
    }
    if (!Load(program_path, scenario_file, text, read, &process_scenario, &machine)) return 2;
    loaded = machine.SaveScenario();
  }

  int code = 0;
  {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    EmulatedProcess process(process_scenario, run_folder, program_path, arguments);
    EmulatedComModule com(machine.Services().wmi, resources);
    System system;
    system.adapter = machine.Services();
    system.process = &process;
    system.com = &com;
    ScopedSystemOverride in_place(system);
    code = program(JoinCommandLine(arguments));
  }

  if (!scenario_file.empty()) {
    const std::string mine = machine.SaveScenario();
    RunFolderLock machine_lock(run_folder, "machine.lock");
    bool read = false;
    const std::string text = ReadText(scenario_file, &read);
    ProcessScenario now;
    if (Load(program_path, scenario_file, text, read, &now, &machine)) {
      std::ofstream file(scenario_file, std::ios::binary | std::ios::trunc);
      file << FormatProcessScenario(now)
           << MergeMachineScenario(loaded, mine, machine.SaveScenario());
    }
  }
  if (!run_folder.empty()) {
    std::ofstream log(run_folder + "/exit-codes.log", std::ios::app | std::ios::binary);
    log << ::getpid() << '\t' << code << '\n';
  }
  return code;
}

}  // namespace platform
