#include "kuvo_xrk.h"

#include <atomic>
#include <new>
#include <utility>

#include "common/folders.h"
#include "common/trace.h"
#include "desk_text.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "sdk_handlers.h"

namespace {

std::atomic<CKuvoXrk*> g_manager{nullptr};
std::atomic<CKuvoXrk*> g_window_manager{nullptr};

constexpr wchar_t kInit[] = L"CKuvoXrk::RemoteControlInit";

}  // namespace

CKuvoXrk* KuvoXrkManager() {
  return g_manager.load(std::memory_order_acquire);
}

CKuvoXrk* KuvoXrkWindowManager() {
  return g_window_manager.load(std::memory_order_acquire);
}

bool KuvoXrkAttach() {
  CKuvoXrk* manager = new (std::nothrow) CKuvoXrk;
  g_manager.store(manager, std::memory_order_release);
  g_window_manager.store(manager, std::memory_order_release);
  return manager != nullptr;
}

void KuvoXrkDetach(bool process_exit) {
  CKuvoXrk* manager = g_manager.load(std::memory_order_acquire);
  if (manager == nullptr) return;
  manager->UnloadTearDown(process_exit);
  g_manager.store(nullptr, std::memory_order_release);
  g_window_manager.store(nullptr, std::memory_order_release);
  delete manager;
}

CKuvoXrk::CKuvoXrk() {
  remote_session_callback_ = SLSESSION_CALLBACK_PROP{&kuvo_desk::OnRemoteSessionEvent, this};
  client_session_callback_ = SLSESSION_CALLBACK_PROP{&kuvo_desk::OnClientSessionEvent, this};
}

void CKuvoXrk::SetRemoteControlCallback(uint32_t user_data, RemoteControlCallback callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  host_user_data_ = user_data;
  host_callback_ = callback;
}

CKuvoXrk::HostCallback CKuvoXrk::host_callback() {
  std::lock_guard<std::mutex> lock(mutex_);
  HostCallback host;
  host.user_data = host_user_data_;
  host.callback = host_callback_;
  return host;
}

void CKuvoXrk::RaiseHostEvent(int32_t event, std::wstring text) {
  const HostCallback host = host_callback();
  if (host) host.callback(host.user_data, event, std::move(text));
}

platform::WindowHandle CKuvoXrk::session_window() {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_window_;
}

bool CKuvoXrk::RemoteControlInit() {
  std::lock_guard<std::mutex> init_lock(init_mutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (initialised_) return true;  // another thread got here first
  }
  if (!SLInitialize()) {
    kuvo::TraceError(kInit, L"[XRK] 初始化API环境失败");
    return false;
  }
  const std::wstring folder = platform::JoinPath(
      platform::JoinPath(platform::JoinPath(kuvo::GetDocumentsFolder(), L"Kuvo 10.0"), L"Log"),
      L"Remote");
  const std::string log_folder = kuvo_desk::ToUtf8(folder);
  const std::string log_file = "sunlogin_remote.log";

  bool controlling = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    controlling = controlling_side_;
  }
  if (controlling) {
    const SLREMOTE remote = SLCreateRemote();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      remote_ = remote;
    }
    if (remote == 0) {
      kuvo::TraceError(kInit, L"[XRK] 创建控制端失败");
      return false;
    }
    if (!SLSetRemoteCallback(remote, &kuvo_desk::OnRemoteEvent, this)) {
      kuvo::TraceError(kInit, L"[XRK] 设置控制端回调函数失败");
      return false;
    }
    SLOpenRemoteLog(remote, log_folder.c_str(), log_file.c_str());
  } else {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      session_id_ = -1;
    }
    const SLCLIENT client = SLCreateClient();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      client_ = client;
    }
    if (client == 0) {
      kuvo::TraceError(kInit, L"[XRK] 创建被控制端失败");
      return false;
    }
    SLOpenClientLog(client, log_folder.c_str(), log_file.c_str());
    if (!SLSetClientCallback(client, &kuvo_desk::OnClientEvent, this)) {
      kuvo::TraceError(kInit, L"[XRK] 设置被控制端回调失败");
      return false;
    }
  }
  kuvo::TraceInfo(kInit, L"[XRK] 初始化完成");
  std::lock_guard<std::mutex> lock(mutex_);
  initialised_ = true;
  return true;
}

CKuvoXrk::ExportScope::ExportScope(CKuvoXrk& manager) : manager_(manager) {
  std::lock_guard<std::mutex> lock(manager_.mutex_);
  if (manager_.window_thread_ != std::this_thread::get_id()) return;
  window_thread_ = true;
  ++manager_.window_thread_in_exports_;
}

CKuvoXrk::ExportScope::~ExportScope() {
  if (!window_thread_) return;
  std::lock_guard<std::mutex> lock(manager_.mutex_);
  --manager_.window_thread_in_exports_;
}

bool CKuvoXrk::unloading() {
  std::lock_guard<std::mutex> lock(mutex_);
  return unloading_;
}
