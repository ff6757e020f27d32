// Shared between the dynamic-library implementations of each system.
#pragma once

namespace platform::internal {

// Counts one LoadLibraryByName call (see LibraryLoadCallsForTesting).
void CountLibraryLoad();

}  // namespace platform::internal
