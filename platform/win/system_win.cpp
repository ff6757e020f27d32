#include "platform/system.h"

namespace platform {

Windows& SystemWindows();

System DefaultSystem() {
  System system;
  system.windows = &SystemWindows();
  system.registry = &ProcessMachineRegistry();
  return system;
}

}  // namespace platform
