// KuvoDesk: the controlled side opens a session on the remote-control SDK stand-in and reports
// its address and session name (event 0); then, the library unloaded and loaded again (the side
// is chosen once per load), the controlling side connects to that address from a window thread
// of the host's (events 2 and 3), and that thread unloads the library at the end. The host loads
// KuvoDesk by name, as one that unloads it must.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "KuvoDesk.h"
#include "host_checks.h"
#include "sl/sl_control.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

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

// KuvoDesk loaded by name, with its exports.
struct Desk {
  void* library = nullptr;
  decltype(&KuvoSetRemoteControlCallback) set_callback = nullptr;
  decltype(&KuvoMasterStartSession) master_start = nullptr;
  decltype(&KuvoMasterStopSession) master_stop = nullptr;
  decltype(&KuvoSlaveInitSession) slave_init = nullptr;
  decltype(&KuvoSlaveStopSession) slave_stop = nullptr;

  template <typename Function>
  void Find(Function& function, const char* name) {
#if defined(_WIN32)
    function = reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(static_cast<HMODULE>(library), name)));
#else
    function = reinterpret_cast<Function>(::dlsym(library, name));
#endif
  }
  bool Load() {
#if defined(_WIN32)
    library = ::LoadLibraryW(L"KuvoDesk.dll");
#else
    library = ::dlopen(KUVO_RUNTIME_DIR "/" KUVO_DESK_FILE, RTLD_NOW | RTLD_LOCAL);
#endif
    if (library == nullptr) return false;
    Find(set_callback, "KuvoSetRemoteControlCallback");
    Find(master_start, "KuvoMasterStartSession");
    Find(master_stop, "KuvoMasterStopSession");
    Find(slave_init, "KuvoSlaveInitSession");
    Find(slave_stop, "KuvoSlaveStopSession");
    return set_callback && master_start && master_stop && slave_init && slave_stop;
  }
  void Unload() {
#if defined(_WIN32)
    ::FreeLibrary(static_cast<HMODULE>(library));
#else
    ::dlclose(library);
#endif
    library = nullptr;
  }
};

// Runs `code` on a thread of the host's, then `between` on the caller's thread, then `last`. On
// Windows the thread keeps a message loop for the window `code` opened and runs `last` too.
void OnWindowThread(const std::function<void()>& code, const std::function<void()>& last,
                    const std::function<void()>& between) {
#if defined(_WIN32)
  std::mutex mutex;
  std::condition_variable changed;
  DWORD id = 0;
  bool opened = false;
  std::thread thread([&] {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists now
    code();
    {
      std::lock_guard<std::mutex> lock(mutex);
      id = ::GetCurrentThreadId();
      opened = true;
    }
    changed.notify_all();
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.hwnd == nullptr && message.message == WM_APP) break;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    last();
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return opened; });
  }
  between();
  ::PostThreadMessageW(id, WM_APP, 0, 0);
  thread.join();
#else
  // The emulated windows of other systems need no loop of the host's; a thread that stays
  // without one would hold up the window's messages.
  std::thread([&] { code(); }).join();
  between();
  std::thread([&] { last(); }).join();
#endif
}

}  // namespace

int CheckDesk() {
  Events events;
  g_events = &events;
  sl_control::Reset();
  sl_control::SetClientAddress("203.0.113.7:4118");
  sl_control::SetSessionName("kit-desk-1");
  Desk desk;
  if (Check(desk.Load(), "desk: KuvoDesk loads by name with its five exports") != 0) return 1;
  desk.set_callback(42, &OnEvent);
  desk.slave_init("kit-openid", "kit-key");
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_CONNECTED);
  sl_control::RaiseClientEvent(SLCLIENT_EVENT_LOGINED);
  sl_control::WaitIdle();
  desk.slave_stop();
  sl_control::WaitIdle();
  desk.Unload();

  // The controlling side (one side per load).
  if (Check(desk.Load(), "desk: KuvoDesk loads again") != 0) return 1;
  desk.set_callback(42, &OnEvent);
  OnWindowThread([&] { desk.master_start("203.0.113.7:4118", "kit-desk-1", "Kit"); },
                 [&] {
                   desk.master_stop();
                   desk.Unload();  // from the window's thread
                 },
                 [] {
                   const SLSESSION session = sl_control::LastRemoteSession();
                   sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_CONNECTED);
                   sl_control::WaitIdle();
                   sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_DISCONNECTED);
                   sl_control::WaitIdle();
                 });
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
  std::vector<int32_t> master;
  for (const auto& event : seen) {
    if (event.first != kRcSlaveReady && event.first != kRcMasterWindowClosed) {
      master.push_back(event.first);
    }
  }
  failures += Check(master == std::vector<int32_t>{kRcMasterConnected, kRcMasterDisconnected},
                    "desk: the controlling side is connected (2), then disconnected (3)");
  return failures;
}

}  // namespace kit_host
