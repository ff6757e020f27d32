// The emulated machine of a process that is not a test: the program gets its machine from a
// scenario file and writes it back.
#include <cstdio>
#include <string>

#include "platform/adapter_services.h"
#include "platform/testing/emulated_machine.h"

namespace platform {

namespace {

EmulatedMachine& ProcessMachine() {
  static EmulatedMachine* machine = [] {
    auto* loaded = new EmulatedMachine();  // lives as long as the process
    std::string error;
    if (!loaded->LoadScenarioFromEnvironment(&error)) {
      std::fprintf(stderr, "machine scenario: %s\n", error.c_str());
    }
    return loaded;
  }();
  return *machine;
}

}  // namespace

AdapterServices ProcessAdapterServices() {
  return ProcessMachine().Services();
}

bool SaveProcessAdapterServices() {
  return ProcessMachine().SaveScenarioToEnvironment();
}

}  // namespace platform
