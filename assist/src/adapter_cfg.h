// CAdapterCfg: the TCP/IP settings of one network adapter through WMI. It finds the adapter's
// Win32_NetworkAdapterConfiguration instance by its GUID (the SettingID property) and runs the
// class's methods on it.
//
// String arguments are UTF-8. Every WMI operation connects on demand; the connection (and COM on
// the calling thread, multithreaded apartment) stays until SetSettingID, Disconnect or
// destruction. For one thread; `wmi` must outlive the object.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/wmi.h"
#include "safe_array_holder.h"

namespace assist {

class CAdapterCfg {
 public:
  explicit CAdapterCfg(platform::Wmi* wmi);
  ~CAdapterCfg();
  CAdapterCfg(const CAdapterCfg&) = delete;
  CAdapterCfg& operator=(const CAdapterCfg&) = delete;

  // Disconnects, then keeps the GUID text (in braces) for the next connection.
  void SetSettingID(const std::string& setting_id);
  // Connects and finds the adapter's configuration instance; true at once when connected.
  bool ConnectWmi();
  // Releases what a connection obtained and undoes its COM initialisation.
  void Disconnect();

  bool EnableStatic(const std::string& address, const std::string& mask);
  // One gateway with cost metric 9999.
  bool SetGateways(const std::string& gateway);
  // EnableStatic, and SetGateways only when that succeeded.
  bool SetIPConfig(const std::string& address, const std::string& mask, const std::string& gateway);
  // `clear` sends no list (the servers are not used); an empty `second` sends one server.
  bool SetDNSServerSearchOrder(bool clear, const std::string& first, const std::string& second);
  bool SetDNSServers(const std::string& first, const std::string& second);
  bool ResetDNSServers();
  bool EnableDHCP();

  // Runs `method` on the instance and judges its ReturnValue (0 and 1 are success). Takes over
  // `in` (may be null) and releases it.
  bool ExecMethod(const wchar_t* method, platform::ComObject in);
  // A SAFEARRAY of BSTR with the texts in UTF-16; empty when it could not be built.
  SafeArrayHolder MakeBstrArray(const std::vector<std::string>& texts);

  bool connected() const { return connected_; }

 private:
  // Puts the input properties of a method; false when an argument could not be built.
  // Puts a method's input properties, keeping the arrays it builds in `arrays` until the method
  // has run; false when an argument could not be built.
  using PutInputs =
      std::function<bool(platform::ComObject in, std::vector<SafeArrayHolder>* arrays)>;
  bool RunMethod(const wchar_t* method, const PutInputs& put);
  void Put(platform::ComObject in, const wchar_t* name, const platform::Variant& value);
  void ReleaseObject(platform::ComObject* object);

  bool connected_ = false;
  std::string settingID_;
  platform::Variant objectPath_;
  platform::ComObject locator_ = nullptr;
  platform::ComObject services_ = nullptr;
  platform::ComObject enumerator_ = nullptr;
  platform::ComObject instance_ = nullptr;
  platform::ComObject classObject_ = nullptr;

  platform::Wmi* wmi_;
  // COM was initialised by a connection attempt, successful or not, and wants its
  // CoUninitialize.
  bool comInitialized_ = false;
};

}  // namespace assist
