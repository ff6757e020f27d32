// What a process writes back of an emulated machine: its own changes, onto what other processes
// wrote meanwhile.
#include "platform/testing/machine_merge.h"

#include <gtest/gtest.h>

#include "machine_fixture.h"

namespace assist_test {
namespace {

class MachineMergeTest : public MachineTest {
 protected:
  std::string Saved() const { return machine_.SaveScenario(); }
};

TEST_F(MachineMergeTest, ChangesOfTwoProcessesToDifferentItemsBothStay) {
  Load("phone-misconfigured");
  const std::string base = Saved();

  // One process repairs the phone and registers a key; another meanwhile disables the wired
  // adapter, changes a value the first also had, and removes a key.
  machine_.FindAdapter(kPhoneGuid)->address = "192.168.225.21";
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kClassesRoot, L"TypeLib\\{X}", L"",
                                         L"lib");
  platform::SeedRegistryDwordForTesting(platform::RegistryRoot::kLocalMachine,
                                        InterfaceKey(kPhoneGuid), L"InterfaceMetric", 9999);
  const std::string mine = Saved();

  Load("phone-misconfigured");
  machine_.FindAdapter(kWiredGuid)->enabled = false;
  platform::SeedRegistryDwordForTesting(platform::RegistryRoot::kLocalMachine,
                                        InterfaceKey(kPhoneGuid), L"InterfaceMetric", 5);
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kLocalMachine,
                                         InterfaceKey(kWiredGuid), L"Extra", L"x");
  const std::string theirs = Saved();

  LoadText(platform::MergeMachineScenario(base, mine, theirs));
  EXPECT_EQ(machine_.FindAdapter(kPhoneGuid)->address, "192.168.225.21");
  EXPECT_FALSE(machine_.FindAdapter(kWiredGuid)->enabled);
  std::wstring text;
  EXPECT_TRUE(platform::ReadRegistryStringForTesting(platform::RegistryRoot::kClassesRoot,
                                                     L"TypeLib\\{X}", L"", &text));
  EXPECT_EQ(Dword(kPhoneGuid, L"InterfaceMetric"), 9999u);  // the later write-back wins
  EXPECT_TRUE(platform::ReadRegistryStringForTesting(platform::RegistryRoot::kLocalMachine,
                                                     InterfaceKey(kWiredGuid), L"Extra", &text));
  // Nothing changed, nothing merged: their machine as it was.
  EXPECT_EQ(platform::MergeMachineScenario(base, base, theirs), theirs);
}

TEST_F(MachineMergeTest, WhatAProcessRemovedIsRemoved) {
  Load("phone-configured");
  platform::SeedRegistryStringForTesting(platform::RegistryRoot::kClassesRoot, L"TypeLib\\{X}", L"",
                                         L"lib");
  const std::string base = Saved();
  ASSERT_EQ(platform::DeleteRegistryTree(platform::RootKey(platform::RegistryRoot::kClassesRoot),
                                         L"TypeLib"),
            0u);
  const std::string mine = Saved();
  LoadText(platform::MergeMachineScenario(base, mine, base));
  EXPECT_FALSE(
      platform::RegistryKeyExistsForTesting(platform::RegistryRoot::kClassesRoot, L"TypeLib"));
}

}  // namespace
}  // namespace assist_test
