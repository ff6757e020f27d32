// Apart from DefaultSystem(): a module that never asks for these services does not link them.
#include "platform/program_entry.h"

namespace platform {

DeviceInstaller& SystemDeviceInstaller();
IpHelper& SystemIpHelper();
Wmi& SystemWmi();
ProcessServices& SystemProcessServices();
ComModuleServices& SystemComModuleServices();

System ProgramSystem() {
  System system = CurrentSystem();
  system.adapter = {&SystemDeviceInstaller(),  &SystemIpHelper(),
                    &ProcessMachineRegistry(), &SystemWmi(),
                    &ProcessLastError(),       &ProcessSleeper()};
  system.process = &SystemProcessServices();
  system.com = &SystemComModuleServices();
  return system;
}

}  // namespace platform
