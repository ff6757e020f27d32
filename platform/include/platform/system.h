// The OS services that components swap or pick at their entry, chosen once per process.
//
// CurrentSystem() holds the system's own services unless a test or a program's entry put
// others in place (platform/testing/system_override.h). On Windows every field is the Win32
// implementation. Elsewhere the windows are the emulation's and the rest are null until an
// emulated machine, process and COM module are put in place: a test's, or the ones
// RunProgram (platform/program_entry.h) loads from a scenario file. Components look the services
// up at their boundary (an export, the program's entry) and hand them on from there, so that an
// override applies to everything they do.
#pragma once

#include "platform/adapter_services.h"
#include "platform/com_module_services.h"
#include "platform/process_services.h"
#include "platform/windowing.h"

namespace platform {

struct System {
  Windows* windows = nullptr;
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
