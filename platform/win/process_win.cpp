#include <windows.h>

#include "platform/process.h"

namespace platform {

uint32_t CurrentProcessId() {
  return ::GetCurrentProcessId();
}

}  // namespace platform
