// The controlling side's session window: class "KuvoRemote", its procedure, and the close and
// resize steps.
#include "common/trace.h"
#include "kuvo_xrk.h"
#include "platform/system.h"

namespace {

constexpr wchar_t kWindowClass[] = L"KuvoRemote";
constexpr uint32_t kIconId = 6000;
constexpr wchar_t kStart[] = L"CKuvoXrk::MasterStartSession";
// How often a waiting close looks again (the window's thread may end without a message).
constexpr uint32_t kCloseRecheckMs = 20;

platform::MessageResult PLATFORM_WINAPI SessionWindowProcedure(platform::WindowHandle window,
                                                               uint32_t message,
                                                               platform::MessageWParam wparam,
                                                               platform::MessageLParam lparam) {
  CKuvoXrk* manager = KuvoXrkWindowManager();
  if (manager == nullptr) {
    return platform::CurrentWindows().DefaultProcedure(window, message, wparam, lparam);
  }
  return manager->WindowProcedure(window, message, wparam, lparam);
}

}  // namespace

// "KuvoRemote" is registered each time a window is made. It fails while the class exists: when
// it is ours (an earlier window) that is fine; one left by an earlier load of this library names
// a procedure that is gone, so it is replaced; otherwise no window is made.
bool CKuvoXrk::RegisterSessionWindowClass() {
  platform::Windows& windows = platform::CurrentWindows();
  platform::WindowClass window_class;
  window_class.name = kWindowClass;
  window_class.procedure = &SessionWindowProcedure;
  window_class.style = 0;
  window_class.arrow_cursor = true;
  window_class.white_background = true;
  bool registered = windows.RegisterWindowClass(window_class);
  if (!registered && windows.RegisteredClassProcedure(kWindowClass) == &SessionWindowProcedure) {
    return true;
  }
  if (!registered && windows.UnregisterWindowClass(kWindowClass)) {
    registered = windows.RegisterWindowClass(window_class);
  }
  if (!registered) {
    kuvo::TraceError(kStart, L"[XRK]注册窗口类%s失败", kWindowClass);
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  class_registered_ = true;
  return true;
}

void CKuvoXrk::UnregisterSessionWindowClass() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!class_registered_) return;
    class_registered_ = false;
  }
  platform::CurrentWindows().UnregisterWindowClass(kWindowClass);
}

void CKuvoXrk::CreateSessionWindow(const std::wstring& title) {
  platform::Windows& windows = platform::CurrentWindows();
  if (!RegisterSessionWindowClass()) return;
  {
    // Known before the window exists, so that its first messages find their thread.
    std::lock_guard<std::mutex> lock(mutex_);
    window_thread_ = std::this_thread::get_id();
  }
  platform::WindowHandle window =
      windows.CreateTopLevelWindow(kWindowClass, title.c_str(), platform::kWsOverlappedWindow);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_window_ = window;
  }
  if (window == nullptr) return;
  platform::IconHandle big = windows.LoadMainExecutableIcon(kIconId, true);
  if (big != nullptr) {
    windows.SendWindowMessage(window, platform::kWmSetIcon, platform::kIconBig,
                              reinterpret_cast<platform::MessageLParam>(big));
  }
  platform::IconHandle small = windows.LoadMainExecutableIcon(kIconId, false);
  if (small != nullptr) {
    windows.SendWindowMessage(window, platform::kWmSetIcon, platform::kIconSmall,
                              reinterpret_cast<platform::MessageLParam>(small));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    icons_[0] = big;
    icons_[1] = small;
  }
  windows.ShowWindow(window, platform::kSwShowNormal);
}

platform::MessageResult CKuvoXrk::WindowProcedure(platform::WindowHandle window, uint32_t message,
                                                  platform::MessageWParam wparam,
                                                  platform::MessageLParam lparam) {
  platform::Windows& windows = platform::CurrentWindows();
  switch (message) {
    case platform::kWmSize:
      if (wparam != platform::kSizeMinimized) ResizeStep(window);
      break;
    case platform::kWmClose: {
      bool ask = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ask = ask_before_closing_;
      }
      if (ask && windows.ShowMessageBox(nullptr, L"是否结束远程协助?", L"结束远程",
                                        platform::kMbYesNo) == platform::kIdNo) {
        CloseHandled();
        return 0;
      }
      CloseStep();
      const platform::MessageResult result =
          windows.DefaultProcedure(window, message, wparam, lparam);
      CloseHandled();
      return result;
    }
    case platform::kWmDestroy: {
      platform::IconHandle icons[2] = {nullptr, nullptr};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        // A window being destroyed is no session window any more: a start from inside this
        // close opens a new one (and the handle may come back for another window).
        if (session_window_ == window) {
          session_window_ = nullptr;
          icons[0] = icons_[0];
          icons[1] = icons_[1];
          icons_[0] = icons_[1] = nullptr;
        }
      }
      CloseStep();
      const platform::MessageResult result =
          windows.DefaultProcedure(window, message, wparam, lparam);
      for (platform::IconHandle icon : icons) {
        if (icon != nullptr) windows.DestroyIcon(icon);
      }
      return result;
    }
    default:
      break;
  }
  return windows.DefaultProcedure(window, message, wparam, lparam);
}

// Counted when WM_CLOSE returns, after the destroy it makes: until then the child windows, which
// may belong to the waiting thread, still get their messages.
void CKuvoXrk::CloseHandled() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++closes_handled_;
}

void CKuvoXrk::CloseStep() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!controlling_side_ || host_callback_ == nullptr) return;
    connected_ = false;
  }
  RaiseHostEvent(kRcMasterWindowClosed, std::wstring());
}

void CKuvoXrk::ResizeStep(platform::WindowHandle window) {
  platform::WindowRect rect;
  if (window == nullptr || !platform::CurrentWindows().GetClientRect(window, &rect)) return;
  SLREMOTE remote = 0;
  int32_t session = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!controlling_side_ || !initialised_) return;
    remote = remote_;
    session = session_id_;
  }
  SLSetDesktopSessionPos(remote, static_cast<SLSESSION>(session), 0, 0, rect.right - rect.left,
                         rect.bottom - rect.top);
}

void CKuvoXrk::CloseSessionWindowSynchronously() {
  platform::Windows& windows = platform::CurrentWindows();
  struct Wait {
    CKuvoXrk* manager;
    platform::WindowHandle window;
    uint64_t handled;
  } wait{this, nullptr, 0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wait.window = session_window_;
    wait.handled = closes_handled_;
  }
  if (wait.window == nullptr || !windows.IsLiveWindow(wait.window)) return;
  if (!windows.SendNotifyWindowMessage(wait.window, platform::kWmClose, 0, 0)) return;
  // Like SendMessageW's wait, this one handles the messages sent to this thread meanwhile (a
  // window the SDK made on it may be destroyed with the session window).
  windows.WaitHandlingSentMessages(
      [](void* context) {
        auto* w = static_cast<Wait*>(context);
        {
          std::lock_guard<std::mutex> lock(w->manager->mutex_);
          if (w->manager->closes_handled_ != w->handled ||
              w->manager->window_thread_in_exports_ != 0 || w->manager->unloading_) {
            return true;
          }
        }
        // The window may have gone with its thread, without a message.
        return !platform::CurrentWindows().IsLiveWindow(w->window);
      },
      &wait, kCloseRecheckMs);
}
