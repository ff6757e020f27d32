#include "platform/system.h"

namespace platform {

Windows& EmulatedSystemWindows();

// The emulation's own services are its windows and its registry; an emulated machine, process
// and COM module are put in place by a test or by RunProgram.
System DefaultSystem() {
  System system;
  system.windows = &EmulatedSystemWindows();
  system.registry = &ProcessMachineRegistry();
  return system;
}

}  // namespace platform
