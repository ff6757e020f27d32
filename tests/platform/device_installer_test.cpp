// The device installer's list and buffer protocol: the same cases against SetupDi (under wine,
// with the machine's own devices) and against an emulated machine with one network adapter, put
// in place the way a test swaps any service of the System.
#include "platform/device_installer.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "platform/last_error.h"
#include "platform/program_entry.h"
#if !defined(_WIN32)
#include "platform/testing/emulated_machine.h"
#include "platform/testing/system_override.h"
#endif

namespace {

// GUID_DEVCLASS_NET.
constexpr platform::Guid kNetClass = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class DeviceInstallerTest : public ::testing::Test {
 protected:
  DeviceInstallerTest() {
#if defined(_WIN32)
    devices_ = platform::ProgramSystem().adapter.devices;
#else
    platform::EmulatedDevice device;
    device.instance_id = L"PCI\\VEN_8086&DEV_100E\\3&1";
    device.has_adapter = true;
    device.guid = "{5A0C7E2B-9D41-4F3A-8C6E-2B7D1E0F9A35}";
    machine_.AddDevice(device);
    system_.adapter = machine_.Services();
    override_ = std::make_unique<platform::ScopedSystemOverride>(system_);
    devices_ = platform::CurrentSystem().adapter.devices;
#endif
  }

#if !defined(_WIN32)
  platform::EmulatedMachine machine_;
  platform::System system_;
  std::unique_ptr<platform::ScopedSystemOverride> override_;
#endif
  platform::DeviceInstaller* devices_ = nullptr;
};

// "DIGCF_ALLCLASSES: Return a list of installed devices for the specified device setup classes
// or device interface classes" and ClassGuid "must be supplied if DIGCF_ALLCLASSES is not set"
// (SetupDiGetClassDevsW, Microsoft Learn).
TEST_F(DeviceInstallerTest, AListWithoutAClassNeedsAllClasses) {
  platform::SetLastErrorCode(0);
  EXPECT_EQ(devices_->GetClassDevs(platform::kDigcfPresent), nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
}

TEST_F(DeviceInstallerTest, EveryDeviceHasAnInstanceIdSizedAsAskedAndTheListEndsWithNoMoreItems) {
  const platform::DeviceList list =
      devices_->GetClassDevs(platform::kDigcfPresent | platform::kDigcfAllClasses);
  ASSERT_NE(list, nullptr) << platform::GetLastErrorCode();
  uint32_t index = 0;
  platform::DeviceEntry entry;
  for (; devices_->EnumDeviceInfo(list, index, &entry); ++index) {
    uint32_t required = 0;
    EXPECT_FALSE(devices_->GetDeviceInstanceId(list, entry, nullptr, 0, &required));
    EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);
    ASSERT_GT(required, 1u);
    std::vector<wchar_t> id(required, L'?');
    ASSERT_TRUE(devices_->GetDeviceInstanceId(list, entry, id.data(), required, &required));
    EXPECT_EQ(std::wcslen(id.data()) + 1, required);
  }
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorNoMoreItems) << "after " << index;
  RecordProperty("devices", static_cast<int>(index));
  EXPECT_TRUE(devices_->DestroyDeviceInfoList(list));
}

TEST_F(DeviceInstallerTest, TheNetClassNameIsSizedAsAsked) {
  wchar_t name[8] = {L'?'};
  uint32_t required = 0;
  EXPECT_FALSE(devices_->ClassNameFromGuid(kNetClass, name, 1, &required));
#if defined(_WIN32)
  if (platform::GetLastErrorCode() == platform::kErrorFileNotFound) {
    GTEST_SKIP() << "the system's registry has no Net setup class here (wine's has none)";
  }
#endif
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);
  ASSERT_EQ(required, 4u);
  ASSERT_TRUE(devices_->ClassNameFromGuid(kNetClass, name, required, &required));
  EXPECT_STREQ(name, L"Net");
}

}  // namespace
