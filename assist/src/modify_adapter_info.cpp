#include "modify_adapter_info.h"

#include "common/text_conversion.h"
#include "common/trace.h"
#include "platform/code_page.h"

namespace assist {

namespace {

bool BeginsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::wstring FromUtf8(const std::string& text) {
  return kuvo::NarrowToWide(text.c_str(), platform::kCodePageUtf8);
}

}  // namespace

CModifyAdapterInfo::CModifyAdapterInfo(const platform::AdapterServices& services)
    : services_(services), adapterCfg_(services.wmi) {}

bool CModifyAdapterInfo::GetAdapterInfoByDescription(AdapterInfo* info,
                                                     const std::wstring& description) {
  uint32_t size = services_.ip->AdapterInfoSize();
  std::vector<platform::IpAdapter> adapters;
  platform::ErrorCode answer = services_.ip->GetAdaptersInfo(&size, &adapters);
  if (answer == platform::kErrorBufferOverflow) {
    answer = services_.ip->GetAdaptersInfo(&size, &adapters);
  }
  if (answer != platform::kErrorSuccess) return false;

  bool result = false;
  int counter = 0;
  for (const platform::IpAdapter& adapter : adapters) {
    ++counter;
    if (adapter.type != platform::kMibIfTypeEthernet) continue;
    const std::wstring adapter_description = FromUtf8(adapter.description);
    if (adapter_description.find(description) == std::wstring::npos) continue;

    info->description = adapter_description;
    info->adapterName = FromUtf8(adapter.name);
    kuvo::TraceInfo(L"CModifyAdapterInfo::GetAdapterInfoByDescription",
                    L"网卡%d, 网卡描述：%s, 网卡名称：%s", counter, info->description.c_str(),
                    info->adapterName.c_str());
    for (const platform::IpAddressEntry& entry : adapter.addresses) {
      info->ipAddress = FromUtf8(entry.address);
      info->subnetMask = FromUtf8(entry.mask);
      info->defaultGateway = FromUtf8(adapter.gateway);
      if (!info->ipAddress.empty()) {
        result = true;
        break;
      }
    }
    break;  // later adapters of the same description are not looked at
  }
  return result;
}

bool CModifyAdapterInfo::CheckKaerAdapterCfg() {
  AdapterInfo info;
  if (!GetAdapterInfoByDescription(&info, kPhoneAdapterDescription)) return false;
  adapterCfg_.SetSettingID(kuvo::WideToNarrow(info.adapterName.c_str(), platform::kCodePageUtf8));
  if (!BeginsWith(info.ipAddress, kExpectedAddressPrefix)) return false;
  if (!BeginsWith(info.subnetMask, L"255.255.255.0")) return false;
  return info.defaultGateway.empty() || BeginsWith(info.defaultGateway, L"0.0.0.0");
}

bool CModifyAdapterInfo::ResetKaerAdapterCfg() {
  constexpr wchar_t kFunction[] = L"CModifyAdapterInfo::ResetKaerAdapterCfg";
  AdapterInfo info;
  info.ipAddress = FromUtf8(kPhoneAddress);
  info.subnetMask = FromUtf8(kPhoneMask);
  info.defaultGateway = FromUtf8(kPhoneGateway);
  if (!SetAdapterInfo(info, kPhoneInstancePrefix, kPhoneAdapterDescription)) {
    kuvo::TraceError(kFunction, L"Err:%d", LastError());
  }
  if (!adapterCfg_.SetIPConfig(kPhoneAddress, kPhoneMask, kPhoneGateway)) {
    kuvo::TraceError(kFunction, L"AdaperCfg SetIPConfig Failed!");
  }
  return ResetAdapterState(kPhoneInstancePrefix, kPhoneAdapterDescription);
}

}  // namespace assist
