// Shared between the service implementations and CurrentSystem().
#pragma once

#include "platform/windowing.h"

namespace platform::internal {

// The system's own windows service (Win32, or the emulation).
Windows* SystemWindows();

}  // namespace platform::internal
