// The state of an emulated machine, shared by the emulated services (one file per service).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing/emulated_machine.h"

namespace platform {

// A property value held by an emulated WMI object.
struct EmuValue {
  uint16_t type = kVtEmpty;
  int64_t integer = 0;
  std::wstring text;
  std::vector<std::wstring> list;  // kVtArray | kVtBstr
};

enum class EmuKind {
  kLocator,
  kServices,
  kEnumerator,
  kInstance,
  kClass,
  kSignature,
  kInParams,
  kOutParams
};

struct EmuObject {
  EmuKind kind = EmuKind::kLocator;
  uint32_t references = 1;
  size_t device = 0;                            // kInstance: index into devices
  std::vector<size_t> matches;                  // kEnumerator: devices, in order
  size_t position = 0;                          // kEnumerator
  std::wstring method;                          // kSignature, kInParams
  std::map<std::wstring, EmuValue> properties;  // kInParams, kOutParams
};

struct EmuDeviceList {
  std::vector<size_t> devices;
  std::map<size_t, PropertyChangeParams> params;  // by position in the list
};

class EmulatedDevices;
class EmulatedIpHelper;
class EmulatedWmi;
class EmulatedSleeper;

struct MachineState {
  MachineState();
  ~MachineState();

  std::vector<EmulatedDevice> devices;
  std::vector<std::string> dns_servers;
  std::string host_name = "KUVO-PC";
  std::map<std::wstring, uint32_t> scripted_results;

  ScopedFaultPlan faults;  // installed while the machine state lives
  EmulatedComCalls com_calls;
  std::vector<EmulatedStateChange> state_changes;
  uint64_t slept = 0;
  std::vector<uint32_t> adapters_info_sizes;  // the buffer size of each GetAdaptersInfo call
  std::vector<uint32_t> network_params_sizes;

  std::map<std::thread::id, std::pair<int, uint32_t>> com_threads;  // depth, model
  bool security_set = false;
  std::map<EmuObject*, std::unique_ptr<EmuObject>> objects;
  std::map<EmuDeviceList*, std::unique_ptr<EmuDeviceList>> lists;
  std::map<void*, std::unique_ptr<std::vector<std::wstring>>> arrays;
  std::map<wchar_t*, std::unique_ptr<wchar_t[]>> bstrs;

  std::unique_ptr<EmulatedDevices> device_service;
  std::unique_ptr<EmulatedIpHelper> ip_service;
  std::unique_ptr<EmulatedWmi> wmi_service;
  std::unique_ptr<EmulatedSleeper> sleeper_service;

  // Registry keys of an adapter (below HKEY_LOCAL_MACHINE).
  static std::wstring ClassKeyPath(size_t adapter_number);
  static std::wstring InterfaceKeyPath(const std::string& guid);
  // Writes the class subkey and TCP/IP key of devices[index].
  void WriteAdapterKeys(size_t index, size_t adapter_number);
  // The driver takes up the TCP/IP key again (a device start).
  void ReloadFromRegistry(EmulatedDevice* device);
  // The WMI path of devices[index]'s configuration instance.
  std::wstring InstancePath(size_t index) const;
  int ComDepth() const;
};

Guid ClassGuidOf(const std::wstring& class_name);

}  // namespace platform
