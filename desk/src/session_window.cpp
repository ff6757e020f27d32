// The controlling side's session window: class "KuvoRemote", its procedure, and the close and
// resize steps.
#include "common/trace.h"
#include "kuvo_xrk.h"
#include "platform/system.h"

namespace {

constexpr wchar_t kWindowClass[] = L"KuvoRemote";
constexpr uint32_t kIconId = 6000;

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

void CKuvoXrk::CreateSessionWindow(const std::wstring& title) {
  platform::Windows& windows = platform::CurrentWindows();
  platform::WindowClass window_class;
  window_class.name = kWindowClass;
  window_class.procedure = &SessionWindowProcedure;
  window_class.style = 0;
  window_class.arrow_cursor = true;
  window_class.white_background = true;
  windows.RegisterWindowClass(window_class);  // fails once the class exists: nothing to do

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
  if (platform::IconHandle big = windows.LoadMainExecutableIcon(kIconId, true)) {
    windows.SendWindowMessage(window, platform::kWmSetIcon, platform::kIconBig,
                              reinterpret_cast<platform::MessageLParam>(big));
  }
  if (platform::IconHandle small = windows.LoadMainExecutableIcon(kIconId, false)) {
    windows.SendWindowMessage(window, platform::kWmSetIcon, platform::kIconSmall,
                              reinterpret_cast<platform::MessageLParam>(small));
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
        return 0;
      }
      CloseStep();
      break;
    }
    case platform::kWmDestroy: {
      CloseStep();
      std::lock_guard<std::mutex> lock(mutex_);
      // A gone window is no session window (its handle may come back for another window).
      if (session_window_ == window) session_window_ = nullptr;
      break;
    }
    default:
      break;
  }
  return windows.DefaultProcedure(window, message, wparam, lparam);
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
  const platform::WindowHandle window = session_window();
  if (window == nullptr || !windows.IsLiveWindow(window)) return;
  windows.SendWindowMessage(window, platform::kWmClose, 0, 0);
}
