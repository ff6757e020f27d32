// KuvoDesk: the controlled side opens a session on the remote-control SDK stand-in and reports
// its address and session name (event 0).
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "KuvoDesk.h"
#include "host_checks.h"
#include "sl/sl_control.h"

namespace kit_host {

namespace {

struct Events {
  std::mutex mutex;
  std::vector<std::pair<int32_t, std::wstring>> seen;
};
Events* g_events = nullptr;

// Called on the SDK's threads; no lock of the library is held.
void OnEvent(uint32_t user_data, int32_t event, std::wstring text) {
  if (user_data != 42) return;
  std::lock_guard<std::mutex> lock(g_events->mutex);
  g_events->seen.emplace_back(event, std::move(text));
}

}  // namespace

int CheckDesk() {
  Events events;
  g_events = &events;
  sl_control::Reset();
  sl_control::SetClientAddress("203.0.113.7:4118");
  sl_control::SetSessionName("kit-desk-1");
  KuvoSetRemoteControlCallback(42, &OnEvent);
  KuvoSlaveInitSession("kit-openid", "kit-key");
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_CONNECTED);
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
  sl_control::WaitIdle();
  KuvoSlaveStopSession();
  sl_control::WaitIdle();
  // No further events once the callback is cleared.
  KuvoSetRemoteControlCallback(0, nullptr);
  std::vector<std::pair<int32_t, std::wstring>> seen;
  {
    std::lock_guard<std::mutex> lock(events.mutex);
    seen = events.seen;
  }
  g_events = nullptr;
  sl_control::Reset();
  int failures = Check(!seen.empty() && seen[0].first == kRcSlaveReady, "desk: event 0 first");
  if (!seen.empty()) {
    failures += Check(seen[0].second == L"203.0.113.7:4118\nkit-desk-1",
                      "desk: event 0 carries the address and session name");
  }
  return failures;
}

}  // namespace kit_host
