// Test control of the services in CurrentSystem(): put fakes in place (failing chosen calls is
// platform/testing/fault_plan.h's).
//
// Overrides are process-wide (on non-Windows builds every library in the process sees them; on
// Windows only the module that compiled the platform code) and nest: the innermost one is in
// force until it goes. Create and destroy them on one thread while no other thread is
// inside a call of the service being swapped.
#pragma once

#include "platform/system.h"

namespace platform {

// Puts the non-null services of `replacement` in place for its lifetime.
class ScopedSystemOverride {
 public:
  explicit ScopedSystemOverride(const System& replacement);
  ~ScopedSystemOverride();
  ScopedSystemOverride(const ScopedSystemOverride&) = delete;
  ScopedSystemOverride& operator=(const ScopedSystemOverride&) = delete;

 private:
  System previous_;
};

}  // namespace platform
