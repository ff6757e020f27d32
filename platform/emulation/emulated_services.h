// The emulated services of one machine (each implemented in its own file).
#pragma once

#include "machine_state.h"
#include "platform/fault_hook.h"
#include "platform/last_error.h"

namespace platform {

// A call that the fault plan fails sets the thread's last error to the planned answer, or to
// `usual`, and answers that code; 0 when the call goes on.
inline ErrorCode PlannedFailure(const char* call, ErrorCode usual) {
  uint32_t answer = 0;
  if (!FallibleCallFails(call, &answer)) return kErrorSuccess;
  SetLastErrorCode(answer != 0 ? answer : usual);
  return GetLastErrorCode();
}

class EmulatedDevices final : public DeviceInstaller {
 public:
  explicit EmulatedDevices(MachineState* state) : state_(state) {}
  DeviceList GetClassDevs(uint32_t flags) override;
  bool EnumDeviceInfo(DeviceList list, uint32_t index, DeviceEntry* entry) override;
  bool ClassNameFromGuid(const Guid& class_guid, wchar_t* name, uint32_t size,
                         uint32_t* required) override;
  bool GetDeviceInstanceId(DeviceList list, const DeviceEntry& entry, wchar_t* id, uint32_t size,
                           uint32_t* required) override;
  bool SetClassInstallParams(DeviceList list, const DeviceEntry& entry,
                             const PropertyChangeParams& params) override;
  bool ChangeState(DeviceList list, const DeviceEntry& entry) override;
  bool DestroyDeviceInfoList(DeviceList list) override;

 private:
  EmuDeviceList* Find(DeviceList list);
  MachineState* state_;
};

class EmulatedIpHelper final : public IpHelper {
 public:
  explicit EmulatedIpHelper(MachineState* state) : state_(state) {}
  // The x86 sizes of IP_ADAPTER_INFO and FIXED_INFO, and of each further IP_ADDR_STRING.
  static constexpr uint32_t kAdapterInfoSize = 648;
  static constexpr uint32_t kFixedInfoSize = 584;
  static constexpr uint32_t kAddrStringSize = 40;
  uint32_t AdapterInfoSize() const override { return kAdapterInfoSize; }
  uint32_t NetworkParamsSize() const override { return kFixedInfoSize; }
  ErrorCode GetAdaptersInfo(uint32_t* size, std::vector<IpAdapter>* adapters) override;
  ErrorCode GetNetworkParams(uint32_t* size, NetworkParams* params) override;

 private:
  MachineState* state_;
};

class EmulatedSleeper final : public Sleeper {
 public:
  explicit EmulatedSleeper(MachineState* state) : state_(state) {}
  void Sleep(uint32_t milliseconds) override { state_->slept += milliseconds; }

 private:
  MachineState* state_;
};

class EmulatedWmi final : public Wmi {
 public:
  explicit EmulatedWmi(MachineState* state) : state_(state) {}
  HResult CoInitializeEx(uint32_t model) override;
  void CoUninitialize() override;
  HResult CoInitializeSecurity(const ComSecurity& security) override;
  HResult CreateLocator(ComObject* locator) override;
  HResult ConnectServer(ComObject locator, const wchar_t* name_space, ComObject* services) override;
  HResult SetProxyBlanket(ComObject services, const ProxyBlanket& blanket) override;
  HResult ExecQuery(ComObject services, const wchar_t* language, const wchar_t* query,
                    int32_t flags, ComObject* enumerator) override;
  HResult Next(ComObject enumerator, int32_t timeout, ComObject* object,
               uint32_t* returned) override;
  HResult GetObject(ComObject services, const wchar_t* path, ComObject* object) override;
  HResult Get(ComObject object, const wchar_t* name, Variant* value) override;
  HResult Put(ComObject object, const wchar_t* name, const Variant& value, int32_t type) override;
  HResult GetMethod(ComObject class_object, const wchar_t* method,
                    ComObject* in_signature) override;
  HResult SpawnInstance(ComObject class_object, ComObject* instance) override;
  HResult ExecMethod(ComObject services, const wchar_t* object_path, const wchar_t* method,
                     ComObject in, ComObject* out) override;
  uint32_t Release(ComObject object) override;
  SafeArray SafeArrayCreateBstrVector(uint32_t count) override;
  HResult SafeArrayPutElement(SafeArray array, int32_t index, Bstr text) override;
  HResult SafeArrayDestroy(SafeArray array) override;
  Bstr SysAllocString(const wchar_t* text) override;
  void SysFreeString(Bstr text) override;

 private:
  HResult Fail(const char* call, HResult usual);
  EmuObject* Find(ComObject object, EmuKind kind);
  ComObject Add(std::unique_ptr<EmuObject> object);
  bool ComReady() const;
  uint32_t RunMethod(const std::wstring& method, size_t device, const EmuObject* in);
  MachineState* state_;
};

// The input parameters of each method the emulation knows, in WMI's order; false when unknown.
bool EmulatedMethodParameters(const std::wstring& method, std::vector<std::wstring>* names);
// Dotted-quad checks of the methods.
bool IsIpv4Address(const std::wstring& text);
bool IsIpv4Mask(const std::wstring& text);

}  // namespace platform
