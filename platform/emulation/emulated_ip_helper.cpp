#include "emulated_services.h"
#include "platform/last_error.h"

namespace platform {

ErrorCode EmulatedIpHelper::GetAdaptersInfo(uint32_t* size, std::vector<IpAdapter>* adapters) {
  if (size == nullptr || adapters == nullptr) return kErrorInvalidParameter;
  state_->adapters_info_sizes.push_back(*size);
  if (const ErrorCode failed = PlannedFailure("GetAdaptersInfo", kErrorNotEnoughMemory)) {
    return failed;
  }
  std::vector<IpAdapter> listed;
  for (const EmulatedDevice& device : state_->devices) {
    if (!device.has_adapter || !device.enabled) continue;
    IpAdapter adapter;
    adapter.type = device.type;
    adapter.name = device.guid;
    adapter.description = device.description;
    // Windows lists 0.0.0.0 for an adapter without an address.
    adapter.addresses.push_back({device.address.empty() ? "0.0.0.0" : device.address,
                                 device.mask.empty() ? "0.0.0.0" : device.mask});
    adapter.gateway = device.gateway;
    listed.push_back(std::move(adapter));
  }
  if (listed.empty()) {
    SetLastErrorCode(kErrorNoData);
    return kErrorNoData;
  }
  const auto needed = static_cast<uint32_t>(listed.size() * kAdapterInfoSize);
  if (*size < needed) {
    *size = needed;
    SetLastErrorCode(kErrorBufferOverflow);
    return kErrorBufferOverflow;
  }
  *adapters = std::move(listed);
  return kErrorSuccess;
}

ErrorCode EmulatedIpHelper::GetNetworkParams(uint32_t* size, NetworkParams* params) {
  if (size == nullptr || params == nullptr) return kErrorInvalidParameter;
  state_->network_params_sizes.push_back(*size);
  if (const ErrorCode failed = PlannedFailure("GetNetworkParams", kErrorNotEnoughMemory)) {
    return failed;
  }
  // The first DNS entry is part of FIXED_INFO; each further one follows it.
  const size_t extra = state_->dns_servers.size() > 1 ? state_->dns_servers.size() - 1 : 0;
  const auto needed = static_cast<uint32_t>(kFixedInfoSize + extra * kAddrStringSize);
  if (*size < needed) {
    *size = needed;
    SetLastErrorCode(kErrorBufferOverflow);
    return kErrorBufferOverflow;
  }
  params->host_name = state_->host_name;
  params->dns_servers = state_->dns_servers;
  return kErrorSuccess;
}

}  // namespace platform
