// The one place every fallible emulated call passes through, so that tests can fail chosen calls
// (platform/testing/system_override.h installs the plan). Without a plan nothing fails.
#pragma once

namespace platform {

// True when the call named `call` ("CreateWindowExW", "RegisterClassW", ...) is to fail now.
// Any thread may call.
bool FallibleCallFails(const char* call);

}  // namespace platform
