// A process of its own for the registry emulation's start: makes one registry call (which loads
// the scenario that KUVO_REGISTRY_SCENARIO names), then prints the DWORD value "V" of
// HKEY_LOCAL_MACHINE\Probe, or "no value".
#include <cstdint>
#include <cstdio>

#include "platform/registry.h"

int main() {
  using namespace platform;
  RegistryKey key = nullptr;
  uint32_t value = 0;
  uint32_t size = sizeof(value);
  if (OpenRegistryKey(RootKey(RegistryRoot::kLocalMachine), L"Probe", kKeyRead, &key) ==
          kErrorSuccess &&
      QueryRegistryValue(key, L"V", nullptr, &value, &size) == kErrorSuccess) {
    std::printf("V=%u\n", static_cast<unsigned>(value));
  } else {
    std::printf("no value\n");
  }
  if (key != nullptr) CloseRegistryKey(key);
  return 0;
}
