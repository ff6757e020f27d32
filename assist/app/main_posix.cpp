// KuvoAssist's entry on systems other than Windows: the program runs on the emulated machine of
// the scenario file that KUVO_MACHINE_SCENARIO names and writes its changes back into that file
// when it ends (platform/program_entry.h). KUVO_ASSIST_SHOW gives the show command (1 when
// unset).
#include <cstdlib>
#include <string>

#include "common/text_conversion.h"
#include "module_resources.h"
#include "platform/environment.h"
#include "platform/program_entry.h"
#include "start_up.h"

namespace {

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
  return platform::RunProgram(argc, argv, Resources(), [](const std::string& command_line) {
    const std::string show_text = platform::GetEnvOrEmpty("KUVO_ASSIST_SHOW");
    const int show = show_text.empty() ? 1 : std::atoi(show_text.c_str());
    return assist::RunKuvoAssist(platform::CurrentSystem(),
                                 kuvo::NarrowToWide(command_line.c_str(), 65001), show);
  });
}
