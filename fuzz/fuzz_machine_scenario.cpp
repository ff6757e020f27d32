// Machine scenarios are files a user writes and the program reads through an environment
// variable: loading must survive any bytes, and a machine that loaded must write itself out as
// text that loads again to the same machine.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/testing/emulated_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::EmulatedMachine machine;
  std::string error;
  if (!machine.LoadScenario(text, &error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  const std::string saved = machine.SaveScenario();
  if (!machine.LoadScenario(saved, &error)) {
    std::fprintf(stderr, "saved scenario refused: %s\n%s\n", error.c_str(), saved.c_str());
    std::abort();
  }
  const std::string again = machine.SaveScenario();
  if (again != saved) {
    std::fprintf(stderr, "saved:\n%s\nthen:\n%s\n", saved.c_str(), again.c_str());
    std::abort();
  }
  return 0;
}
