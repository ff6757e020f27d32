// The controlled side: SlaveInitSession, SlaveStopSession; and the unload tear-down.
#include "common/trace.h"
#include "desk_text.h"
#include "kuvo_xrk.h"
#include "platform/process.h"
#include "platform/system.h"

namespace {

constexpr wchar_t kInit[] = L"CKuvoXrk::SlaveInitSession";
constexpr wchar_t kStop[] = L"CKuvoXrk::SlaveStopSession";

}  // namespace

void CKuvoXrk::SlaveInitSession(const std::string& openid, const std::string& key) {
  bool initialised = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unloading_) return;
    controlling_side_ = false;
    initialised = initialised_;
  }
  if (!initialised) RemoteControlInit();

  SLCLIENT client = 0;
  int32_t previous = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    client = client_;
    previous = session_id_;
  }
  if (!SLClientLoginWithOpenID(client, openid.c_str(), key.c_str(), "", true)) {
    kuvo::TraceError(kInit, L"[XRK]被控制端登录服务器失败 ProcessId=%u,%u",
                     platform::CurrentProcessId(), 0u);
    return;
  }
  if (previous != -1) {
    if (!SLDestroyClientSession(client, static_cast<SLSESSION>(previous))) return;
    std::lock_guard<std::mutex> lock(mutex_);
    session_id_ = -1;
    session_name_.clear();
  }
  const auto session = static_cast<int32_t>(SLCreateClientSession(client, 0));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_id_ = session;
  }
  if (session == -1) return;
  const auto sl_session = static_cast<SLSESSION>(session);
  SLSetClientSessionOpt(client, sl_session, SLSESSION_OPT_CALLBACK, &client_session_callback_,
                        sizeof(client_session_callback_));
  const char* reported = SLGetClientSessionName(client, sl_session);
  const std::string name = reported != nullptr ? reported : "";
  std::string address;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_name_ = name;
    address = client_address_;
  }
  // Without an address the login event is still to come; it raises event 0 itself.
  if (name.empty() || address.empty()) return;
  RaiseHostEvent(kRcSlaveReady, kuvo_desk::ReadyText(address, name));
  kuvo::TraceInfo(kInit, L"[XRK] 创建%s会话成功", kuvo_desk::FromUtf8(name).c_str());
}

void CKuvoXrk::SlaveStopSession() {
  SLCLIENT client = 0;
  int32_t session = -1;
  std::string name;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    client = client_;
    session = session_id_;
    name = session_name_;
  }
  if (!SLDestroyClientSession(client, static_cast<SLSESSION>(session))) {
    kuvo::TraceError(kStop, L"[XRK]销毁%s会话失败 ProcessId=%u,%u",
                     kuvo_desk::FromUtf8(name).c_str(), platform::CurrentProcessId(), 0u);
    return;
  }
  if (SLClientIsOnLoginned(client)) SLClientLogout(client);
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = false;
  session_id_ = -1;
}

void CKuvoXrk::UnloadTearDown(bool process_exit) {
  // The close below may wait for the window's thread while this one holds the loader lock.
  const kuvo::ScopedTraceEntryPin trace_pin;
  platform::Windows& windows = platform::CurrentWindows();
  platform::WindowHandle window = nullptr;
  bool own_thread = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    unloading_ = true;
    ask_before_closing_ = false;
    window = session_window_;
    own_thread = window_thread_ == std::this_thread::get_id();
  }
  // The close is synchronous: the window's procedure is this library's code, so the window must
  // be gone before the library is. Another thread's window is closed by a send to that thread;
  // no thread is created or waited for to end.
  if (window != nullptr && windows.IsLiveWindow(window) && (own_thread || !process_exit)) {
    windows.SendWindowMessage(window, platform::kWmClose, 0, 0);
  }
  UnregisterSessionWindowClass();
  SLCLIENT client = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (controlling_side_ || client_ == 0) return;
    client = client_;
  }
  if (SLClientIsOnLoginned(client)) SLClientLogout(client);
  std::lock_guard<std::mutex> lock(mutex_);
  client_ = 0;
}
