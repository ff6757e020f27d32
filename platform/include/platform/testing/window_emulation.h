// Test access to the emulated windows of non-Windows builds (not available on Windows).
// Process-wide and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/windowing.h"

namespace platform {

// The icon ids that the emulated main executable carries (none at first).
void SetMainExecutableIconsForTesting(const std::vector<uint32_t>& ids);
// The icon id behind a handle from LoadMainExecutableIcon, and whether it is the big size.
bool DescribeIconForTesting(IconHandle icon, uint32_t* id, bool* big);
// Windows that exist, of every thread.
size_t LiveWindowCountForTesting();
// The procedure registered for a class name (null when none is).
WindowProcedure ClassProcedureForTesting(const wchar_t* class_name);
// Icons loaded and not destroyed yet.
size_t LoadedIconCountForTesting();
// Forgets every registered class (the windows stay).
void UnregisterWindowClassesForTesting();

}  // namespace platform
