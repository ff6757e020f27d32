// KuvoAssist's entry on systems other than Windows: the program runs on the emulated machine of
// the scenario file that KUVO_MACHINE_SCENARIO names (an empty machine without one) and writes
// its changes back into that file when it ends. KUVO_ASSIST_SHOW gives the show command (1 when
// unset). Processes of one run folder overlap; only each load and each write-back of the machine
// is serialised (platform/testing/machine_merge.h). Besides its exit status, the full exit code
// goes to "exit-codes.log" in the run folder as "<pid>\t<code>".
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/text_conversion.h"
#include "module_resources.h"
#include "platform/testing/emulated_com_module.h"
#include "platform/testing/emulated_machine.h"
#include "platform/testing/emulated_process.h"
#include "platform/testing/machine_merge.h"
#include "start_up.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

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

// Loads scenario text into the process's [process] section and machine; false with a message.
bool Load(const std::string& path, const std::string& text, bool read,
          platform::ProcessScenario* process, platform::EmulatedMachine* machine) {
  std::string rest, error;
  if (!read || !platform::SplitProcessScenario(text, process, &rest, &error) ||
      !machine->LoadScenario(rest, &error)) {
    std::fprintf(stderr, "KuvoAssist: cannot load %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

platform::ModuleResources Resources() {
  platform::ModuleResources resources;
  resources.data[{assist::kRegistryResourceType, assist::kRegistryScriptId}] =
      assist::kRegistryScript;
  resources.strings[assist::kProjectNameId] = assist::kProjectName;
  resources.type_library = {assist::kModuleLibid, assist::kTypeLibraryName,
                            assist::kTypeLibraryMajor, assist::kTypeLibraryMinor};
  return resources;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scenario_file = Environment("KUVO_MACHINE_SCENARIO");
  std::string run_folder = Environment(platform::kRunFolderVariable);
  if (run_folder.empty() && !scenario_file.empty()) run_folder = FolderOf(scenario_file);

  platform::ProcessScenario process_scenario;
  platform::EmulatedMachine machine;
  std::string loaded;  // the machine as this process found it
  if (!scenario_file.empty()) {
    bool read = false;
    std::string text;
    {
      platform::RunFolderLock machine_lock(run_folder, "machine.lock");
      text = ReadText(scenario_file, &read);
    }
    if (!Load(scenario_file, text, read, &process_scenario, &machine)) return 2;
    loaded = machine.SaveScenario();
  }

  int code = 0;
  {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    platform::EmulatedProcess process(process_scenario, run_folder,
                                      ProgramPath(argc > 0 ? argv[0] : nullptr), arguments);
    platform::EmulatedComModule com(machine.Services().wmi, Resources());

    assist::ProgramServices services;
    services.adapter = machine.Services();
    services.process = &process;
    services.com = &com;
    const std::string show_text = Environment("KUVO_ASSIST_SHOW");
    const int show = show_text.empty() ? 1 : std::atoi(show_text.c_str());
    code = assist::RunKuvoAssist(
        services, kuvo::NarrowToWide(platform::JoinCommandLine(arguments).c_str(), 65001), show);
  }

  if (!scenario_file.empty()) {
    // Only this process's changes go back, onto what the others have written meanwhile.
    const std::string mine = machine.SaveScenario();
    platform::RunFolderLock machine_lock(run_folder, "machine.lock");
    bool read = false;
    const std::string text = ReadText(scenario_file, &read);
    platform::ProcessScenario now;
    if (Load(scenario_file, text, read, &now, &machine)) {
      std::ofstream file(scenario_file, std::ios::binary | std::ios::trunc);
      file << platform::FormatProcessScenario(now)
           << platform::MergeMachineScenario(loaded, mine, machine.SaveScenario());
    }
  }
  if (!run_folder.empty()) {
    std::ofstream log(run_folder + "/exit-codes.log", std::ios::app | std::ios::binary);
    log << ::getpid() << '\t' << code << '\n';
  }
  return code;
}
