// The current process.
#pragma once

#include <cstdint>

namespace platform {

// GetCurrentProcessId.
uint32_t CurrentProcessId();

}  // namespace platform
