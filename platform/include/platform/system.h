// The OS services that components use, chosen once per process.
//
// CurrentSystem() holds the system's own services (the Win32 calls on Windows, the emulation
// elsewhere) unless a test put others in place (platform/testing/system_override.h). Components
// look the services up at the export boundary, on every call, so that an override applies to
// everything they do. More services join this object as components need them to be swappable.
#pragma once

#include "platform/windowing.h"

namespace platform {

struct System {
  Windows* windows = nullptr;
};

// The services in force. Any thread may call; the pointers stay valid while in force.
System CurrentSystem();
// The system's own services, whatever is in force.
System DefaultSystem();

inline Windows& CurrentWindows() {
  return *CurrentSystem().windows;
}

}  // namespace platform
