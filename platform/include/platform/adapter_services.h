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

// The services of this process: SystemAdapterServices() on Windows. Elsewhere one emulated
// machine per process (platform/emulation/), loaded at the first call from the scenario file
// that KUVO_MACHINE_SCENARIO names (empty when it is not set or cannot be read; the reason goes
// to stderr).
AdapterServices ProcessAdapterServices();
// Writes the process's emulated machine back (to KUVO_MACHINE_SCENARIO_OUT, else to the
// scenario file) so another process can read what a run changed. True on Windows, where the
// changes are the system's own.
bool SaveProcessAdapterServices();

}  // namespace platform
