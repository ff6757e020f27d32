// Outside Windows the session window is emulated and nothing is drawn.
#include "sl_desktop.h"

namespace sl {

uintptr_t AttachDesktopView(uintptr_t, int, int) {
  return 0;
}
void ShowPeerInDesktopView(uintptr_t, const std::string&) {}
void MoveDesktopView(uintptr_t, int, int, int, int) {}
void DetachDesktopView(uintptr_t) {}

}  // namespace sl
