// The controlling side: MasterStartSession, MasterStopSession.
#include "common/trace.h"
#include "desk_text.h"
#include "kuvo_xrk.h"
#include "platform/process.h"
#include "platform/system.h"

namespace {

constexpr wchar_t kStart[] = L"CKuvoXrk::MasterStartSession";
constexpr wchar_t kStop[] = L"CKuvoXrk::MasterStopSession";

// Toolbar items 0, 1 and 9 stay visible.
constexpr int kHiddenToolbarItems[] = {2,  3,  4,  5,  6,  7,  8,  10, 11, 12,
                                       13, 14, 15, 16, 17, 18, 19, 20, 21, 22};

}  // namespace

void CKuvoXrk::MasterStartSession(const std::string& address, const std::string& session_name,
                                  const std::string& display_name) {
  platform::Windows& windows = platform::CurrentWindows();
  platform::WindowHandle window = nullptr;
  bool initialised = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Once the library is being unloaded no window may outlive it (a start from inside the
    // tear-down's event 4 lands here).
    if (unloading_) return;
    controlling_side_ = true;
    window = session_window_;
    initialised = initialised_;
  }
  if (window == nullptr || !windows.IsLiveWindow(window)) {
    CreateSessionWindow(kuvo_desk::SessionWindowTitle(display_name));
  }
  if (!initialised) RemoteControlInit();

  SLREMOTE remote = 0;
  int32_t previous = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    remote = remote_;
    previous = session_id_;
  }
  if (previous != -1) {
    SLDestroyRemoteSession(remote, static_cast<SLSESSION>(previous));
  }
  const auto session = static_cast<int32_t>(SLCreateRemoteEmptySession(remote, 0));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_id_ = session;
    window = session_window_;
  }
  const uint32_t process_id = platform::CurrentProcessId();
  if (session == -1) {
    kuvo::TraceError(kStart, L"[XRK]启动远程桌面空会话失败 ProcessId=%u", process_id);
    return;
  }
  kuvo::TraceInfo(kStart, L"[XRK]创建远程桌面空会话");
  const auto sl_session = static_cast<SLSESSION>(session);
  // Option 1 takes the window handle itself as the value; option 2 a pointer to the pair.
  if (!SLSetRemoteSessionOpt(remote, sl_session, SLSESSION_OPT_WINDOW, window, 4)) {
    kuvo::TraceError(kStart, L"[XRK]设置远程桌面窗口失败 ProcessId=%u", process_id);
    return;
  }
  if (!SLSetRemoteSessionOpt(remote, sl_session, SLSESSION_OPT_CALLBACK, &remote_session_callback_,
                             sizeof(remote_session_callback_))) {
    kuvo::TraceError(kStart, L"[XRK]设置远程桌面会话回调失败 ProcessId=%u", process_id);
    return;
  }
  for (int item : kHiddenToolbarItems) SLHideRemoteDesktopToolbarItem(remote, sl_session, item);
  if (!SLConnectRemoteSession(remote, sl_session, address.c_str(), session_name.c_str())) {
    kuvo::TraceError(kStart, L"[XRK]连接远程桌面失败 ProcessId=%u", process_id);
    return;
  }
  if (window != nullptr) windows.RepaintWindow(window);
  kuvo::TraceInfo(kStart, L"[XRK]已连接远程桌面 ProcessId=%u", process_id);
}

void CKuvoXrk::MasterStopSession() {
  SLREMOTE remote = 0;
  int32_t session = -1;
  bool controlling = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    controlling = controlling_side_;
    remote = remote_;
    session = session_id_;
  }
  if (!controlling) {
    SlaveStopSession();
    return;
  }
  if (SLDestroyRemoteSession(remote, static_cast<SLSESSION>(session))) {
    kuvo::TraceInfo(kStop, L"[XRK]已关闭远程桌面:%u", 0u);
  } else {
    kuvo::TraceError(kStop, L"[XRK]关闭远程桌面失败 ProcessId=%u,%u", platform::CurrentProcessId(),
                     0u);
  }
}
