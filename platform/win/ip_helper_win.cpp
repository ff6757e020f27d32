#include <iphlpapi.h>
#include <windows.h>
#include <winsock2.h>

#include <cstring>
#include <vector>

#include "platform/adapter_services.h"
#include "platform/last_error.h"

namespace platform {

namespace {

// A fixed-size text field up to its terminator or its end.
template <size_t N>
std::string Field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

ErrorCode Noted(ErrorCode code) {
  if (code != kErrorSuccess) SetLastErrorCode(code);
  return code;
}

bool Inside(const void* record, size_t record_size, const std::vector<unsigned char>& buffer) {
  const auto* begin = buffer.data();
  const auto* at = static_cast<const unsigned char*>(record);
  return at >= begin && at <= begin + buffer.size() && record_size <= buffer.size() &&
         static_cast<size_t>(at - begin) <= buffer.size() - record_size;
}

class SystemIpHelper final : public IpHelper {
 public:
  uint32_t AdapterInfoSize() const override { return sizeof(IP_ADAPTER_INFO); }
  uint32_t NetworkParamsSize() const override { return sizeof(FIXED_INFO); }

  ErrorCode GetAdaptersInfo(uint32_t* size, std::vector<IpAdapter>* adapters) override {
    if (size == nullptr || adapters == nullptr) return Noted(kErrorInvalidParameter);
    std::vector<unsigned char> buffer(*size);
    ULONG room = *size;
    const auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    const DWORD answer = ::GetAdaptersInfo(
        buffer.empty() ? nullptr : reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &room);
    *size = room;
    if (answer != ERROR_SUCCESS) return Noted(answer);
    adapters->clear();
    // The system links records and address entries inside the buffer; a link leaving it ends
    // that walk.
    for (const IP_ADAPTER_INFO* record = first;
         record != nullptr && Inside(record, sizeof(IP_ADAPTER_INFO), buffer);
         record = record->Next) {
      IpAdapter adapter;
      adapter.type = record->Type;
      adapter.name = Field(record->AdapterName);
      adapter.description = Field(record->Description);
      for (const IP_ADDR_STRING* entry = &record->IpAddressList;
           entry != nullptr && Inside(entry, sizeof(IP_ADDR_STRING), buffer); entry = entry->Next) {
        adapter.addresses.push_back({Field(entry->IpAddress.String), Field(entry->IpMask.String)});
        if (adapter.addresses.size() > 1024) break;
      }
      adapter.gateway = Field(record->GatewayList.IpAddress.String);
      adapters->push_back(std::move(adapter));
      if (adapters->size() > 1024) break;
    }
    return kErrorSuccess;
  }

  ErrorCode GetNetworkParams(uint32_t* size, NetworkParams* params) override {
    if (size == nullptr || params == nullptr) return Noted(kErrorInvalidParameter);
    std::vector<unsigned char> buffer(*size);
    ULONG room = *size;
    const DWORD answer = ::GetNetworkParams(
        buffer.empty() ? nullptr : reinterpret_cast<FIXED_INFO*>(buffer.data()), &room);
    *size = room;
    if (answer != ERROR_SUCCESS) return Noted(answer);
    if (buffer.size() < sizeof(FIXED_INFO)) return Noted(kErrorInsufficientBuffer);
    const auto* info = reinterpret_cast<const FIXED_INFO*>(buffer.data());
    params->host_name = Field(info->HostName);
    params->dns_servers.clear();
    for (const IP_ADDR_STRING* entry = &info->DnsServerList;
         entry != nullptr && Inside(entry, sizeof(IP_ADDR_STRING), buffer); entry = entry->Next) {
      const std::string server = Field(entry->IpAddress.String);
      if (!server.empty()) params->dns_servers.push_back(server);
      if (params->dns_servers.size() > 1024) break;
    }
    return kErrorSuccess;
  }
};

}  // namespace

IpHelper& SystemIpHelper() {
  static class SystemIpHelper helper;
  return helper;
}

}  // namespace platform
