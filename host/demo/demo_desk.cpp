// Demo section "desk": KuvoDesk on the remote-control SDK stand-in, both sides in one run. The
// controlled side logs in (the stand-in completes the login by itself) and reports its address
// and session name (event 0); the library is then reloaded, as a second process would load it,
// and the controlling side starts a session with that address and name on a UI thread of the
// demo's, is connected (event 2), and the peer drops (event 3, then event 4 twice as the window
// closes). Host events and the library's log lines are printed as they come.
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "KuvoDesk.h"
#include "common/folders.h"
#include "common/kuvo_bindings.h"
#include "common/text_conversion.h"
#include "demo_section.h"
#include "host/window_thread.h"
#include "sl/sl_control.h"
#include "testing/kuvo_desk_testing.h"

namespace {

constexpr char kSection[] = "desk";
constexpr uint32_t kUtf8 = 65001;

struct HostEvents {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::pair<int32_t, std::wstring>> events;
};
HostEvents* g_events = nullptr;

// The text as printed: UTF-8, a line feed shown as \n.
std::string Shown(const std::wstring& text) {
  std::string out;
  for (char c : kuvo::WideToNarrow(text.c_str(), kUtf8)) {
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void OnHostEvent(uint32_t, int32_t event, std::wstring text) {
  demo::Say(kSection, "host event " + std::to_string(event) + " \"" + Shown(text) + "\"");
  std::lock_guard<std::mutex> lock(g_events->mutex);
  g_events->events.emplace_back(event, std::move(text));
  g_events->changed.notify_all();
}

// Prints the log lines written since the last call.
class LogTail {
 public:
  explicit LogTail(std::filesystem::path path) : path_(std::move(path)) {}
  void Print() {
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    for (size_t n = 0; std::getline(in, line); ++n) {
      if (n < printed_) continue;
      demo::Say(kSection, "log: " + (line.size() > 24 ? line.substr(24) : line));
      ++printed_;
    }
  }

 private:
  std::filesystem::path path_;
  size_t printed_ = 0;
};

int RunDesk(const demo::DemoArgs&) {
  HostEvents events;
  g_events = &events;
  const std::filesystem::path log = std::filesystem::path(kuvo::GetLogFolder()) / L"KuvoDesk.log";
  std::error_code ignored;
  std::filesystem::remove(log, ignored);
  if (!kuvo::Kuvotrace_Init(log.wstring().c_str())) return 1;
  kuvo::Kuvotrace_SetLevel(2);
  LogTail tail(log);
  sl_control::Reset();
  sl_control::SetClientAddress("203.0.113.7:4118");
  sl_control::SetSessionName("demo-desk-1");
  KuvoSetRemoteControlCallback(7, &OnHostEvent);

  demo::Say(kSection,
            "controlled side: KuvoSlaveInitSession; the SDK logs in and event 0 brings the "
            "address and the session name, separated by a line feed");
  KuvoSlaveInitSession("demo-openid", "demo-key");
  std::wstring ready;
  {
    // Event 0 with both parts (a first one may lack the name if the login outran the session).
    std::unique_lock<std::mutex> lock(events.mutex);
    events.changed.wait_for(lock, std::chrono::seconds(10), [&] {
      for (const auto& event : events.events) {
        const auto line_feed = event.second.find(L'\n');
        if (event.first == kRcSlaveReady && line_feed != std::wstring::npos &&
            line_feed + 1 < event.second.size()) {
          ready = event.second;
        }
      }
      return !ready.empty();
    });
  }
  sl_control::WaitIdle();
  tail.Print();
  const std::wstring::size_type line_feed = ready.find(L'\n');
  if (line_feed == std::wstring::npos) return 2;
  const std::string address = kuvo::WideToNarrow(ready.substr(0, line_feed).c_str(), kUtf8);
  const std::string session_name = kuvo::WideToNarrow(ready.substr(line_feed + 1).c_str(), kUtf8);
  KuvoSlaveStopSession();
  tail.Print();

  demo::Say(kSection,
            "controlling side (the library loaded afresh): " + address + " / " + session_name);
  KuvoDeskReloadForTesting();
  KuvoSetRemoteControlCallback(7, &OnHostEvent);
  host::WindowThread ui;
  ui.Run([&] { KuvoMasterStartSession(address, session_name, "Demo"); });
  tail.Print();
  const SLSESSION session = sl_control::LastRemoteSession();
  sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_CONNECTED);
  sl_control::RaiseRemoteSessionEvent(session, SLSESSION_EVENT_DISPLAY_CHANGED);
  sl_control::WaitIdle();
  tail.Print();
  demo::Say(kSection, "the peer drops");
  sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_DISCONNECTED);
  sl_control::WaitIdle();
  ui.Run([] { KuvoMasterStopSession(); });
  tail.Print();
  ui.Stop();
  KuvoSetRemoteControlCallback(0, nullptr);
  KuvoDeskReloadForTesting();
  kuvo::Kuvotrace_UnInit();
  sl_control::Reset();

  std::vector<int32_t> codes;
  for (const auto& event : events.events) {
    if (event.first != kRcSlaveReady) codes.push_back(event.first);
  }
  g_events = nullptr;
  const std::vector<int32_t> expected = {kRcMasterConnected, kRcMasterDisconnected,
                                         kRcMasterWindowClosed, kRcMasterWindowClosed};
  return codes == expected ? 0 : 3;
}

const demo::DemoSection kDeskSection(
    40, kSection,
    "KuvoDesk, both sides in one run: the controlled side reports its address and session name "
    "(event 0), the controlling side connects to it (event 2), then the peer drops (events 3 "
    "and 4).",
    &RunDesk);

}  // namespace
