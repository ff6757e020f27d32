// Registry scenario text and user-dirs files are read from files a user can edit: parsing must
// survive any bytes, and scenario text that parses must come back unchanged through a dump.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry_scenario.h"
#include "platform/xdg_user_dirs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::FindXdgUserDir(text, "XDG_DOCUMENTS_DIR", "/home/user");

  std::vector<platform::RegistryScenarioKey> keys;
  std::string error;
  if (!platform::ParseRegistryScenario(text, &keys, &error)) return 0;
  std::vector<platform::RegistryScenarioKey> again;
  if (!platform::ParseRegistryScenario(platform::FormatRegistryScenario(keys), &again, &error)) {
    std::abort();
  }
  if (again.size() != keys.size()) std::abort();
  for (size_t i = 0; i < keys.size(); ++i) {
    if (again[i].root != keys[i].root || again[i].path != keys[i].path ||
        again[i].deny_write != keys[i].deny_write ||
        again[i].values.size() != keys[i].values.size()) {
      std::abort();
    }
    for (size_t j = 0; j < keys[i].values.size(); ++j) {
      const platform::RegistryScenarioValue& a = keys[i].values[j];
      const platform::RegistryScenarioValue& b = again[i].values[j];
      if (a.name != b.name || a.type != b.type || a.data != b.data) std::abort();
    }
  }
  return 0;
}
