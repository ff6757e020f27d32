// Captures what a window shows, for tests that keep a picture of it. Call it on the window's own
// thread: the window and its children are repainted first.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/windowing.h"

namespace platform {

// The client area as rows of 0xAARRGGBB pixels, top row first. False when the window cannot be
// captured; always false where windows are emulated (they show nothing).
bool CaptureWindowForTesting(WindowHandle window, std::vector<uint32_t>* pixels, int* width,
                             int* height);

}  // namespace platform
