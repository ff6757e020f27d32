// The operating-system services of the adapter repair, handed to it at construction.
//
// Every pointer must outlive the objects that use it. On Windows SystemAdapterServices() gives
// the real APIs; elsewhere the services come from an emulated machine
// (platform/testing/emulated_machine.h).
#pragma once

#include "platform/device_installer.h"
#include "platform/ip_helper.h"
#include "platform/machine_registry.h"
#include "platform/thread_state.h"
#include "platform/wmi.h"

namespace platform {

struct AdapterServices {
  DeviceInstaller* devices = nullptr;
  IpHelper* ip = nullptr;
  MachineRegistry* registry = nullptr;
  Wmi* wmi = nullptr;
  LastError* last_error = nullptr;
  Sleeper* sleeper = nullptr;
};

#if defined(_WIN32)
// SetupDi, the IP helper, the registry, COM/WMI and the thread's last error of this system.
AdapterServices SystemAdapterServices();
#endif

}  // namespace platform
