// A test on an emulated machine loaded from one of the shipped scenarios (or from text).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "adapter_test_support.h"
#include "platform/last_error.h"
#include "platform/testing/emulated_machine.h"
#include "platform/testing/registry_emulation.h"

namespace assist_test {

constexpr char kPhoneGuid[] = "{6E1B4A2C-3F5D-4E8A-9B7C-1D2E3F4A5B6C}";
constexpr char kSecondPhoneGuid[] = "{9A3C5E7F-1B2D-4F60-8A9B-0C1D2E3F4A5B}";
constexpr char kWiredGuid[] = "{1F0C2A6E-8B1D-4C55-9E0A-3D7B5A9C0E11}";
constexpr wchar_t kInterfaces[] =
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";

inline std::string ScenarioPath(const std::string& name) {
  return std::string(KUVO_ASSIST_SCENARIOS) + "/" + name + ".machine";
}

inline std::wstring InterfaceKey(const std::string& guid) {
  return kInterfaces + std::wstring(guid.begin(), guid.end());
}

class MachineTest : public ::testing::Test {
 protected:
  void Load(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(machine_.LoadScenarioFile(ScenarioPath(scenario), &error)) << error;
  }
  void LoadText(const std::string& text) {
    std::string error;
    ASSERT_TRUE(machine_.LoadScenario(text, &error)) << error;
  }
  std::vector<std::wstring> Multi(const std::string& guid, const wchar_t* name) {
    std::vector<std::wstring> texts;
    EXPECT_TRUE(platform::ReadRegistryMultiStringForTesting(platform::RegistryRoot::kLocalMachine,
                                                            InterfaceKey(guid), name, &texts))
        << "no multi-string " << std::string(name, name + wcslen(name));
    return texts;
  }
  uint32_t Dword(const std::string& guid, const wchar_t* name) {
    uint32_t value = 0xFFFFFFFF;
    EXPECT_TRUE(platform::ReadRegistryDwordForTesting(platform::RegistryRoot::kLocalMachine,
                                                      InterfaceKey(guid), name, &value));
    return value;
  }
  // Nothing of COM, device lists or registry handles is held.
  void ExpectNothingHeld() {
    EXPECT_EQ(machine_.live_com_objects(), 0u);
    EXPECT_EQ(machine_.live_device_lists(), 0u);
    EXPECT_EQ(machine_.live_safe_arrays(), 0u);
    EXPECT_EQ(machine_.live_bstrs(), 0u);
    EXPECT_EQ(machine_.com_init_depth(), 0);
    EXPECT_EQ(platform::OpenRegistryHandleCountForTesting(), 0u);
  }

  TraceLog log_;
  platform::EmulatedMachine machine_;
};

}  // namespace assist_test
