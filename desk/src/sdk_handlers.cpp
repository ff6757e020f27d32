#include "sdk_handlers.h"

#include <string>
#include <utility>

#include "common/trace.h"
#include "desk_text.h"
#include "kuvo_xrk.h"
#include "platform/process.h"

namespace kuvo_desk {

void SLAPI OnRemoteEvent(SLREMOTE, SLSESSION session, int event, void* manager) {
  if (manager == nullptr) return;
  static_cast<CKuvoXrk*>(manager)->_remoteCallback(session, event);
}

void SLAPI OnRemoteSessionEvent(SLSESSION, int event, const char*, unsigned int, void* manager) {
  if (manager == nullptr) return;
  static_cast<CKuvoXrk*>(manager)->_masterCallback(event);
}

void SLAPI OnClientEvent(SLCLIENT client, int event, void* manager) {
  if (manager == nullptr) return;
  static_cast<CKuvoXrk*>(manager)->_clientCallback(event, client, false);
}

void SLAPI OnClientSessionEvent(SLSESSION session, int event, const char*, unsigned int,
                                void* manager) {
  if (manager == nullptr) return;
  static_cast<CKuvoXrk*>(manager)->_clientCallback(event, session, true);
}

}  // namespace kuvo_desk

namespace {

constexpr wchar_t kMaster[] = L"CKuvoXrk::_masterCallback";
constexpr wchar_t kRemote[] = L"CKuvoXrk::_remoteCallback";
constexpr wchar_t kClient[] = L"CKuvoXrk::_clientCallback";

}  // namespace

void CKuvoXrk::_masterCallback(int event) {
  if (event != SLSESSION_EVENT_DISPLAY_CHANGED) return;
  SLREMOTE remote = 0;
  int32_t session = -1;
  platform::WindowHandle window = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    remote = remote_;
    session = session_id_;
    window = session_window_;
  }
  int width = 0;
  int height = 0;
  if (!SLGetDesktopSessionOriginSize(remote, static_cast<SLSESSION>(session), &width, &height)) {
    return;
  }
  kuvo::TraceInfo(kMaster, L"[XRK] 远程桌面大小( %d X %d )", width, height);
  ResizeStep(window);
}

void CKuvoXrk::_remoteCallback(SLSESSION session, int event) {
  switch (event) {
    case SLREMOTE_EVENT_CONNECTED:
      RemoteEventConnected(session);
      break;
    case SLREMOTE_EVENT_DISCONNECTED:
    case SLREMOTE_EVENT_LIMITED:
      RemoteEventDisconnected(session, event);
      break;
    default:
      break;
  }
}

void CKuvoXrk::RemoteEventConnected(SLSESSION session) {
  RaiseHostEvent(kRcMasterConnected, std::wstring());
  kuvo::TraceInfo(kRemote, L"[XRK] 会话%d:连接成功", static_cast<int>(session));
  std::lock_guard<std::mutex> lock(mutex_);
  ask_before_closing_ = true;
  connected_ = true;
}

void CKuvoXrk::RemoteEventDisconnected(SLSESSION session, int event) {
  int32_t own_session = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A disconnect counts once: the test and the change are one step.
    if (event == SLREMOTE_EVENT_DISCONNECTED && !connected_) return;
    connected_ = false;
    own_session = session_id_;
  }
  RaiseHostEvent(kRcMasterDisconnected, L"event=" + std::to_wstring(event));
  if (event == SLREMOTE_EVENT_DISCONNECTED) {
    kuvo::TraceError(kRemote, L"[XRK] 会话%d:连接断开", static_cast<int>(session));
  } else {
    kuvo::TraceError(kRemote, L"[XRK]会话%d:连接断开（连接数已满） ProcessId=%u",
                     static_cast<int>(own_session), platform::CurrentProcessId());
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ask_before_closing_ = false;
  }
  CloseSessionWindowSynchronously();
}

void CKuvoXrk::_clientCallback(int event, uintptr_t value, bool from_session) {
  if (from_session) {
    const auto session = static_cast<int32_t>(value);
    kuvo::TraceInfo(kClient, L"[XRK] 会话%d:%s", static_cast<int>(session),
                    event == SLSESSION_EVENT_CONNECTED ? L"连接成功" : L"连接断开");
    SLCLIENT client = 0;
    bool was_connected = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (session != session_id_) return;
      client = client_;
      was_connected = connected_;
      if (event == SLSESSION_EVENT_CONNECTED) connected_ = true;
      if (event == SLSESSION_EVENT_DISCONNECTED) connected_ = false;
    }
    if (event == SLSESSION_EVENT_CONNECTED) {
      SLClientStartChat(client, static_cast<SLSESSION>(session), false);
    } else if (event == SLSESSION_EVENT_DISCONNECTED && was_connected) {
      RaiseHostEvent(kRcSlaveEnded, L"event=" + std::to_wstring(event));
      if (SLClientIsOnLoginned(client)) SLClientLogout(client);
    }
    return;
  }

  bool handled = false;
  switch (event) {
    case SLCLIENT_EVENT_CONNECTED:
      kuvo::TraceInfo(kClient, L"[XRK] 连接服务器成功");
      handled = true;
      break;
    case SLCLIENT_EVENT_DISCONNECTED:
      kuvo::TraceInfo(kClient, L"[XRK] 与服务器断开连接");
      break;
    case SLCLIENT_EVENT_LOGINED: {
      kuvo::TraceInfo(kClient, L"[XRK] 登录服务器成功");
      SLCLIENT client = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        client = client_;
      }
      const char* reported = SLGetClientAddress(client);
      const std::string address = reported != nullptr ? reported : "";
      std::string name;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        client_address_ = address;
        name = session_name_;
      }
      RaiseHostEvent(kRcSlaveReady, kuvo_desk::ReadyText(address, name));
      std::lock_guard<std::mutex> lock(mutex_);
      connected_ = true;
      handled = true;
      break;
    }
    case SLCLIENT_EVENT_LOGIN_FAILED:
      kuvo::TraceError(kClient, L"[XRK] 登录服务器失败");
      break;
    case SLCLIENT_EVENT_CHANNELS_FULL:
      kuvo::TraceError(kClient, L"[XRK] 通道数已用完");
      break;
    case SLCLIENT_EVENT_CHANNEL_CHECK_FAILED:
      kuvo::TraceError(kClient, L"[XRK] 服务器检查通道数失败");
      break;
    default:
      break;
  }
  if (handled || !host_callback()) return;
  SLCLIENT client = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    client = client_;
  }
  if (SLClientIsOnLoginned(client)) SLClientLogout(client);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
  }
  RaiseHostEvent(kRcSlaveEnded, L"erroCode=" + std::to_wstring(event));
}
