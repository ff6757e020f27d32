// Holding one named call on its caller's thread, so that tests can line other threads up with a
// call in progress (tim_control::HoldNextCall).
#pragma once

#include <cstdint>
#include <string>

namespace tim {

// At the top of the calls that honour a hold: waits here, before the call does anything, while
// a hold for `api` has caught this call.
void PauseIfHeld(const char* api);
void HoldNextCallImpl(const std::string& api);
bool WaitCallHeldImpl(uint32_t timeout_ms);
void ReleaseHeldCallImpl();

}  // namespace tim
