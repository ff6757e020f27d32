// The one place every fallible emulated call passes through, so that tests can fail chosen calls
// (platform/testing/fault_plan.h installs the plans). Without a plan nothing fails.
#pragma once

#include <cstdint>

namespace platform {

// True when the call named `call` ("CreateWindowExW", "RegOpenKeyExW", ...) is to fail now;
// `*answer` (when given) is then the code planned for it, 0 for the emulation's own. Any thread
// may call.
bool FallibleCallFails(const char* call, uint32_t* answer = nullptr);

}  // namespace platform
