// Parsing registry scenario text (the format is described in
// platform/testing/registry_emulation.h). Portable, so the parser is tested on every platform;
// the registry emulation loads scenarios with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform {

struct RegistryScenarioValue {
  std::wstring name;  // empty for the default value
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
};

struct RegistryScenarioKey {
  RegistryRoot root = RegistryRoot::kCurrentUser;
  std::wstring path;  // relative to the root, '\\' between names, never empty
  bool deny_write = false;
  std::vector<RegistryScenarioValue> values;  // in file order
};

// Parses `text`. On failure returns false with "line N: reason" in `error` (may be null) and
// leaves `keys` unspecified. A key named in several sections appears once per section.
bool ParseRegistryScenario(const std::string& text, std::vector<RegistryScenarioKey>* keys,
                           std::string* error);

// The scenario text that gives `keys` back when parsed (values written in their most
// readable form).
std::string FormatRegistryScenario(const std::vector<RegistryScenarioKey>& keys);

}  // namespace platform
