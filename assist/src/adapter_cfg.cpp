#include "adapter_cfg.h"

#include "common/text_conversion.h"
#include "common/trace.h"
#include "platform/code_page.h"

namespace assist {

namespace {

constexpr wchar_t kExecMethodFunction[] = L"CAdapterCfg::ExecMethod";
constexpr wchar_t kConfigurationClass[] = L"Win32_NetworkAdapterConfiguration";
constexpr uint32_t kGatewayCostMetric = 9999;

std::wstring Utf16(const std::string& text) {
  return kuvo::NarrowToWide(text.c_str(), platform::kCodePageUtf8);
}

// WQL string literal content: a quote or backslash in the text would end or bend the literal.
std::wstring QuotedWql(const std::wstring& text) {
  std::wstring quoted = L"\"";
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') quoted.push_back(L'\\');
    quoted.push_back(c);
  }
  quoted.push_back(L'"');
  return quoted;
}

}  // namespace

CAdapterCfg::CAdapterCfg(platform::Wmi* wmi) : wmi_(wmi) {}

CAdapterCfg::~CAdapterCfg() {
  Disconnect();
}

void CAdapterCfg::SetSettingID(const std::string& setting_id) {
  Disconnect();
  settingID_ = setting_id;
}

bool CAdapterCfg::ConnectWmi() {
  if (connected_) return true;
  // What an earlier, failed attempt obtained is given back before it is obtained again.
  Disconnect();

  if (!platform::Succeeded(wmi_->CoInitializeEx(platform::kCoinitMultithreaded))) return false;
  comInitialized_ = true;

  const platform::HResult security = wmi_->CoInitializeSecurity(platform::ComSecurity{});
  // Security is set once per process: a later connection finds it set already.
  if (!platform::Succeeded(security) && security != platform::kRpcETooLate) return false;

  if (!platform::Succeeded(wmi_->CreateLocator(&locator_)) || locator_ == nullptr) return false;
  if (!platform::Succeeded(wmi_->ConnectServer(locator_, L"ROOT\\CIMV2", &services_)) ||
      services_ == nullptr) {
    return false;
  }
  if (!platform::Succeeded(wmi_->SetProxyBlanket(services_, platform::ProxyBlanket{}))) {
    return false;
  }

  const std::wstring query = L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE SettingID = " +
                             QuotedWql(Utf16(settingID_));
  if (!platform::Succeeded(wmi_->ExecQuery(
          services_, L"WQL", query.c_str(),
          platform::kWbemFlagForwardOnly | platform::kWbemFlagReturnImmediately, &enumerator_)) ||
      enumerator_ == nullptr) {
    return false;
  }

  uint32_t returned = 0;
  const platform::HResult next =
      wmi_->Next(enumerator_, platform::kWbemInfinite, &instance_, &returned);
  if (!platform::Succeeded(next) || returned == 0 || instance_ == nullptr) return false;

  if (!platform::Succeeded(wmi_->Get(instance_, L"__PATH", &objectPath_)) ||
      objectPath_.type != platform::kVtBstr) {
    return false;
  }
  if (!platform::Succeeded(wmi_->GetObject(services_, kConfigurationClass, &classObject_)) ||
      classObject_ == nullptr) {
    return false;
  }
  connected_ = true;
  return true;
}

void CAdapterCfg::ReleaseObject(platform::ComObject* object) {
  if (*object != nullptr) wmi_->Release(*object);
  *object = nullptr;
}

void CAdapterCfg::Disconnect() {
  ReleaseObject(&classObject_);
  ReleaseObject(&instance_);
  ReleaseObject(&enumerator_);
  ReleaseObject(&services_);
  ReleaseObject(&locator_);
  if (comInitialized_) wmi_->CoUninitialize();
  comInitialized_ = false;
  connected_ = false;
}

void CAdapterCfg::Put(platform::ComObject in, const wchar_t* name, const platform::Variant& value) {
  // A property WMI refuses leaves it unset; the method's ReturnValue then tells.
  wmi_->Put(in, name, value, 0);
}

bool CAdapterCfg::RunMethod(const wchar_t* method, const PutInputs& put) {
  if (!ConnectWmi()) return false;
  platform::ComObject definition = nullptr;
  if (!platform::Succeeded(wmi_->GetMethod(classObject_, method, &definition)) ||
      definition == nullptr) {
    ReleaseObject(&definition);
    return false;
  }
  platform::ComObject in = nullptr;
  if (!platform::Succeeded(wmi_->SpawnInstance(definition, &in)) || in == nullptr) {
    ReleaseObject(&in);
    ReleaseObject(&definition);
    return false;
  }
  bool result = false;
  std::vector<SafeArrayHolder> arrays;
  if (put(in, &arrays)) {
    result = ExecMethod(method, in);
  } else {
    ReleaseObject(&in);
  }
  ReleaseObject(&definition);
  arrays.clear();
  return result;
}

bool CAdapterCfg::EnableStatic(const std::string& address, const std::string& mask) {
  return RunMethod(L"EnableStatic",
                   [&](platform::ComObject in, std::vector<SafeArrayHolder>* arrays) {
                     const SafeArrayHolder addresses = MakeBstrArray({address});
                     const SafeArrayHolder masks = MakeBstrArray({mask});
                     arrays->assign({addresses, masks});
                     if (!addresses || !masks) return false;
                     Put(in, L"IPAddress", platform::Variant::BstrArray(addresses.get()));
                     Put(in, L"SubnetMask", platform::Variant::BstrArray(masks.get()));
                     return true;
                   });
}

bool CAdapterCfg::SetGateways(const std::string& gateway) {
  return RunMethod(L"SetGateways",
                   [&](platform::ComObject in, std::vector<SafeArrayHolder>* arrays) {
                     const SafeArrayHolder gateways = MakeBstrArray({gateway});
                     arrays->push_back(gateways);
                     if (!gateways) return false;
                     Put(in, L"DefaultIPGateway", platform::Variant::BstrArray(gateways.get()));
                     Put(in, L"GatewayCostMetric", platform::Variant::Uint(kGatewayCostMetric));
                     return true;
                   });
}

bool CAdapterCfg::SetIPConfig(const std::string& address, const std::string& mask,
                              const std::string& gateway) {
  if (!EnableStatic(address, mask)) return false;
  return SetGateways(gateway);
}

bool CAdapterCfg::SetDNSServerSearchOrder(bool clear, const std::string& first,
                                          const std::string& second) {
  return RunMethod(L"SetDNSServerSearchOrder",
                   [&](platform::ComObject in, std::vector<SafeArrayHolder>* arrays) {
                     if (clear) {
                       Put(in, L"DNSServerSearchOrder", platform::Variant::Null());
                       return true;
                     }
                     const SafeArrayHolder servers =
                         second.empty() ? MakeBstrArray({first}) : MakeBstrArray({first, second});
                     arrays->push_back(servers);
                     if (!servers) return false;
                     Put(in, L"DNSServerSearchOrder", platform::Variant::BstrArray(servers.get()));
                     return true;
                   });
}

bool CAdapterCfg::SetDNSServers(const std::string& first, const std::string& second) {
  return SetDNSServerSearchOrder(false, first, second);
}

bool CAdapterCfg::ResetDNSServers() {
  return SetDNSServerSearchOrder(true, "0.0.0.0", "0.0.0.0");
}

bool CAdapterCfg::EnableDHCP() {
  if (!ConnectWmi()) return false;
  return ExecMethod(L"EnableDHCP", nullptr);
}

bool CAdapterCfg::ExecMethod(const wchar_t* method, platform::ComObject in) {
  bool result = false;
  if (services_ != nullptr) {
    platform::ComObject out = nullptr;
    const platform::HResult hr =
        wmi_->ExecMethod(services_, objectPath_.text.c_str(), method, in, &out);
    if (!platform::Succeeded(hr)) {
      kuvo::TraceError(kExecMethodFunction, L"ExecMethod failed: %d", hr);
    } else {
      platform::Variant value;
      if (out == nullptr || !platform::Succeeded(wmi_->Get(out, L"ReturnValue", &value)) ||
          !value.IsInteger()) {
        kuvo::TraceError(kExecMethodFunction, L"ExecMethod Get ReturnValue failed!");
      } else if (value.integer == 0 || value.integer == 1) {
        result = true;
      } else {
        kuvo::TraceError(kExecMethodFunction, L"Failed, result:%d",
                         static_cast<int>(value.integer));
      }
    }
    ReleaseObject(&out);
  }
  ReleaseObject(&in);
  return result;
}

SafeArrayHolder CAdapterCfg::MakeBstrArray(const std::vector<std::string>& texts) {
  SafeArrayHolder holder(wmi_,
                         wmi_->SafeArrayCreateBstrVector(static_cast<uint32_t>(texts.size())));
  if (!holder) return holder;
  for (size_t i = 0; i < texts.size(); ++i) {
    platform::Bstr text = wmi_->SysAllocString(Utf16(texts[i]).c_str());
    const bool stored = text != nullptr && platform::Succeeded(wmi_->SafeArrayPutElement(
                                               holder.get(), static_cast<int32_t>(i), text));
    wmi_->SysFreeString(text);
    if (!stored) return SafeArrayHolder();
  }
  return holder;
}

}  // namespace assist
