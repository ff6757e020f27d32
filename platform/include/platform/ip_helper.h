// The IP helper (GetAdaptersInfo, GetNetworkParams) in portable records.
//
// Both calls keep the system's buffer protocol: the caller states the room it offers in bytes,
// and a call answers kErrorBufferOverflow with the size it needs when that is too small. The
// implementation reads the system's records (IP_ADAPTER_INFO, FIXED_INFO) within the buffer it
// was given and copies every fixed-size text field up to its own length at most, so no record
// can make a reader run past it. A failed call also sets the calling thread's last error to
// the code it answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/error_codes.h"

namespace platform {

constexpr ErrorCode kErrorBufferOverflow = 111;
constexpr ErrorCode kErrorNoData = 232;
constexpr uint32_t kMibIfTypeEthernet = 6;

struct IpAddressEntry {
  std::string address;  // dotted text as the system gives it
  std::string mask;
};

struct IpAdapter {
  uint32_t type = 0;                      // MIB_IF_TYPE_*
  std::string name;                       // the adapter GUID text in braces
  std::string description;                // system code page (UTF-8 outside Windows)
  std::vector<IpAddressEntry> addresses;  // IpAddressList, in order
  std::string gateway;                    // address of the first GatewayList entry
};

struct NetworkParams {
  std::string host_name;
  std::vector<std::string> dns_servers;  // DnsServerList, in order
};

class IpHelper {
 public:
  virtual ~IpHelper() = default;

  // sizeof(IP_ADAPTER_INFO) and sizeof(FIXED_INFO) of this build.
  virtual uint32_t AdapterInfoSize() const = 0;
  virtual uint32_t NetworkParamsSize() const = 0;

  // GetAdaptersInfo into a buffer of `*size` bytes. kErrorBufferOverflow sets `*size` to the
  // size needed; kErrorNoData when there is no adapter.
  virtual ErrorCode GetAdaptersInfo(uint32_t* size, std::vector<IpAdapter>* adapters) = 0;
  // GetNetworkParams into a buffer of `*size` bytes, the same way.
  virtual ErrorCode GetNetworkParams(uint32_t* size, NetworkParams* params) = 0;
};

}  // namespace platform
