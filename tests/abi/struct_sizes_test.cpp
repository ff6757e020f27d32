// Sizes of the Windows records whose byte counts the adapter repair and the elevated relaunch
// rely on (buffers are sized from them, cbSize fields are set from them). The 32-bit figures are
// the deliverable's; the 64-bit ones are checked where they are documented.
#include <gtest/gtest.h>

#include <windows.h>
// windows.h first: these headers depend on its types.
#include <iphlpapi.h>
#include <setupapi.h>
#include <shellapi.h>

namespace abi_test {
namespace {

#if defined(__i386__)
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA on x86");
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20, "SP_PROPCHANGE_PARAMS on x86");
static_assert(sizeof(SP_CLASSINSTALL_HEADER) == 8, "SP_CLASSINSTALL_HEADER on x86");
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "SHELLEXECUTEINFOW on x86");
static_assert(sizeof(IP_ADAPTER_INFO) == 648, "IP_ADAPTER_INFO on x86 (64-bit lease times)");
static_assert(sizeof(FIXED_INFO) == 584, "FIXED_INFO on x86");
#elif defined(__x86_64__)
static_assert(sizeof(SP_DEVINFO_DATA) == 32, "SP_DEVINFO_DATA on x64");
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20, "SP_PROPCHANGE_PARAMS on x64");
static_assert(sizeof(SP_CLASSINSTALL_HEADER) == 8, "SP_CLASSINSTALL_HEADER on x64");
static_assert(sizeof(SHELLEXECUTEINFOW) == 112, "SHELLEXECUTEINFOW on x64");
static_assert(sizeof(IP_ADAPTER_INFO) > 648, "IP_ADAPTER_INFO on x64");
#endif
static_assert(sizeof(TOKEN_ELEVATION) == 4, "TOKEN_ELEVATION");

// The records' first member is their own size: a library built against other headers would
// answer ERROR_INVALID_USER_BUFFER for the cbSize it gets.
TEST(WindowsRecordSizes, DeviceInstallerAcceptsTheRecordSize) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof(data);
  // An empty list has no member 0: the answer must be "no more items", not a size complaint.
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  data.cbSize = sizeof(data) + 4;
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
}  // namespace abi_test
