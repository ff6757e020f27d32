// CKuvoXrk: the one manager of the process. It owns the SDK objects of the side chosen first,
// the session window of the controlling side, and the host's callback.
//
// Threads: exports run on host threads, the SDK handlers on the SDK's threads, the window
// procedure on the window's thread. Every field is guarded by one lock that is never held while
// the host callback, an SDK call or a window message runs: methods copy what they need under it
// and act on the copies. RemoteControlInit is serialised by a lock of its own, which its SDK
// calls (none of which calls back or waits for a handler) run under.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "KuvoDesk.h"
#include "platform/windowing.h"
#include "sl/slsdk.h"

class CKuvoXrk {
 public:
  CKuvoXrk();
  CKuvoXrk(const CKuvoXrk&) = delete;
  CKuvoXrk& operator=(const CKuvoXrk&) = delete;

  void SetRemoteControlCallback(uint32_t user_data, RemoteControlCallback callback);
  bool RemoteControlInit();
  void MasterStartSession(const std::string& address, const std::string& session_name,
                          const std::string& display_name);
  void MasterStopSession();
  void SlaveInitSession(const std::string& openid, const std::string& key);
  void SlaveStopSession();
  // What unloading the library runs before the manager goes.
  void UnloadTearDown();

  // SDK events, on the SDK's threads.
  void _remoteCallback(SLSESSION session, int event);
  void _masterCallback(int event);
  void _clientCallback(int event, uintptr_t value, bool from_session);

  // The session window's procedure, on the window's thread.
  platform::MessageResult WindowProcedure(platform::WindowHandle window, uint32_t message,
                                          platform::MessageWParam wparam,
                                          platform::MessageLParam lparam);
  platform::WindowHandle session_window();

 private:
  struct HostCallback {
    uint32_t user_data = 0;
    RemoteControlCallback callback = nullptr;
    explicit operator bool() const { return callback != nullptr; }
  };

  // Raises a host event when a callback is set (copied under the lock, called without it).
  void RaiseHostEvent(int32_t event, std::wstring text);
  HostCallback host_callback();

  // The session window (session_window.cpp).
  void CreateSessionWindow(const std::wstring& title);
  void CloseStep();
  void ResizeStep(platform::WindowHandle window);
  // Sends WM_CLOSE to a live session window and waits until it has been handled.
  void CloseSessionWindowSynchronously();

  // An SDK call that may wait for a running SDK handler (destroy, logout); see
  // window_thread_calls.h.
  bool CallMayWaitForHandler(bool (*call)(uintptr_t handle, SLSESSION session), uintptr_t handle,
                             SLSESSION session);
  bool OnSessionWindowThread();

  void RemoteEventConnected(SLSESSION session);
  void RemoteEventDisconnected(SLSESSION session, int event);

  std::mutex init_mutex_;  // serialises RemoteControlInit
  std::mutex mutex_;       // guards every field below

  // Fields, in the manager's order.
  SLREMOTE remote_ = 0;
  int32_t session_id_ = -1;
  bool initialised_ = false;
  bool controlling_side_ = false;
  bool ask_before_closing_ = true;
  bool connected_ = false;
  SLCLIENT client_ = 0;
  std::string session_name_;
  std::string client_address_;
  platform::WindowHandle session_window_ = nullptr;
  uint32_t host_user_data_ = 0;
  RemoteControlCallback host_callback_ = nullptr;

  // The thread that owns the session window.
  std::thread::id window_thread_;
  // The pairs handed to the SDK's session options; they live as long as the manager.
  SLSESSION_CALLBACK_PROP remote_session_callback_{};
  SLSESSION_CALLBACK_PROP client_session_callback_{};
};

// Process-wide: the manager (null when creation failed or after unload), and the pointer through
// which the window procedure finds it.
CKuvoXrk* KuvoXrkManager();
CKuvoXrk* KuvoXrkWindowManager();
// Creates the manager and stores both pointers; false when creation failed.
bool KuvoXrkAttach();
// The unload tear-down, then the manager goes and both pointers are cleared.
void KuvoXrkDetach();
