// CKuvoXrk: the one manager of the process. It owns the SDK objects of the side chosen first,
// the session window of the controlling side, and the host's callback.
//
// Threads: exports run on host threads and make their SDK calls there, the SDK handlers run on
// the SDK's threads, the window procedure on the window's thread. Every field is guarded by one
// lock that is never held while the host callback, an SDK call or a window message runs:
// methods copy what they need under it and act on the copies. RemoteControlInit is serialised by
// a lock of its own, which its SDK calls (none of which calls back or waits for a handler) run
// under.
//
// The SDK's destroy and logout calls wait for a handler that is running, and the disconnect
// handler closes the session window synchronously. So that a destroy on the window's thread
// (an export there, say from inside event 4 of that very close) cannot wait for a handler that
// waits for that thread, the handler's close is the library's own: WM_CLOSE goes to the window
// like a sent message but without a waiting sender, and the handler waits on the library's
// condition until the window has handled it, the window is gone, or the window's thread is
// inside the library (then the close is handled when that thread next takes its sent messages).
// No sent message is ever answered for the host.
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
  // What unloading the library runs before the manager goes. At process exit (the system has
  // ended the other threads) only a window of the calling thread is closed.
  void UnloadTearDown(bool process_exit);

  // Marks the calling thread as inside an export for its scope (see the close above).
  class ExportScope {
   public:
    explicit ExportScope(CKuvoXrk& manager);
    ~ExportScope();
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

   private:
    CKuvoXrk& manager_;
    bool window_thread_ = false;
  };

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
  bool RegisterSessionWindowClass();
  // The class names this library's procedure: unloading takes it away, so that a later load
  // registers it afresh.
  void UnregisterSessionWindowClass();
  void CloseStep();
  void ResizeStep(platform::WindowHandle window);
  // A WM_CLOSE of the session window has been handled (the window destroyed or kept).
  void CloseHandled();
  // The disconnect's close: WM_CLOSE to a live session window, then the wait described above.
  void CloseSessionWindowSynchronously();
  // True once the unload tear-down began: no session is opened any more.
  bool unloading();

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

  // The thread that owns the session window, and how deep it is inside exports.
  std::thread::id window_thread_;
  int window_thread_in_exports_ = 0;
  // Counts the handled closes; the disconnect's close waits on it.
  uint64_t closes_handled_ = 0;
  bool unloading_ = false;
  bool class_registered_ = false;
  // The icons set on the session window, destroyed with it.
  platform::IconHandle icons_[2] = {nullptr, nullptr};
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
void KuvoXrkDetach(bool process_exit);
