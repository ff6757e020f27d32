#include "platform/system.h"

namespace platform {

Windows& SystemWindows();
DeviceInstaller& SystemDeviceInstaller();
IpHelper& SystemIpHelper();
Wmi& SystemWmi();
ProcessServices& SystemProcessServices();
ComModuleServices& SystemComModuleServices();

System DefaultSystem() {
  System system;
  system.windows = &SystemWindows();
  system.adapter = {&SystemDeviceInstaller(),  &SystemIpHelper(),
                    &ProcessMachineRegistry(), &SystemWmi(),
                    &ProcessLastError(),       &ProcessSleeper()};
  system.process = &SystemProcessServices();
  system.com = &SystemComModuleServices();
  return system;
}

}  // namespace platform
