// The operating-system services of the adapter repair, handed to it at construction.
//
// Every pointer must outlive the objects that use it. CurrentSystem().adapter gives them
// (platform/system.h): the real APIs on Windows, elsewhere an emulated machine's
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

}  // namespace platform
