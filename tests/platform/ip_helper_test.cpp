// The IP helper's buffer protocol: the same case against GetAdaptersInfo and GetNetworkParams
// (under wine, with the machine's own adapters) and against the emulated machine with one adapter.
#include "platform/ip_helper.h"

#include <gtest/gtest.h>

#include "platform/program_entry.h"
#if !defined(_WIN32)
#include "platform/testing/emulated_machine.h"
#endif

namespace {

class IpHelperTest : public ::testing::Test {
 protected:
  IpHelperTest() {
#if defined(_WIN32)
    ip_ = platform::ProgramSystem().adapter.ip;
#else
    platform::EmulatedDevice device;
    device.instance_id = L"PCI\\VEN_8086&DEV_100E\\3&1";
    device.has_adapter = true;
    device.guid = "{5A0C7E2B-9D41-4F3A-8C6E-2B7D1E0F9A35}";
    device.description = "Ethernet";
    device.address = "192.168.1.20";
    device.mask = "255.255.255.0";
    machine_.AddDevice(device);
    machine_.SetDnsServers({"192.168.1.1"});
    ip_ = machine_.Services().ip;
#endif
  }

#if !defined(_WIN32)
  platform::EmulatedMachine machine_;
#endif
  platform::IpHelper* ip_ = nullptr;
};

TEST_F(IpHelperTest, TooSmallABufferAnswersOverflowWithTheSizeThatThenSucceeds) {
  uint32_t size = 1;
  std::vector<platform::IpAdapter> adapters;
  platform::ErrorCode answer = ip_->GetAdaptersInfo(&size, &adapters);
  if (answer == platform::kErrorNoData) GTEST_SKIP() << "the system lists no IPv4 adapter here";
  ASSERT_EQ(answer, platform::kErrorBufferOverflow);
  EXPECT_GE(size, ip_->AdapterInfoSize());
  ASSERT_EQ(ip_->GetAdaptersInfo(&size, &adapters), 0u);
  ASSERT_FALSE(adapters.empty());
  for (const platform::IpAdapter& adapter : adapters) {
    EXPECT_EQ(adapter.name.front(), '{') << adapter.name;
    EXPECT_FALSE(adapter.addresses.empty());
  }

  uint32_t params_size = 1;
  platform::NetworkParams params;
  ASSERT_EQ(ip_->GetNetworkParams(&params_size, &params), platform::kErrorBufferOverflow);
  EXPECT_GE(params_size, ip_->NetworkParamsSize());
  ASSERT_EQ(ip_->GetNetworkParams(&params_size, &params), 0u);
  EXPECT_FALSE(params.host_name.empty());
}

}  // namespace
