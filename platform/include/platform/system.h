// The OS services that components swap or pick at their entry, chosen once per process.
//
// CurrentSystem() holds the system's own services unless a test or a program's entry put
// others in place (platform/testing/system_override.h). DefaultSystem() holds the windows and
// the registry: the Win32 ones on Windows, the emulation's elsewhere. The adapter, process and
// COM module services are a program's and null there: on Windows ProgramSystem() adds the Win32
// ones, elsewhere RunProgram puts an emulated machine, process and COM module in place
// (platform/program_entry.h), or a test puts its own. Components look the services up at their
// boundary (an export, the program's entry) and hand them on from there, so that an override
// applies to everything they do.
#pragma once

#include "platform/adapter_services.h"
#include "platform/com_module_services.h"
#include "platform/process_services.h"
#include "platform/windowing.h"

namespace platform {

struct System {
  Windows* windows = nullptr;
  MachineRegistry* registry = nullptr;
  AdapterServices adapter;  // devices, IP helper, the machine's registry, WMI, last error, sleeping
  ProcessServices* process = nullptr;
  ComModuleServices* com = nullptr;
};

// The services in force. Any thread may call; the pointers stay valid while in force.
System CurrentSystem();
// The system's own services, whatever is in force.
System DefaultSystem();

inline Windows& CurrentWindows() {
  return *CurrentSystem().windows;
}

}  // namespace platform
