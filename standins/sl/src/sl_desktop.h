// The synthetic remote desktop that the stand-in shows in a session window (option 1): on
// Windows a child window of the session window painting a test pattern, the peer's address and
// the desktop size; elsewhere nothing is drawn.
#pragma once

#include <cstdint>
#include <string>

namespace sl {

// Creates the view inside `window` on the calling thread (the window's own); 0 when none.
uintptr_t AttachDesktopView(uintptr_t window, int desktop_width, int desktop_height);
// The peer's address shown in the view.
void ShowPeerInDesktopView(uintptr_t view, const std::string& address);
// Places the view in its window's client area, from any thread, without waiting.
void MoveDesktopView(uintptr_t view, int x, int y, int width, int height);
// Closes the view, from any thread, without waiting.
void DetachDesktopView(uintptr_t view);

}  // namespace sl
