// Host guide, KuvoDesk: the controlled side reports its address and session name (event 0); the
// controlling side opens its window on a thread whose message loop runs.
#include <string>

#include "KuvoDesk.h"

namespace guide {

// Runs on the SDK's threads (events 0 to 3) or the window's thread (event 4).
void OnDeskEvent(uint32_t, int32_t event, std::wstring text) {
  if (event == kRcSlaveReady) {
    // text: "<address>\n<session name>"; the host carries both to the controlling side.
    const std::wstring address = text.substr(0, text.find(L'\n'));
    (void)address;
  }
}

void ControlledSide() {
  KuvoSetRemoteControlCallback(1, &OnDeskEvent);
  KuvoSlaveInitSession("account-openid", "account-key");
  // ... event 0, the assistance, then:
  KuvoSlaveStopSession();
  KuvoSetRemoteControlCallback(0, nullptr);
}

// On the host's UI thread (its message loop keeps running).
void ControllingSide(const std::string& address, const std::string& session_name) {
  KuvoSetRemoteControlCallback(2, &OnDeskEvent);
  KuvoMasterStartSession(address, session_name, "Support");
  // ... events 2 (connected), 3 (disconnected), 4 (window closed), then:
  KuvoMasterStopSession();
}

// On the window's thread, its message loop running: stop, then unload KuvoDesk with the host's
// own loader (FreeLibrary, dlclose). The open window closes inside the unload (events 4 twice).
void TearDownOnUiThread(void (*unload_desk)()) {
  KuvoMasterStopSession();
  unload_desk();
}

}  // namespace guide
