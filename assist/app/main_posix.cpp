// KuvoAssist's entry on systems other than Windows: the program runs on the emulated machine of
// the scenario file that KUVO_MACHINE_SCENARIO names (an empty machine without one) and writes
// the machine back to that file when it ends. KUVO_ASSIST_SHOW gives the show command (1 when
// unset). Processes of one run folder take turns on the machine (platform/testing/
// emulated_process.h). Besides its exit status, the full exit code goes to "exit-codes.log" in
// the run folder as "<pid>\t<code>".
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

  platform::RunFolderLock machine_lock(run_folder, "machine.lock");
  platform::ProcessScenario process_scenario;
  platform::EmulatedMachine machine;
  if (!scenario_file.empty()) {
    std::ifstream file(scenario_file, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string rest, error;
    if (!file || !platform::SplitProcessScenario(text.str(), &process_scenario, &rest, &error) ||
        !machine.LoadScenario(rest, &error)) {
      std::fprintf(stderr, "KuvoAssist: cannot load %s: %s\n", scenario_file.c_str(),
                   error.c_str());
      return 2;
    }
  }

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
  const int code = assist::RunKuvoAssist(
      services, kuvo::NarrowToWide(platform::JoinCommandLine(arguments).c_str(), 65001), show);

  if (!scenario_file.empty()) {
    std::ofstream file(scenario_file, std::ios::binary | std::ios::trunc);
    file << platform::FormatProcessScenario(process_scenario) << machine.SaveScenario();
  }
  if (!run_folder.empty()) {
    std::ofstream log(run_folder + "/exit-codes.log", std::ios::app | std::ios::binary);
    log << ::getpid() << '\t' << code << '\n';
  }
  return code;
}
