#include "platform/adapter_services.h"

namespace platform {

DeviceInstaller& SystemDeviceInstaller();
IpHelper& SystemIpHelper();
Wmi& SystemWmi();

AdapterServices SystemAdapterServices() {
  AdapterServices services;
  services.devices = &SystemDeviceInstaller();
  services.ip = &SystemIpHelper();
  services.registry = &ProcessMachineRegistry();
  services.wmi = &SystemWmi();
  services.last_error = &ProcessLastError();
  services.sleeper = &ProcessSleeper();
  return services;
}

AdapterServices ProcessAdapterServices() {
  return SystemAdapterServices();
}

bool SaveProcessAdapterServices() {
  return true;
}

}  // namespace platform
